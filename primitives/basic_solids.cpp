// Basic solids: sphere, cylinders, cones, tori, ellipsoid, block, superellipsoid and the
// periodic roughening function. Each is a pure function of its arguments; a value >= 0 is
// inside. Intermediates are computed in double; the conversions to float that some formulas
// make at fixed points are part of the result and are written out with toFloat().
#include <algorithm>
#include <cmath>

#include "lang/builtins.h"
#include "lang/settings.h"
#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

namespace {

using lang::CallContext;

// Rounds an intermediate to single precision where the formula stores it in a float.
double toFloat(double v) {
    return static_cast<float>(v);
}

double sq(double v) {
    return v * v;
}

// The point x of a call, or null unless x resolves to exactly 3 elements.
const float* pointOf(const float* args, int n, CallContext& call) {
    ArrayArg x = arrayAt(args, n, 0, call);
    return x.data != nullptr && x.count == 3 ? x.data : nullptr;
}

// The point relative to the centre (or vertex) array, the call's second argument.
struct Offset {
    double d[3];
};

// Offset of x from its centre array, or false when x is not exactly 3 elements or the centre
// array holds fewer than 3 (it is never read past its end).
bool offsetOf(const float* args, int n, CallContext& call, Offset& out) {
    ArrayArg centre = arrayAt(args, n, 1, call);
    const float* x = pointOf(args, n, call);
    if (x == nullptr || centre.data == nullptr || centre.count < 3)
        return false;
    for (int i = 0; i < 3; ++i)
        out.d[i] = static_cast<double>(x[i]) - static_cast<double>(centre[i]);
    return true;
}

// The coordinate along Axis and the two across it, in X, Y, Z order.
template <int Axis> double along(const Offset& p) {
    return p.d[Axis];
}
template <int Axis> double across1(const Offset& p) {
    return p.d[Axis == 0 ? 1 : 0];
}
template <int Axis> double across2(const Offset& p) {
    return p.d[Axis == 2 ? 1 : 2];
}

bool tooSmall(float v) {
    return std::fabs(v) < lang::eps();
}

// lvsphere(x, center, R)
float sphere(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 3, call, p))
        return OUTSIDE_VALUE;
    const double r = argAt(args, 3, 2);
    return static_cast<float>(r * r - sq(p.d[0]) - sq(p.d[1]) - sq(p.d[2]));
}

// lvcylinderx/y/z(x, center, R): infinite circular cylinder along Axis.
template <int Axis> float cylinder(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 3, call, p))
        return OUTSIDE_VALUE;
    const double r = argAt(args, 3, 2);
    return static_cast<float>(r * r - sq(across1<Axis>(p)) - sq(across2<Axis>(p)));
}

// lvconex/y/z(x, center, R): double cone along Axis with its apex at the centre.
template <int Axis> float cone(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 3, call, p))
        return OUTSIDE_VALUE;
    const double r = argAt(args, 3, 2);
    return static_cast<float>(sq(along<Axis>(p)) - sq(across1<Axis>(p) / r) -
                              sq(across2<Axis>(p) / r));
}

// lvtorusx/y/z(x, center, R, r0): torus around Axis.
template <int Axis> float torus(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 4, call, p))
        return OUTSIDE_VALUE;
    const double big = argAt(args, 4, 2);
    const double tube = argAt(args, 4, 3);
    const double ring = std::sqrt(sq(across1<Axis>(p)) + sq(across2<Axis>(p)));
    return static_cast<float>(tube * tube - sq(p.d[0]) - sq(p.d[1]) - sq(p.d[2]) - big * big +
                              2.0 * big * ring);
}

// lvellcylx/y/z(x, center, a, b): elliptic cylinder along Axis; a and b must not be zero.
template <int Axis> float ellipticCylinder(const float* args, CallContext& call) {
    const float a = argAt(args, 4, 2);
    const float b = argAt(args, 4, 3);
    Offset p;
    if (!offsetOf(args, 4, call, p) || tooSmall(a) || tooSmall(b))
        return OUTSIDE_VALUE;
    return static_cast<float>(1.0 - sq(across1<Axis>(p) / a) - sq(across2<Axis>(p) / b));
}

// lvellconex/y/z(x, center, a, b): elliptic double cone along Axis; slopes not validated.
template <int Axis> float ellipticCone(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 4, call, p))
        return OUTSIDE_VALUE;
    const double a = argAt(args, 4, 2);
    const double b = argAt(args, 4, 3);
    return static_cast<float>(sq(along<Axis>(p)) - sq(across1<Axis>(p) / a) -
                              sq(across2<Axis>(p) / b));
}

// lvellipsoid(x, center, a, b, c)
float ellipsoid(const float* args, CallContext& call) {
    const float a = argAt(args, 5, 2);
    const float b = argAt(args, 5, 3);
    const float c = argAt(args, 5, 4);
    Offset p;
    if (!offsetOf(args, 5, call, p) || tooSmall(a) || tooSmall(b) || tooSmall(c))
        return OUTSIDE_VALUE;
    return static_cast<float>(1.0 - sq(p.d[0] / a) - sq(p.d[1] / b) - sq(p.d[2] / c));
}

