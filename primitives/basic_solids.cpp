// Basic solids: sphere, cylinders, cones, tori, ellipsoid, block, superellipsoid and the
// periodic roughening function. Each is a pure function of its arguments; a value >= 0 is
// inside. Intermediates are computed in double; the conversions to float that some formulas
// make at fixed points are part of the result and are written out with toFloat().
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>

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

// The formulas of the sphere, the cylinders and the block, shared by the one-point and the
// batched evaluations so that both give the same bits.
[[gnu::always_inline]] inline float sphereOf(const Offset& p, double r) {
    return static_cast<float>(r * r - sq(p.d[0]) - sq(p.d[1]) - sq(p.d[2]));
}

template <int Axis> [[gnu::always_inline]] inline float cylinderOf(const Offset& p, double r) {
    return static_cast<float>(r * r - sq(across1<Axis>(p)) - sq(across2<Axis>(p)));
}

// lvsphere(x, center, R)
float sphere(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 3, call, p))
        return OUTSIDE_VALUE;
    return sphereOf(p, argAt(args, 3, 2));
}

// lvcylinderx/y/z(x, center, R): infinite circular cylinder along Axis.
template <int Axis> float cylinder(const float* args, CallContext& call) {
    Offset p;
    if (!offsetOf(args, 3, call, p))
        return OUTSIDE_VALUE;
    return cylinderOf<Axis>(p, argAt(args, 3, 2));
}

// Runs value(lane) for the lanes of batch into its out row. The loop over all lanes has no
// branch, so that it runs on vector registers.
template <class F> [[gnu::always_inline]] inline void eachLane(const PointBatch& batch, F value) {
    float* out = batch.out;
    if (batch.lanes == nullptr) {
        for (int l = 0; l < batch.count; ++l) out[l] = value(l);
    } else {
        for (int k = 0; k < batch.count; ++k) out[batch.lanes[k]] = value(batch.lanes[k]);
    }
}

// The offset of x from the second argument in lane l.
struct LaneOffset {
    const float *x0, *x1, *x2, *c0, *c1, *c2;
    explicit LaneOffset(const PointBatch& b)
        : x0(b.x[0]), x1(b.x[1]), x2(b.x[2]), c0(b.second[0]), c1(b.second[1]),
          c2(b.second[2]) {}
    [[gnu::always_inline]] Offset at(int l) const {
        return {{static_cast<double>(x0[l]) - static_cast<double>(c0[l]),
                 static_cast<double>(x1[l]) - static_cast<double>(c1[l]),
                 static_cast<double>(x2[l]) - static_cast<double>(c2[l])}};
    }
};

// The batched solids are also compiled for AVX2, taken where the processor has it: the same
// IEEE operations on wider registers, so the same bits.
#define LV_AVX2_CLONES __attribute__((target_clones("avx2", "default")))

LV_AVX2_CLONES void sphereBatch(const PointBatch& batch) {
    const LaneOffset offset(batch);
    const float* r = batch.reals[0];
    eachLane(batch, [&](int l) __attribute__((always_inline)) {
        return sphereOf(offset.at(l), r[l]);
    });
}

template <int Axis> [[gnu::always_inline]] inline void cylinderBatch(const PointBatch& batch) {
    const LaneOffset offset(batch);
    const float* r = batch.reals[0];
    eachLane(batch, [&](int l) __attribute__((always_inline)) {
        return cylinderOf<Axis>(offset.at(l), r[l]);
    });
}
LV_AVX2_CLONES void cylinderXBatch(const PointBatch& batch) { cylinderBatch<0>(batch); }
LV_AVX2_CLONES void cylinderYBatch(const PointBatch& batch) { cylinderBatch<1>(batch); }
LV_AVX2_CLONES void cylinderZBatch(const PointBatch& batch) { cylinderBatch<2>(batch); }

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

// c ? a : b through bit masks, which the compiler turns into vector code where a conditional
// on reals would keep a branch.
template <class T> T pick(bool c, T a, T b) {
    using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;
    const Bits mask = Bits{0} - static_cast<Bits>(c);
    return std::bit_cast<T>((std::bit_cast<Bits>(a) & mask) | (std::bit_cast<Bits>(b) & ~mask));
}

