#pragma once
// Rounding as the catalogue's own program rounds: halves go to the even
// neighbour. Stated here rather than taken from the floating-point
// environment, which other code may have changed.

#include <cmath>

namespace base {

inline double RoundHalfEven(double x) {
    const double low = std::floor(x);
    const double diff = x - low;
    if (diff > 0.5) return low + 1;
    if (diff < 0.5) return low;
    return std::fmod(low, 2.0) == 0 ? low : low + 1;
}

// Half of an integer, halves to even (exact: every int is a double).
inline int HalfToEven(int v) { return static_cast<int>(RoundHalfEven(v / 2.0)); }

} // namespace base
