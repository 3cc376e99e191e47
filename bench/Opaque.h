// Hides a benchmark's arguments from the optimiser, so that no implementation sees constants.
//
// The benchmark library's DoNotOptimize offers GCC two constraint alternatives for an lvalue,
// and GCC may satisfy them inconsistently: the value read back is then stack garbage, and
// every implementation is handed it. One alternative per type avoids that.
#pragma once
#include <type_traits>

template <class T> inline T opaque(T value) {
    if constexpr (std::is_floating_point_v<T>) {
        volatile T stored = value;
        return stored;
    } else {
        asm volatile("" : "+r"(value));
        return value;
    }
}
