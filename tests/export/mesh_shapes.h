#pragma once
// Shapes the mesh tests polygonize: F as plain C++ in the polygonizer's sampling signature.
#include <cmath>

namespace meshtest {

// A sphere of radius 0.7, its centre a little off the grid's points.
inline float sphereF(float x, float y, float z) {
    const double dx = x - 0.031, dy = y + 0.017, dz = z - 0.023;
    return static_cast<float>(0.49 - (dx * dx + dy * dy + dz * dz));
}

// Torus around Z with radii 4 and 1.5.
inline float torusF(float x, float y, float z) {
    const double q = std::sqrt(double(x) * x + double(y) * y) - 4.0;
    return static_cast<float>(2.25 - (q * q + double(z) * z));
}

// A gyroid intersected with a sphere of radius 4 by the R-function intersection.
inline float gyroidBallF(float x, float y, float z) {
    const float g =
        std::sin(x) * std::cos(y) + std::sin(y) * std::cos(z) + std::sin(z) * std::cos(x);
    const float s = 16.0f - (x * x + y * y + z * z);
    return static_cast<float>(double(g) + s - std::sqrt(double(g) * g + double(s) * s));
}

} // namespace meshtest
