#pragma once
// Rounding to whole numbers, one rule for the language and everything that rounds like it:
// halves go up (2.5 to 3, -2.5 to -2).
#include <cmath>

namespace lv::lang {

// floor without a library call for the values indexes and exponents take; exact for all.
inline double floorOf(double t) {
    if (!(std::fabs(t) < 4.0e18)) return std::floor(t); // huge, infinite or NaN
    double i = static_cast<double>(static_cast<long long>(t));
    return i > t ? i - 1.0 : i;
}

// The whole number nearest to v, halves going up: floor(v + 0.5).
inline double nearestWhole(double v) { return floorOf(v + 0.5); }

} // namespace lv::lang