// R-function intersection of two values with parameter alpha. The radicand is a square
// (or a sum of squares) for every alpha in [-1, 1]; its magnitude is taken so that rounding
// can never turn it into a NaN.
double intersect(double u, double v, double alpha) {
    return u + v - std::sqrt(std::fabs(u * u + v * v - 2.0 * alpha * u * v));
}

// lvblock(x, vertex, dx, dy, dz): axis-aligned box with one corner at vertex, the
// intersection of three slabs (R-function with ALPHA, or exact min when ALPHA is 1).
float block(const float* args, CallContext& call) {
    const double dx = argAt(args, 5, 2);
    const double dy = argAt(args, 5, 3);
    const double dz = argAt(args, 5, 4);
    ArrayArg vertex = arrayAt(args, 5, 1, call);
    const float* x = pointOf(args, 5, call);
    if (!(dx >= 0.0 && dy >= 0.0 && dz >= 0.0))
        return OUTSIDE_VALUE;
    if (x == nullptr || vertex.data == nullptr || vertex.count < 3)
        return OUTSIDE_VALUE;
    const double v0 = vertex[0], v1 = vertex[1], v2 = vertex[2];
    const double x0 = x[0], x1 = x[1], x2 = x[2];
    const double slabX = (dx + v0 - x0) * (x0 - v0);
    const double slabY = toFloat((dy + v1 - x1) * (x1 - v1));
    const double slabZ = toFloat((dz + v2 - x2) * (x2 - v2));
    const double alpha = lang::alpha();
    if (alpha == 1.0)
        return static_cast<float>(std::min({slabX, slabY, slabZ}));
    return static_cast<float>(intersect(intersect(slabX, slabY, alpha), slabZ, alpha));
}

// lvsuperell(x, center, a, b, c, s1, s2): superellipsoid; s1 shapes the profile along Z,
// s2 the cross-section in the XY plane.
float superellipsoid(const float* args, CallContext& call) {
    const float a = argAt(args, 7, 2);
    const float b = argAt(args, 7, 3);
    const float c = argAt(args, 7, 4);
    const float s1 = argAt(args, 7, 5);
    const float s2 = argAt(args, 7, 6);
    Offset p;
    if (!offsetOf(args, 7, call, p))
        return OUTSIDE_VALUE;
    if (tooSmall(a) || tooSmall(b) || tooSmall(c) || tooSmall(s1) || tooSmall(s2))
        return OUTSIDE_VALUE;
    const double e = toFloat(2.0 / s2);
    const double f = toFloat(2.0 / s1);
    const double across =
        toFloat(std::pow(std::fabs(p.d[0] / a), e)) + toFloat(std::pow(std::fabs(p.d[1] / b), e));
    const double q = toFloat(std::pow(across, static_cast<double>(s2) / s1));
    const double z = toFloat(std::pow(std::fabs(p.d[2] / c), f));
    return static_cast<float>(1.0 - q - z);
}

// lvnoiseg(x, amp, freq, phase): product of three sinusoidal terms, added to other functions
// to roughen their surfaces.
float noise(const float* args, CallContext& call) {
    const float* x = pointOf(args, 4, call);
    if (x == nullptr)
        return OUTSIDE_VALUE;
    const double amp = argAt(args, 4, 1);
    const double freq = argAt(args, 4, 2);
    const double phase = argAt(args, 4, 3);
    const double u = toFloat(freq * x[0]);
    const double sx = toFloat(std::sin(u));
    const double sy = toFloat(std::sin(freq * x[1]));
    const double sz = toFloat(std::sin(freq * x[2]));
    const double ampScaled = toFloat(amp * 0.8547008547008548);
    const double k = 0.7407407407407407;
    const double u1 = ampScaled * std::sin(phase * sy + k * freq * x[2]) + amp * sz;
    const double u2 = ampScaled * std::sin(phase * sx + k * freq * x[1]) + amp * sy;
    const double u3 = ampScaled * std::sin(phase * sz + k * u) + amp * sx;
    return static_cast<float>(u1 * u2 * u3);
}

constexpr RowEvaluate kRows[] = {
    {22, sphere},
    {23, cylinder<0>},
    {24, cylinder<1>},
    {25, cylinder<2>},
    {26, cone<0>},
    {27, cone<1>},
    {28, cone<2>},
    {29, torus<2>},
    {30, torus<0>},
    {31, torus<1>},
    {32, ellipticCylinder<0>},
    {33, ellipticCylinder<1>},
    {34, ellipticCylinder<2>},
    {35, ellipticCone<0>},
    {36, ellipticCone<1>},
    {37, ellipticCone<2>},
    {43, noise},
    {44, ellipsoid},
    {45, block},
    {61, superellipsoid},
};

} // namespace

std::span<const RowEvaluate> basicSolidRows() {
    return kRows;
}

} // namespace lv::prim
