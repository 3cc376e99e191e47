// Whole-text conversions both ways on arbitrary input, each from an exactly sized heap
// copy so that the address sanitizer sees a read past the terminator.
// UTF-8 -> UTF-16: null exactly for text that is not UTF-8 (surrogate values allowed);
// otherwise the lengths agree and, unless a high and a low surrogate value stand side by
// side (they join into a pair), converting back gives the input.
// UTF-16 -> UTF-8 -> UTF-16 gives any input back: unpaired surrogates travel as their own
// three-byte forms.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "foundation/Utf.h"

namespace {

struct Reference {
    bool valid = true;
    bool joinsSurrogates = false; // a high surrogate value followed by a low one
    bool hasSurrogates = false;
    uint64_t units = 0;
};

// A UTF-8 checker written apart from the decoder: the forms of values up to 0x10FFFF.
Reference checkUtf8(const uint8_t* text, size_t length) {
    Reference r;
    bool previousHigh = false;
    for (size_t at = 0; at < length;) {
        uint8_t lead = text[at];
        size_t count;
        uint32_t value, least;
        if (lead < 0x80) {
            count = 0, value = lead, least = 0;
        } else if (lead >= 0xC0 && lead < 0xE0) {
            count = 1, value = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            count = 2, value = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead < 0xF8) {
            count = 3, value = lead & 0x07, least = 0x10000;
        } else {
            r.valid = false;
            return r;
        }
        if (at + count >= length) {
            r.valid = false;
            return r;
        }
        for (size_t i = 1; i <= count; ++i) {
            if ((text[at + i] & 0xC0) != 0x80) {
                r.valid = false;
                return r;
            }
            value = (value << 6) | (text[at + i] & 0x3F);
        }
        if (value < least || value > 0x10FFFF) {
            r.valid = false;
            return r;
        }
        bool high = value >= 0xD800 && value <= 0xDBFF;
        bool low = value >= 0xDC00 && value <= 0xDFFF;
        r.hasSurrogates = r.hasSurrogates || high || low;
        r.joinsSurrogates = r.joinsSurrogates || (previousHigh && low);
        previousHigh = high;
        r.units += value > 0xFFFF ? 2 : 1;
        at += count + 1;
    }
    return r;
}

void utf8ToWideAndBack(const uint8_t* data, size_t size) {
    size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    char* text = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(text, data, length);
    text[length] = '\0';
    Reference expected = checkUtf8(data, length);
    ksWideBuffer wide = ksWideFromUtf8(text);
    if ((wide != nullptr) != expected.valid)
        __builtin_trap();
    if (wide) {
        if (ksWideLength(wide) != expected.units || ksWideCapacity(wide) != expected.units ||
            wide[expected.units] != 0)
            __builtin_trap();
        char* back = ksUtf8FromWide(wide);
        if (!expected.joinsSurrogates && std::strcmp(back, text) != 0)
            __builtin_trap();
        std::free(back);
        ksWideFree(wide);
    }
    std::free(text);
}

bool hasUnpairedSurrogate(const std::vector<ksWideUnit>& units) {
    for (size_t at = 0; at + 1 < units.size(); ++at) {
        uint16_t unit = static_cast<uint16_t>(units[at]);
        uint16_t next = static_cast<uint16_t>(units[at + 1]);
        if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF)
            ++at; // a pair
        else if (unit >= 0xD800 && unit <= 0xDFFF)
            return true;
    }
    return false;
}

void wideToUtf8AndBack(const uint8_t* data, size_t size) {
    std::vector<ksWideUnit> units;
    for (size_t at = 0; at + 1 < size; at += 2) {
        uint16_t unit = static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
        if (unit == 0)
            break;
        units.push_back(static_cast<ksWideUnit>(unit));
    }
    units.push_back(0);
    units.shrink_to_fit();
    // The vector's block may be larger than its contents: copy into an exact block.
    ksWideUnit* wide = static_cast<ksWideUnit*>(std::malloc(units.size() * sizeof(ksWideUnit)));
    std::memcpy(wide, units.data(), units.size() * sizeof(ksWideUnit));

    char* utf8 = ksUtf8FromWide(wide);
    size_t utf8Length = std::strlen(utf8);
    Reference shape = checkUtf8(reinterpret_cast<const uint8_t*>(utf8), utf8Length);
    if (!shape.valid || shape.joinsSurrogates || shape.hasSurrogates != hasUnpairedSurrogate(units))
        __builtin_trap();
    ksWideBuffer back = ksWideFromUtf8(utf8);
    if (!back || ksWideLength(back) != units.size() - 1 ||
        std::memcmp(back, wide, units.size() * sizeof(ksWideUnit)) != 0)
        __builtin_trap();
    ksWideFree(back);
    std::free(utf8);
    std::free(wide);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the direction, so that each has a corpus of its own shape.
    if (data[0] & 1)
        utf8ToWideAndBack(data + 1, size - 1);
    else
        wideToUtf8AndBack(data + 1, size - 1);
    return 0;
}
