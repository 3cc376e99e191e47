// The formatter on fuzzer-chosen formats with a fixed argument pack, into buffers of
// fuzzer-chosen sizes: no crash, no byte written outside the buffer, the result of every
// bounded call equal to the unbounded one, and the stored text a prefix of the unbounded text.
//
// Input: two bytes of buffer size, then the format. Every argument is a pointer to its own
// block, which holds narrow and wide text and room for a count, so any conversion may read it;
// eight doubles follow for the floating conversions.
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "foundation/Format.h"

namespace {

constexpr int kArguments = 64;
constexpr size_t kBlockSize = 64;
constexpr size_t kGuard = 32;
constexpr size_t kFullTextLimit = 1 << 20;

struct alignas(16) Block {
    unsigned char bytes[kBlockSize];
};

Block blocks[kArguments];

// Narrow text (good, early wide form, malformed, empty) and a wide text after it.
void resetBlocks() {
    static const char* const narrow[] = {"hello", "h\xC3\xA9llo \xE2\x82\xAC", "bad\xFF!",
                                         "",      "\xF8\x88\x80\x80\x80",      "a\xC3"};
    const wchar_t wide[] = {L'w', wchar_t(0xE9), wchar_t(0x20AC), 0};
    for (int i = 0; i < kArguments; ++i) {
        std::memset(blocks[i].bytes, 0, kBlockSize);
        const char* text = narrow[i % 6];
        std::memcpy(blocks[i].bytes, text, std::strlen(text));
        if (i % 3 == 0) // the first bytes read as wide text: also a good wide string
            std::memcpy(blocks[i].bytes, wide, sizeof wide);
    }
}

#define KS_BLOCKS_8(n)                                                                             \
    blocks[n].bytes, blocks[n + 1].bytes, blocks[n + 2].bytes, blocks[n + 3].bytes,                \
        blocks[n + 4].bytes, blocks[n + 5].bytes, blocks[n + 6].bytes, blocks[n + 7].bytes

int formatWithPack(char* buffer, size_t size, const char* format) {
    resetBlocks();
    return ksFormatBuffer(buffer, size, format, KS_BLOCKS_8(0), KS_BLOCKS_8(8), KS_BLOCKS_8(16),
                          KS_BLOCKS_8(24), KS_BLOCKS_8(32), KS_BLOCKS_8(40), KS_BLOCKS_8(48),
                          KS_BLOCKS_8(56), 0.0, -1.5, 1e300, 3.14159, 1e-310, 255.0, 0.1,
                          123456789.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t bufferSize =
        (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) % 1024;
    const std::string format(reinterpret_cast<const char*>(data + 2), size - 2);

    const int expected = formatWithPack(nullptr, 0, format.c_str());
    if (expected == -1)
        __builtin_trap();

    std::vector<char> block(bufferSize + 2 * kGuard, '\x5A');
    char* buffer = block.data() + kGuard;
    const int result = formatWithPack(buffer, bufferSize, format.c_str());
    if (result != expected)
        __builtin_trap();
    for (size_t i = 0; i < kGuard; ++i)
        if (block[i] != '\x5A' || block[kGuard + bufferSize + i] != '\x5A')
            __builtin_trap();
    if (bufferSize == 0)
        return 0;
    const size_t stored = strnlen(buffer, bufferSize);
    if (stored == bufferSize)
        __builtin_trap(); // no terminator

    if (expected >= 0 && static_cast<size_t>(expected) < kFullTextLimit) {
        std::vector<char> full(static_cast<size_t>(expected) + 1);
        if (formatWithPack(full.data(), full.size(), format.c_str()) != expected)
            __builtin_trap();
        // The stored bytes are the full text's first bytes (a stored zero from %c ends the C
        // string early, so compare the bytes themselves).
        const size_t kept = static_cast<size_t>(expected) < bufferSize - 1
                                ? static_cast<size_t>(expected)
                                : bufferSize - 1;
        if (std::memcmp(buffer, full.data(), kept) != 0 || buffer[kept] != '\0')
            __builtin_trap();
    }
    if (expected < 0 && expected != -2 && buffer[0] != '\0')
        __builtin_trap(); // a parse error emits nothing
    return 0;
}
