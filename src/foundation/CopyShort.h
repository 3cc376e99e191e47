// Copies of a few bytes (prefix fields, separators, the formatter's pieces), where a call to
// memcpy costs more than the copy itself.
#pragma once
#include <cstddef>
#include <cstring>

// Two fixed-size copies that overlap cover any length up to twice their size without
// reading past the source; longer copies go to memcpy.
inline void ksCopyShort(char* to, const char* from, size_t count) {
    if (count > 16) {
        std::memcpy(to, from, count);
    } else if (count >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + count - 8, from + count - 8, 8);
    } else if (count >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + count - 4, from + count - 4, 4);
    } else if (count > 0) {
        to[0] = from[0];
        to[count / 2] = from[count / 2];
        to[count - 1] = from[count - 1];
    }
}
