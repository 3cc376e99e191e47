// The formatter's failures. A malformed format returns -(code + 256 * position) before anything
// is written; a text argument that is not well-formed ends the call with kFormatMalformedText.
#pragma once
#include <climits>
#include <cstdint>

constexpr int kFormatErrorInvalid = 2; // a byte no directive takes, a third '.', a base above 36
constexpr int kFormatErrorLimit = 3;   // an argument beyond the 64th, or output beyond an int
constexpr int kFormatErrorTwice = 4;   // an argument referenced twice (position: its index)
constexpr int kFormatErrorUnused = 5;  // an argument below the highest never referenced
constexpr int kFormatMalformedText = -2;

// -(code + 256 * position), the position cut so that the result stays an int.
inline int ksFormatError(int code, uint64_t position) {
    const uint64_t largest = (static_cast<uint64_t>(INT_MAX) - static_cast<uint64_t>(code)) / 256;
    return -(code + static_cast<int>(position < largest ? position : largest) * 256);
}
