// Operations: coordinate transforms that rewrite x[0..2] in place and return 1.0 (rotations,
// shift, scaling, stretch, twists, tapers, cubic space map), and the two blends that combine
// function values. A transform reads every old value before it writes, so an argument array
// that is x itself is read unchanged. A transform whose arrays are too short for it leaves x
// as it is.
#include <cmath>

#include "lang/settings.h"
#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

namespace {

using lang::CallContext;

constexpr float kTransformed = 1.0f;

// Rounds an intermediate to single precision where the formula stores it in a float.
double toFloat(double v) {
    return static_cast<float>(v);
}

double sq(double v) {
    return v * v;
}

// The coordinates a transform rewrites: x (the first argument), or null when x has fewer
// than 3 elements. Elements past the third are left alone.
float* coordinatesOf(const float* args, int n, CallContext& call) {
    ArrayArg x = arrayAt(args, n, 0, call);
    return x.data != nullptr && x.count >= 3 ? x.data : nullptr;
}

// Rotates the two coordinates across axis by cosine c and sine s: the point turns by -theta
// about the axis, so a solid evaluated on the result turns by +theta.
void rotateAcross(float* x, int axis, double c, double s) {
    const int first = (axis + 1) % 3;
    const int second = (axis + 2) % 3;
    const double u = x[first];
    const double v = x[second];
    x[first] = static_cast<float>(u * c + v * s);
    x[second] = static_cast<float>(v * c - u * s);
}

// lvrotate3dx/y/z(x, theta)
template <int Axis> float rotate(const float* args, CallContext& call) {
    float* x = coordinatesOf(args, 2, call);
    if (x == nullptr)
        return kTransformed;
    const double theta = argAt(args, 2, 1);
    rotateAcross(x, Axis, std::cos(theta), std::sin(theta));
    return kTransformed;
}

// lvshift3d(x, dx, dy, dz)
float shift(const float* args, CallContext& call) {
    float* x = coordinatesOf(args, 4, call);
    if (x == nullptr)
        return kTransformed;
    for (int i = 0; i < 3; ++i)
        x[i] = static_cast<float>(static_cast<double>(x[i]) - argAt(args, 4, i + 1));
    return kTransformed;
}

// lvscale3d(x, sx, sy, sz); the check has refused scales near zero.
float scale(const float* args, CallContext& call) {
    float* x = coordinatesOf(args, 4, call);
    if (x == nullptr)
        return kTransformed;
    for (int i = 0; i < 3; ++i)
        x[i] = static_cast<float>(static_cast<double>(x[i]) / argAt(args, 4, i + 1));
    return kTransformed;
}

// lvstretch3d(x, center, sx, sy, sz): scaling about the fixed point center.
float stretch(const float* args, CallContext& call) {
    ArrayArg centreArray = arrayAt(args, 5, 1, call);
    float* x = coordinatesOf(args, 5, call);
    if (x == nullptr || centreArray.data == nullptr || centreArray.count < 3)
        return kTransformed;
    const double centre[3] = {centreArray[0], centreArray[1], centreArray[2]};
    for (int i = 0; i < 3; ++i)
        x[i] = static_cast<float>(centre[i] + (x[i] - centre[i]) / argAt(args, 5, i + 2));
    return kTransformed;
}

// lvtwistx/y/z(x, from, to, theta1, theta2): rotation about Axis by an angle that varies
// linearly along it, without limit outside [from, to].
template <int Axis> float twist(const float* args, CallContext& call) {
    float* x = coordinatesOf(args, 5, call);
    if (x == nullptr)
        return kTransformed;
    const double from = argAt(args, 5, 1);
    const double to = argAt(args, 5, 2);
    const double theta1 = argAt(args, 5, 3);
    const double theta2 = argAt(args, 5, 4);
    const double t = (x[Axis] - from) / (to - from);
    const double theta = (1.0 - t) * theta1 + t * theta2;
    rotateAcross(x, Axis, toFloat(std::cos(theta)), std::sin(theta));
    return kTransformed;
}

// The taper factor at v: s1 below from, s2 above to, linear between. When from equals to
// the interpolation is a step and v == from takes s2, as it does when to < from.
double taperFactor(double v, double from, double to, double s1, double s2) {
    if (v < from)
        return s1;
    if (v > to || to == from)
        return s2;
    const double t = (v - from) / (to - from);
    return (1.0 - t) * s1 + t * s2;
}

// lvtaperx/y/z(x, from, to, s1, s2): scales the cross-section across Axis by a factor that
// varies along it; the check has refused non-positive s1 and s2.
template <int Axis> float taper(const float* args, CallContext& call) {
    float* x = coordinatesOf(args, 5, call);
    if (x == nullptr)
        return kTransformed;
    double s = taperFactor(x[Axis], argAt(args, 5, 1), argAt(args, 5, 2), argAt(args, 5, 3),
                           argAt(args, 5, 4));
    if (std::fabs(s) < lang::eps())
        s = 1.0;
    const int first = (Axis + 1) % 3;
    const int second = (Axis + 2) % 3;
    x[first] = static_cast<float>(x[first] / s);
    x[second] = static_cast<float>(x[second] / s);
    return kTransformed;
}

// Weight of a control point at squared distance ratio q: smooth, 1 at the point, 0 from 1 on.
double spaceMapWeight(double q) {
    if (q > 1.0)
        return 0.0;
    const double r = 1.0 - q;
    return r * r * r / (1.0 + q);
}

// lvSpaceMapCubic(x, points, shifts, R): moves x by the weighted shifts of the control points
// within R of it. points must hold whole points and shifts one vector per point.
float spaceMapCubic(const float* args, CallContext& call) {
    ArrayArg points = arrayAt(args, 4, 1, call);
    ArrayArg shifts = arrayAt(args, 4, 2, call);
    float* x = coordinatesOf(args, 4, call);
    if (x == nullptr || points.data == nullptr || shifts.data == nullptr)
        return kTransformed;
    if (points.count % 3 != 0 || shifts.count < points.count)
        return kTransformed;
    const double r = argAt(args, 4, 3);
    const double radius2 = toFloat(r * r);
    const double x0 = x[0], x1 = x[1], x2 = x[2];
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < points.count; i += 3) {
        const double across = toFloat(sq(x2 - points[i + 2]) + sq(x1 - points[i + 1]));
        const double w = spaceMapWeight((sq(x0 - points[i]) + across) / radius2);
        for (int k = 0; k < 3; ++k)
            sum[k] = static_cast<float>(sum[k] + w * shifts[i + k]);
    }
    x[0] = static_cast<float>(x0 + sum[0]);
    x[1] = static_cast<float>(x1 + sum[1]);
    x[2] = static_cast<float>(x2 + sum[2]);
    return kTransformed;
}

