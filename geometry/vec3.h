#pragma once
// Three-component vectors and the little algebra on them, shared by the primitives, the model,
// the mesh export and the renderer. Every helper computes in the component type (float stays
// float) in one fixed order of operations, so results are the same bit for bit wherever they
// are used. Header-only and free of every other library.
#include <cmath>
#include <type_traits>

namespace lv::geom {

template <class T>
struct BasicVec3 {
    T x = T(0), y = T(0), z = T(0);
};

using Vec3 = BasicVec3<double>;
using Vec3f = BasicVec3<float>;

template <class T>
constexpr BasicVec3<T> operator+(BasicVec3<T> a, BasicVec3<T> b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
template <class T>
constexpr BasicVec3<T> operator-(BasicVec3<T> a, BasicVec3<T> b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <class T>
constexpr BasicVec3<T> operator-(BasicVec3<T> a) {
    return {-a.x, -a.y, -a.z};
}
// Each component times k (k converted to the component type first).
template <class T>
constexpr BasicVec3<T> operator*(BasicVec3<T> a, std::type_identity_t<T> k) {
    return {a.x * k, a.y * k, a.z * k};
}
// a.x * b.x + a.y * b.y + a.z * b.z, summed from the left.
template <class T>
constexpr T dot(BasicVec3<T> a, BasicVec3<T> b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <class T>
constexpr BasicVec3<T> cross(BasicVec3<T> a, BasicVec3<T> b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// The squared length, dot(a, a).
template <class T>
constexpr T norm2(BasicVec3<T> a) {
    return dot(a, a);
}
template <class T>
T length(BasicVec3<T> a) {
    return std::sqrt(dot(a, a));
}
// a times 1 / length(a); a itself when its length is 0 or not finite (NaN included).
template <class T>
BasicVec3<T> normalized(BasicVec3<T> a) {
    const T l = length(a);
    return (l > T(0) && std::isfinite(l)) ? a * (T(1) / l) : a;
}

// Newell's normal of the polygon of count vertices corner(0) .. corner(count - 1): its length
// is twice the area, its direction the side from which the corners run counterclockwise. Robust
// for non-planar quadrilaterals.
template <class Corner>
auto newellNormal(int count, const Corner& corner) {
    std::remove_cvref_t<decltype(corner(0))> n{};
    for (int i = 0; i < count; ++i) {
        const auto a = corner(i);
        const auto b = corner((i + 1) % count);
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

} // namespace lv::geom