// The block's value for a usable x and vertex: the least slab when ALPHA is 1, otherwise
// the slabs' R-intersection. The choices are made on bits, so that a loop over many points
// has no branch.
template <bool Least>
[[gnu::always_inline]] inline float blockOf(double x0, double x1, double x2, double v0,
                                             double v1, double v2, double dx, double dy,
                                             double dz, double alpha) {
    const double slabX = (dx + v0 - x0) * (x0 - v0);
    const double slabY = toFloat((dy + v1 - x1) * (x1 - v1));
    const double slabZ = toFloat((dz + v2 - x2) * (x2 - v2));
    double value;
    if constexpr (Least) {
        value = slabX; // std::min's choice: the first of equal or unordered values
        value = pick(slabY < value, slabY, value);
        value = pick(slabZ < value, slabZ, value);
    } else {
        value = intersect(intersect(slabX, slabY, alpha), slabZ, alpha);
    }
    // Rounded once: OUTSIDE_VALUE is a float, so the choice may be made in double.
    value = static_cast<float>(value);
    const double outside = OUTSIDE_VALUE;
    return static_cast<float>(
        pick(dx >= 0.0, pick(dy >= 0.0, pick(dz >= 0.0, value, outside), outside), outside));
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
    const double alpha = lang::alpha();
    return alpha == 1.0
               ? blockOf<true>(x[0], x[1], x[2], vertex[0], vertex[1], vertex[2], dx, dy, dz, alpha)
               : blockOf<false>(x[0], x[1], x[2], vertex[0], vertex[1], vertex[2], dx, dy, dz,
                                alpha);
}

LV_AVX2_CLONES void blockBatch(const PointBatch& batch) {
    const float *x0 = batch.x[0], *x1 = batch.x[1], *x2 = batch.x[2];
    const float *v0 = batch.second[0], *v1 = batch.second[1], *v2 = batch.second[2];
    const float *dx = batch.reals[0], *dy = batch.reals[1], *dz = batch.reals[2];
    const double alpha = lang::alpha();
    if (alpha == 1.0) {
        eachLane(batch, [&](int l) __attribute__((always_inline)) {
            return blockOf<true>(x0[l], x1[l], x2[l], v0[l], v1[l], v2[l], dx[l], dy[l], dz[l],
                                 alpha);
        });
    } else {
        eachLane(batch, [&](int l) __attribute__((always_inline)) {
            return blockOf<false>(x0[l], x1[l], x2[l], v0[l], v1[l], v2[l], dx[l], dy[l], dz[l],
                                  alpha);
        });
    }
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

using B = lang::Builtin;
constexpr RowEvaluate kRows[] = {
    {B::LvSphere, sphere, sphereBatch},
    {B::LvCylinderX, cylinder<0>, cylinderXBatch},
    {B::LvCylinderY, cylinder<1>, cylinderYBatch},
    {B::LvCylinderZ, cylinder<2>, cylinderZBatch},
    {B::LvConeX, cone<0>},
    {B::LvConeY, cone<1>},
    {B::LvConeZ, cone<2>},
    {B::LvTorusZ, torus<2>},
    {B::LvTorusX, torus<0>},
    {B::LvTorusY, torus<1>},
    {B::LvEllCylX, ellipticCylinder<0>},
    {B::LvEllCylY, ellipticCylinder<1>},
    {B::LvEllCylZ, ellipticCylinder<2>},
    {B::LvEllConeX, ellipticCone<0>},
    {B::LvEllConeY, ellipticCone<1>},
    {B::LvEllConeZ, ellipticCone<2>},
    {B::LvNoiseG, noise},
    {B::LvEllipsoid, ellipsoid},
    {B::LvBlock, block, blockBatch},
    {B::LvSuperEll, superellipsoid},
};

} // namespace

std::span<const RowEvaluate> basicSolidRows() {
    return kRows;
}

} // namespace lv::prim
