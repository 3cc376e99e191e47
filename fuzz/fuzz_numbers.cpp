// Number conversions on arbitrary text: no crash, no read past the terminator (the text
// sits in an exactly sized heap block), end pointers inside the text, statuses that agree
// with the values, and numbers printed by the C library that parse back to themselves.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "foundation/NumberConversion.h"

namespace {

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void checkArbitraryText(const char* begin, int base) {
    const char* limit = begin + std::strlen(begin);
    const char* end = nullptr;
    int32_t status = 0;

    uint32_t u32 = ksParseUInt32(begin, &end, base, &status);
    check(end >= begin && end <= limit);
    check(status == ksNumberOk || status == ksNumberOverflow || status == ksNumberMissing);
    check(status != ksNumberOverflow || u32 == UINT32_MAX);
    check(status != ksNumberMissing || (u32 == 0 && end == begin));

    int32_t i32 = ksParseInt32(begin, &end, base, &status);
    check(end >= begin && end <= limit);
    check(status <= 0 && status >= ksNumberMissing);
    check(status != ksNumberUnderflow || i32 == INT32_MIN);
    check(status != ksNumberMissing || (i32 == 0 && end == begin));

    uint64_t u64 = 0;
    ksParseUInt64(begin, &end, base, &status, &u64);
    check(end >= begin && end <= limit);
    check(status != ksNumberOverflow || u64 == UINT64_MAX);
    check(status <= 0 || begin + status == end);

    status = ksToUInt32(begin, &u32, base);
    check(status <= 0 || (begin + status < limit && begin[status] != '\0'));
    status = ksToInt32(begin, &i32, base);
    check(status <= 0 || begin + status < limit);
    status = ksToInt32Dec(begin, &i32);
    check(status <= 0 || begin + status < limit);
    status = ksToPointerValue(begin, &u64);
    check(status <= 0 || begin + status < limit);
}

void checkPrintedValue(uint64_t bits) {
    char text[40];
    uint64_t u64 = 0;
    std::snprintf(text, sizeof text, "%" PRIu64, bits);
    check(ksToPointerValue(text, &u64) == ksNumberOk && u64 == bits);
    std::snprintf(text, sizeof text, "%#" PRIx64, bits);
    check(ksToPointerValue(text, &u64) == ksNumberOk && u64 == bits);

    uint32_t u32 = 0;
    uint32_t low = static_cast<uint32_t>(bits);
    std::snprintf(text, sizeof text, " +%" PRIu32, low);
    check(ksToUInt32(text, &u32, 10) == ksNumberOk && u32 == low);
    std::snprintf(text, sizeof text, "%" PRIo32, low);
    check(ksToUInt32(text, &u32, 8) == ksNumberOk && u32 == low);
    std::snprintf(text, sizeof text, "%#" PRIx32, low);
    check(ksToUInt32(text, &u32, 16) == ksNumberOk && u32 == low);

    int32_t i32 = 0;
    int32_t signedValue = static_cast<int32_t>(low);
    std::snprintf(text, sizeof text, "%" PRId32, signedValue);
    check(ksToInt32Dec(text, &i32) == ksNumberOk && i32 == signedValue);
    // One past the 32-bit range in decimal overflows, whatever the sign.
    if (bits > UINT32_MAX) {
        std::snprintf(text, sizeof text, "%" PRIu64, bits);
        check(ksToUInt32(text, &u32, 10) == ksNumberOverflow && u32 == UINT32_MAX);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    int base = data[0] % 40; // includes the invalid bases 1 and 37 to 39
    size_t length = strnlen(reinterpret_cast<const char*>(data + 1), size - 1);
    char* text = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(text, data + 1, length);
    text[length] = '\0';
    checkArbitraryText(text, base);
    std::free(text);

    if (size >= 9) {
        uint64_t bits = 0;
        std::memcpy(&bits, data + 1, sizeof bits);
        checkPrintedValue(bits);
    }
    return 0;
}
