// The UTF-8 decoder on arbitrary bytes and limits: results in range, decoded values that
// encode back to the same bytes, and no read at or past maxBytes (every call reads from a
// heap block of exactly maxBytes bytes, so the address sanitizer sees any over-read).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include "foundation/Utf.h"

namespace {

// Decodes from an exactly sized copy of the first maxBytes bytes.
int64_t decodeExact(const uint8_t* bytes, uint64_t maxBytes, uint32_t* value) {
    if (maxBytes == 0)
        return ksUtf8Decode(reinterpret_cast<const char*>(bytes), 0, value);
    char* block = static_cast<char*>(std::malloc(maxBytes));
    std::memcpy(block, bytes, maxBytes);
    int64_t result = ksUtf8Decode(block, maxBytes, value);
    std::free(block);
    return result;
}

void checkSequence(const uint8_t* bytes, uint64_t available, uint64_t shortLimit) {
    uint32_t value = 0;
    int64_t full = decodeExact(bytes, available, &value);
    if (full < -2 || full > 7 || (full == 0) != (available == 0))
        __builtin_trap();
    if (full > 0) {
        if (static_cast<uint64_t>(full) > available || ksUtf8Length(value) != full)
            __builtin_trap();
        // Up to six bytes the encoder writes exactly what was read.
        if (full <= 6) {
            char again[8];
            if (ksUtf8Encode(again, sizeof again, value) != full ||
                std::memcmp(again, bytes, static_cast<size_t>(full)) != 0)
                __builtin_trap();
        }
    }
    // A shorter limit gives the same answer, or -2 when it cuts the sequence.
    uint64_t limit = shortLimit < available ? shortLimit : available;
    uint32_t shortValue = 0;
    int64_t cut = decodeExact(bytes, limit, &shortValue);
    if (limit == 0) {
        if (cut != 0)
            __builtin_trap();
    } else if (full > 0 && static_cast<uint64_t>(full) <= limit) {
        if (cut != full || shortValue != value)
            __builtin_trap();
    } else if (full > 0 || full == -2) {
        if (cut != -2)
            __builtin_trap();
    } else if (cut != -1 && cut != -2) {
        // A malformed sequence is malformed or cut short under any limit.
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    uint64_t shortLimit = data[0] % 9;
    const uint8_t* text = data + 1;
    uint64_t length = size - 1;
    for (uint64_t at = 0; at <= length; ++at)
        checkSequence(text + at, length - at, shortLimit);
    return 0;
}
