// UTF-8 and UTF-16 primitives, whole-text conversions in two passes (measure, allocate
// once, convert) and the headed heap block that carries UTF-16 text to the platform.
#include "foundation/Utf.h"
#include "foundation/Fatal.h"
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The largest value each UTF-8 length carries: length k holds values up to kThresholds[k-1].
constexpr uint32_t kThresholds[] = {0x7F,      0x7FF,      0xFFFF,    0x1FFFFF,
                                    0x3FFFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
// Lead-byte length marks for 2 to 6 bytes; index by length.
constexpr unsigned char kLeadMarks[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};

constexpr uint32_t kLargestWideValue = 0x10FFFF;

struct WideHeader {
    uint64_t capacity; // units before the terminator
    uint64_t length;   // units of the current text
};
static_assert(sizeof(WideHeader) % alignof(ksWideUnit) == 0);

WideHeader* headerOf(ksWideBuffer buffer) {
    return reinterpret_cast<WideHeader*>(buffer) - 1;
}

ksWideBuffer unitsOf(WideHeader* header) { return reinterpret_cast<ksWideBuffer>(header + 1); }

// Block size for a capacity, saturated so that an impossible request fails the allocator
// instead of wrapping to a small block.
size_t wideBlockSize(uint64_t capacity) {
    constexpr uint64_t most = (SIZE_MAX - sizeof(WideHeader)) / sizeof(ksWideUnit) - 1;
    if (capacity > most)
        return SIZE_MAX;
    return sizeof(WideHeader) + static_cast<size_t>(capacity + 1) * sizeof(ksWideUnit);
}

// Sequence length announced by a lead byte that is not ASCII: 0 for a continuation
// byte, 8 for 0xFF (whose every value is overlong).
int sequenceLength(unsigned char lead) {
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    if (lead < 0xFC)
        return 5;
    if (lead < 0xFE)
        return 6;
    return lead == 0xFE ? 7 : 8;
}

bool isContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

bool isSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool isHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

uint64_t wideTextLength(const ksWideUnit* text) {
    uint64_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

// One UTF-8 sequence of a 0-terminated text as a value UTF-16 can carry; false for
// malformed text (the terminator stops the decoder) and for values above 0x10FFFF.
bool decodeForWide(const char* bytes, uint32_t* value, int64_t* length) {
    *length = ksUtf8Decode(bytes, UINT64_MAX, value);
    return *length > 0 && *value <= kLargestWideValue;
}

// One code point of UTF-16 text holding `available` units before its terminator. An
// unpaired surrogate stands for itself and takes one unit.
uint32_t nextWideValue(const ksWideUnit* units, uint64_t available, int64_t* used) {
    uint32_t value = 0;
    *used = ksUtf16Decode(units, available, &value);
    if (*used > 0)
        return value;
    *used = 1;
    return static_cast<uint16_t>(units[0]);
}

} // namespace

int64_t ksUtf8Length(uint32_t value) {
    int64_t length = 1;
    while (value > kThresholds[length - 1])
        ++length;
    return length;
}

int64_t ksUtf8Decode(const char* bytes, uint64_t maxBytes, uint32_t* value) {
    uint32_t ignored;
    if (!value)
        value = &ignored;
    if (maxBytes == 0 || !bytes)
        return 0;
    unsigned char lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        *value = lead;
        return 1;
    }
    int length = sequenceLength(lead);
    if (length == 0)
        return -1;
    // The lead byte keeps 7 - length bits (none for 0xFE and 0xFF); wider sequences carry
    // up to 36 bits and are kept to 32.
    uint64_t decoded = length < 7 ? (lead & (0x7Fu >> length)) : 0;
    for (int i = 1; i < length; ++i) {
        if (static_cast<uint64_t>(i) >= maxBytes)
            return -2;
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (!isContinuation(byte))
            return -1;
        decoded = (decoded << 6) | (byte & 0x3Fu);
    }
    uint32_t kept = static_cast<uint32_t>(decoded);
    if (length == 8 || kept <= kThresholds[length - 2])
        return -1; // overlong
    *value = kept;
    return length;
}