// The blend term shared by both blends: a0 / (1 + (f1/a1)^2 + (f2/a2)^2).
double blendTerm(const float* args) {
    const double f1 = argAt(args, 5, 0);
    const double f2 = argAt(args, 5, 1);
    const double a0 = argAt(args, 5, 2);
    const double a1 = argAt(args, 5, 3);
    const double a2 = argAt(args, 5, 4);
    return a0 / (1.0 + sq(f1 / a1) + sq(f2 / a2));
}

// lvblenduni(f1, f2, a0, a1, a2): union with added (a0 > 0) or removed material.
float blendUnion(const float* args, CallContext&) {
    const double f1 = argAt(args, 5, 0);
    const double f2 = argAt(args, 5, 1);
    return static_cast<float>(f1 + f2 + std::sqrt(f1 * f1 + f2 * f2) + blendTerm(args));
}

// lvblendint(f1, f2, a0, a1, a2): intersection with added (a0 > 0) or removed material.
float blendIntersection(const float* args, CallContext&) {
    const double f1 = argAt(args, 5, 0);
    const double f2 = argAt(args, 5, 1);
    return static_cast<float>(f1 + f2 - std::sqrt(f1 * f1 + f2 * f2) + blendTerm(args));
}

using B = lang::Builtin;
constexpr RowEvaluate kRows[] = {
    {B::LvRotate3dZ, rotate<2>},
    {B::LvRotate3dY, rotate<1>},
    {B::LvRotate3dX, rotate<0>},
    {B::LvScale3d, scale},
    {B::LvShift3d, shift},
    {B::LvBlendUni, blendUnion},
    {B::LvBlendInt, blendIntersection},
    {B::LvTwistZ, twist<2>},
    {B::LvTwistY, twist<1>},
    {B::LvTwistX, twist<0>},
    {B::LvStretch3d, stretch},
    {B::LvTaperZ, taper<2>},
    {B::LvTaperY, taper<1>},
    {B::LvTaperX, taper<0>},
    {B::LvSpaceMapCubic, spaceMapCubic},
};

} // namespace

std::span<const RowEvaluate> operationRows() {
    return kRows;
}

} // namespace lv::prim
