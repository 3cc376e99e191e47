// Counts that stop at their largest value instead of wrapping, since a hostile client
// can report any number of lost records.
#pragma once
#include <cstdint>
#include <limits>

inline void addSaturating(std::uint64_t& total, std::uint64_t amount) {
    constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();
    total = amount > largest - total ? largest : total + amount;
}