int64_t ksUtf8Encode(char* bytes, uint64_t room, uint32_t value) {
    value &= 0x7FFFFFFF;
    int64_t length = ksUtf8Length(value);
    if (!bytes || room < static_cast<uint64_t>(length))
        return length;
    if (length == 1) {
        bytes[0] = static_cast<char>(value);
        return 1;
    }
    for (int64_t i = length - 1; i > 0; --i) {
        bytes[i] = static_cast<char>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    bytes[0] = static_cast<char>(kLeadMarks[length] | value);
    return length;
}

int64_t ksUtf16Decode(const ksWideUnit* units, uint64_t available, uint32_t* value) {
    uint32_t ignored;
    if (!value)
        value = &ignored;
    if (available == 0 || !units)
        return 0;
    uint32_t first = static_cast<uint16_t>(units[0]);
    if (!isSurrogate(first)) {
        *value = first;
        return 1;
    }
    // A low surrogate can never open a pair: joined with another it would name a value
    // beyond UTF-16's range.
    if (!isHighSurrogate(first))
        return -1;
    if (available < 2)
        return -2;
    uint32_t second = static_cast<uint16_t>(units[1]);
    if (!isLowSurrogate(second))
        return -1;
    *value = (first - 0xD800) * 1024 + (second - 0xDC00) + 0x10000;
    return 2;
}

ksWideBuffer ksWideFromUtf8(const char* text) {
    if (!text)
        return nullptr;
    uint64_t units = 0;
    uint32_t value = 0;
    int64_t length = 0;
    for (const char* p = text; *p; p += length) {
        if (!decodeForWide(p, &value, &length))
            return nullptr;
        units += value > 0xFFFF ? 2 : 1;
    }
    ksWideBuffer wide = ksWideResize(nullptr, units);
    uint64_t stored = 0;
    for (const char* p = text; *p; p += length) {
        decodeForWide(p, &value, &length);
        if (value > 0xFFFF) {
            wide[stored++] = static_cast<ksWideUnit>(0xD800 + ((value - 0x10000) >> 10));
            wide[stored++] = static_cast<ksWideUnit>(0xDC00 + (value & 0x3FF));
        } else {
            wide[stored++] = static_cast<ksWideUnit>(value);
        }
    }
    ksWideSetLength(wide, stored);
    return wide;
}

char* ksUtf8FromWide(const ksWideUnit* text) {
    if (!text)
        return nullptr;
    uint64_t units = wideTextLength(text);
    uint64_t bytes = 0;
    int64_t used = 0;
    for (uint64_t i = 0; i < units; i += static_cast<uint64_t>(used))
        bytes += static_cast<uint64_t>(ksUtf8Length(nextWideValue(text + i, units - i, &used)));
    // At most three bytes per unit, so the sum cannot wrap before the allocator refuses it.
    char* utf8 = static_cast<char*>(ksMalloc(static_cast<size_t>(bytes + 1)));
    uint64_t written = 0;
    for (uint64_t i = 0; i < units; i += static_cast<uint64_t>(used)) {
        uint32_t value = nextWideValue(text + i, units - i, &used);
        written += static_cast<uint64_t>(ksUtf8Encode(utf8 + written, bytes - written, value));
    }
    utf8[written] = '\0';
    return utf8;
}

ksWideBuffer ksWideDup(const ksWideUnit* text) {
    if (!text)
        return nullptr;
    uint64_t length = wideTextLength(text);
    ksWideBuffer copy = ksWideResize(nullptr, length);
    std::memcpy(copy, text, static_cast<size_t>(length + 1) * sizeof(ksWideUnit));
    headerOf(copy)->length = length;
    return copy;
}

ksWideBuffer ksWideResize(ksWideBuffer buffer, uint64_t capacity) {
    size_t size = wideBlockSize(capacity);
    if (!buffer) {
        WideHeader* header = static_cast<WideHeader*>(ksMalloc(size));
        // A new block starts as the empty text, so that it is safe to read at once.
        header->capacity = capacity;
        header->length = 0;
        unitsOf(header)[0] = 0;
        return unitsOf(header);
    }
    WideHeader* header = static_cast<WideHeader*>(ksRealloc(headerOf(buffer), size));
    header->capacity = capacity;
    // A shrunken block cuts its text so that length and terminator stay inside it.
    if (header->length > capacity) {
        header->length = capacity;
        unitsOf(header)[capacity] = 0;
    }
    return unitsOf(header);
}

void ksWideSetLength(ksWideBuffer buffer, uint64_t length) {
    if (!buffer)
        return;
    WideHeader* header = headerOf(buffer);
    // Never beyond the block: the terminator's unit is the last one it has.
    if (length > header->capacity)
        length = header->capacity;
    header->length = length;
    buffer[length] = 0;
}

uint64_t ksWideLength(const ksWideBuffer buffer) { return buffer ? headerOf(buffer)->length : 0; }

uint64_t ksWideCapacity(const ksWideBuffer buffer) {
    return buffer ? headerOf(buffer)->capacity : 0;
}

void ksWideFree(ksWideBuffer buffer) {
    if (buffer)
        std::free(headerOf(buffer));
}
