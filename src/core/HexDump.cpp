// The hex dump, gathered line by line into a stack buffer that goes out when full.
#include "core/HexDump.h"
#include "foundation/Format.h"

namespace {

constexpr uint64_t bytesPerLine = 16;
constexpr size_t longestLine = 3 + 3 * bytesPerLine + 2 + bytesPerLine + 1;

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 15];
}

size_t renderLine(char* line, const unsigned char* bytes, uint64_t count) {
    size_t at = 0;
    line[at++] = ' ';
    line[at++] = ' ';
    line[at++] = ' ';
    for (uint64_t i = 0; i < bytesPerLine; ++i) {
        line[at++] = i < count ? hexDigit(bytes[i] >> 4) : ' ';
        line[at++] = i < count ? hexDigit(bytes[i]) : ' ';
        line[at++] = ' ';
    }
    line[at++] = '-';
    line[at++] = ' ';
    for (uint64_t i = 0; i < count; ++i)
        line[at++] = bytes[i] >= 32 && bytes[i] <= 127 ? static_cast<char>(bytes[i]) : '.';
    line[at++] = '\n';
    return at;
}

} // namespace

void hexDump(const void* data, uint64_t length, ksDumpOutput output, void* context) {
    char pending[1024];
    int header = ksFormatBuffer(pending, sizeof pending, "Buffer pointer=%p length=%d\n", data,
                                static_cast<int>(static_cast<int32_t>(length)));
    size_t used =
        header > 0 && header < static_cast<int>(sizeof pending) ? static_cast<size_t>(header) : 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (uint64_t start = 0; bytes && start < length; start += bytesPerLine) {
        if (sizeof pending - used < longestLine) {
            output(context, pending, used);
            used = 0;
        }
        uint64_t rest = length - start;
        used +=
            renderLine(pending + used, bytes + start, rest < bytesPerLine ? rest : bytesPerLine);
    }
    output(context, pending, used);
}
