// Copies of a few bytes on the record path (prefix fields, separators), where a call to
// memcpy costs more than the copy itself.
#pragma once
#include <cstddef>
#include <cstring>

// Two fixed-size copies that overlap cover any length up to twice their size without
// reading past the source; longer copies go to memcpy.
inline void ksCopyShort(char* to, const char* from, size_t count) {
    if (count >= 8 && count <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + count - 8, from + count - 8, 8);
    } else if (count >= 4 && count < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + count - 4, from + count - 4, 4);
    } else if (count > 0 && count < 4) {
        to[0] = from[0];
        to[count / 2] = from[count / 2];
        to[count - 1] = from[count - 1];
    } else if (count > 16) {
        std::memcpy(to, from, count);
    }
}
