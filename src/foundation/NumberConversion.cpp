// One digit scanner behind every conversion; see NumberConversion.h for the statuses.
#include "foundation/NumberConversion.h"
#include <cstddef>

namespace {

int digitValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

const char* skipSpaceAndPlus(const char* p) {
    while (ksIsSpace(static_cast<unsigned char>(*p)))
        ++p;
    if (*p == '+')
        ++p;
    return p;
}

bool hasHexPrefix(const char* p) {
    return p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
           ksIsHexDigit(static_cast<unsigned char>(p[2]));
}

// Settles the base and skips a "0x" prefix where the base allows one.
// Returns 0 for a base outside 2 to 36.
int settleBase(const char*& p, int base) {
    if (base == 0) {
        if (hasHexPrefix(p)) {
            p += 2;
            return 16;
        }
        return *p == '0' ? 8 : 10;
    }
    if (base == 16 && hasHexPrefix(p))
        p += 2;
    return (base >= 2 && base <= 36) ? base : 0;
}

// Offsets past INT32_MAX (texts of gigabytes) are held there: cut to 32 bits they could
// read as another status, or as success.
int32_t wholeTextStatus(int32_t status, const char* text, const char* end) {
    if (status != ksNumberOk || *end == '\0')
        return status;
    ptrdiff_t offset = end - text;
    return offset > INT32_MAX ? INT32_MAX : static_cast<int32_t>(offset);
}

} // namespace

bool ksIsSpace(int c) { return c == ' ' || (c >= 9 && c <= 13); }

bool ksIsHexDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool ksIsAlnum(int c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

uint32_t ksParseUInt32(const char* text, const char** end, int base, int32_t* status) {
    int32_t dummy;
    if (!status)
        status = &dummy;
    if (end)
        *end = text;
    if (!text) {
        *status = ksNumberMissing;
        return 0;
    }
    const char* p = skipSpaceAndPlus(text);
    base = settleBase(p, base);
    if (base == 0) {
        *status = ksNumberMissing;
        return 0;
    }
    uint32_t value = 0;
    bool overflow = false;
    const char* first = p;
    for (int digit; (digit = digitValue(static_cast<unsigned char>(*p))) < base; ++p) {
        uint64_t next = static_cast<uint64_t>(value) * static_cast<unsigned>(base) +
                        static_cast<unsigned>(digit);
        overflow = overflow || next > 0xFFFFFFFFu;
        value = static_cast<uint32_t>(next);
    }
    if (p == first) {
        *status = ksNumberMissing;
        return 0;
    }
    if (end)
        *end = p;
    *status = overflow ? ksNumberOverflow : ksNumberOk;
    return overflow ? 0xFFFFFFFFu : value;
}

int32_t ksParseInt32(const char* text, const char** end, int base, int32_t* status) {
    int32_t dummy;
    if (!status)
        status = &dummy;
    if (end)
        *end = text;
    if (!text) {
        *status = ksNumberMissing;
        return 0;
    }
    const char* p = text;
    while (ksIsSpace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = p[0] == '-' && ksIsAlnum(static_cast<unsigned char>(p[1]));
    if (negative)
        ++p;
    const char* digitsEnd = nullptr;
    uint32_t magnitude = ksParseUInt32(p, &digitsEnd, base, status);
    if (*status == ksNumberOverflow) {
        if (end)
            *end = digitsEnd;
        return negative ? INT32_MIN : INT32_MAX;
    }
    if (*status != ksNumberOk)
        return 0;
    if (end)
        *end = digitsEnd;
    if (magnitude <= 0x7FFFFFFFu)
        return negative ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
    if (negative && magnitude == 0x80000000u)
        return INT32_MIN;
    *status = negative ? ksNumberUnderflow : ksNumberOverflow;
    return negative ? INT32_MIN : INT32_MAX;
}

void ksParseUInt64(const char* text, const char** end, int base, int32_t* status,
                   uint64_t* value) {
    int32_t dummyStatus;
    uint64_t dummyValue;
    if (!status)
        status = &dummyStatus;
    if (!value)
        value = &dummyValue;
    *value = 0;
    if (end)
        *end = text;
    if (!text || !*text) {
        *status = ksNumberMissing;
        return;
    }
    const char* p = skipSpaceAndPlus(text);
    base = settleBase(p, base);
    if (base == 0) {
        *status = ksNumberMissing;
        return;
    }
    const char* first = p;
    uint64_t result = 0;
    for (int digit; (digit = digitValue(static_cast<unsigned char>(*p))) < base; ++p) {
        if (result > (UINT64_MAX - static_cast<unsigned>(digit)) / static_cast<unsigned>(base)) {
            if (end)
                *end = p;
            *status = ksNumberOverflow;
            *value = UINT64_MAX;
            return;
        }
        result = result * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (p == first) {
        *status = ksNumberMissing;
        return;
    }
    if (end)
        *end = p;
    *value = result;
    *status = wholeTextStatus(ksNumberOk, text, p);
}

int32_t ksToUInt32(const char* text, uint32_t* value, int base) {
    const char* end = text;
    int32_t status;
    uint32_t result = ksParseUInt32(text, &end, base, &status);
    if (value)
        *value = result;
    return text ? wholeTextStatus(status, text, end) : ksNumberMissing;
}

int32_t ksToInt32(const char* text, int32_t* value, int base) {
    const char* end = text;
    int32_t status;
    int32_t result = ksParseInt32(text, &end, base, &status);
    if (value)
        *value = result;
    return text ? wholeTextStatus(status, text, end) : ksNumberMissing;
}

int32_t ksToInt32Dec(const char* text, int32_t* value) { return ksToInt32(text, value, 10); }

int32_t ksToPointerValue(const char* text, uint64_t* value) {
    if (value)
        *value = 0;
    if (!text || !*text)
        return ksNumberMissing;
    int base = hasHexPrefix(skipSpaceAndPlus(text)) ? 16 : 10;
    int32_t status;
    ksParseUInt64(text, nullptr, base, &status, value);
    return status;
}
