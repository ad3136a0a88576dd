// Convolution surfaces: the field of a skeleton of points, segments, triangles and arcs is the
// integral of the kernel K_s(r) = 1 / (1 + s^2 r^2)^2 over each element, evaluated in closed
// form; the value is the summed field minus the threshold T.
#include <algorithm>
#include <cmath>

#include "lang/settings.h"
#include "primitives/conventions.h"
#include "primitives/convolution_geometry.h"
#include "primitives/families.h"

namespace lv::prim {

namespace {

using lang::CallContext;

constexpr const char* kZeroSegmentText = "ERROR:Tips of the segment take same coordinate!\n";

// The element count N (the count of the strength array S) and the evaluation point.
struct Skeleton {
    bool usable = false; // false: x does not have exactly 3 elements
    Vec3 p;
    ArrayArg strengths;
    int count() const { return strengths.count; }
};

Skeleton skeletonOf(const float* args, int n, int strengthArg, CallContext& call) {
    Skeleton k;
    k.strengths = arrayAt(args, n, strengthArg, call);
    const ArrayArg x = arrayAt(args, n, 0, call);
    if (x.data == nullptr || x.count != 3) return k;
    k.usable = true;
    k.p = pointAt(x.data, 0);
    return k;
}

// True when a holds at least need elements.
bool holds(const ArrayArg& a, long long need) {
    return a.data != nullptr && static_cast<long long>(a.count) >= need;
}

float lvconvpoint(const float* args, CallContext& call) {
    constexpr int n = 4;
    const Skeleton k = skeletonOf(args, n, 2, call);
    if (!k.usable) return OUTSIDE_VALUE;
    const double threshold = args[0];
    if (k.count() < 1) return static_cast<float>(0.0 - threshold);
    const ArrayArg vect = arrayAt(args, n, 1, call);
    if (!holds(vect, 3LL * k.count())) return OUTSIDE_VALUE;
    double sum = 0.0;
    for (int i = 0; i < k.count(); ++i) {
        const double s = k.strengths[i];
        const double e = 1.0 + s * s * norm2(k.p - pointAt(vect.data, i));
        sum += 1.0 / (e * e);
    }
    return static_cast<float>(sum - threshold);
}

// Sums the segments first(i)..last(i) for i < N; a zero-length segment stops the evaluation.
template <typename Ends>
float segmentSum(const Skeleton& k, double threshold, Ends ends, CallContext& call) {
    double sum = 0.0;
    for (int i = 0; i < k.count(); ++i) {
        const auto [q0, q1] = ends(i);
        double field = 0.0;
        if (!segmentField(k.p, q0, q1, k.strengths[i], field)) {
            call.failWithText(kZeroSegmentText);
            return OUTSIDE_VALUE;
        }
        sum += field;
    }
    return static_cast<float>(sum - threshold);
}

float lvconvline(const float* args, CallContext& call) {
    constexpr int n = 5;
    const Skeleton k = skeletonOf(args, n, 3, call);
    if (!k.usable) return OUTSIDE_VALUE;
    const double threshold = args[0];
    if (k.count() < 1) return static_cast<float>(0.0 - threshold);
    const ArrayArg begin = arrayAt(args, n, 1, call);
    const ArrayArg end = arrayAt(args, n, 2, call);
    if (!holds(begin, 3LL * k.count()) || !holds(end, 3LL * k.count())) return OUTSIDE_VALUE;
    auto ends = [&](int i) { return std::pair{pointAt(begin.data, i), pointAt(end.data, i)}; };
    return segmentSum(k, threshold, ends, call);
}

// A polyline: N segments through N + 1 points.
float lvconvcurve(const float* args, CallContext& call) {
    constexpr int n = 4;
    const Skeleton k = skeletonOf(args, n, 2, call);
    if (!k.usable) return OUTSIDE_VALUE;
    const double threshold = args[0];
    if (k.count() < 1) return static_cast<float>(0.0 - threshold);
    const ArrayArg vect = arrayAt(args, n, 1, call);
    if (!holds(vect, 3LL * (k.count() + 1LL))) return OUTSIDE_VALUE;
    auto ends = [&](int i) { return std::pair{pointAt(vect.data, i), pointAt(vect.data, i + 1)}; };
    return segmentSum(k, threshold, ends, call);
}

float lvconvtriangle(const float* args, CallContext& call) {
    constexpr int n = 4;
    const Skeleton k = skeletonOf(args, n, 2, call);
    if (!k.usable) return OUTSIDE_VALUE;
    const float threshold = args[0];
    if (k.count() < 1) return 0.0f - threshold;
    const ArrayArg vect = arrayAt(args, n, 1, call);
    if (!holds(vect, 9LL * k.count())) return OUTSIDE_VALUE;
    float sum = 0.0f;
    for (int i = 0; i < k.count(); ++i) {
        const float* t = vect.data + 9 * i;
        sum += static_cast<float>(
            triangleField(k.p, pointAt(t, 0), pointAt(t, 1), pointAt(t, 2), k.strengths[i]));
    }
    return sum - threshold;
}

// Vertex number v of a mesh (1-based, truncated toward zero) as an element offset into an
// array of count floats, or -1 when it names no whole vertex there.
long long meshVertexOffset(float v, int count) {
    if (!(v >= 1.0f && v < 2147483648.0f)) return -1;
    const long long offset = 3LL * (static_cast<long long>(v) - 1);
    return offset + 3 <= count ? offset : -1;
}

float lvconvmesh(const float* args, CallContext& call) {
    constexpr int n = 5;
    const Skeleton k = skeletonOf(args, n, 3, call);
    if (!k.usable) return OUTSIDE_VALUE;
    const float threshold = args[0];
    if (k.count() < 1) return 0.0f - threshold;
    const ArrayArg vect = arrayAt(args, n, 1, call);
    const ArrayArg tri = arrayAt(args, n, 2, call);
    if (vect.data == nullptr || !holds(tri, 3LL * k.count())) return OUTSIDE_VALUE;
    float sum = 0.0f;
    for (int i = 0; i < k.count(); ++i) {
        Vec3 v[3];
        for (int j = 0; j < 3; ++j) {
            const long long at = meshVertexOffset(tri[3 * i + j], vect.count);
            if (at < 0) return OUTSIDE_VALUE;
            v[j] = pointAt(vect.data + at, 0);
        }
        sum += static_cast<float>(triangleField(k.p, v[0], v[1], v[2], k.strengths[i]));
    }
    return sum - threshold;
}

// Degrees to radians, as the single-precision factor and as the factor of an arc's second half.
constexpr double kDegree = static_cast<double>(0.017453289f);
constexpr double kDegreeFine = 0.01745328888888889;
constexpr double kHalfTurn = -3.141592; // the second half starts where the first one ends

// The point p relative to centre c in the arc's local frame: rotation by -(theta + EPS) degrees
// about the axis (each component shifted by EPS so that a zero axis still has a direction).
Vec3 arcLocalPoint(Vec3 p, Vec3 c, Vec3 axis, double theta) {
    const double e = lang::eps();
    Vec3 u{axis.x + e, axis.y + e, axis.z + e};
    double len = std::sqrt(norm2(u));
    if (len < e) len = e;
    u = u * (1.0 / len);
    const double phi = -(theta + e) * kDegree;
    const double co = static_cast<float>(std::cos(phi));
    const double sn = std::sin(phi);
    const double c1 = static_cast<float>(1.0 - co);
    const Vec3 d = p - c;
    return {(u.x * u.x * c1 + co) * d.x + (u.x * u.y * c1 - u.z * sn) * d.y +
                (u.x * u.z * c1 + u.y * sn) * d.z,
            (u.x * u.y * c1 + u.z * sn) * d.x + (u.y * u.y * c1 + co) * d.y +
                (u.y * u.z * c1 - u.x * sn) * d.z,
            (u.x * u.z * c1 - u.y * sn) * d.x + (u.y * u.z * c1 + u.x * sn) * d.y +
                (u.z * u.z * c1 + co) * d.z};
}

// An arc opening by degrees: one piece up to 180 degrees, else a half circle and the rest
// evaluated at the local point turned back by half a turn about the local Z axis.
double arcField(Vec3 b, double radius, double degrees, double s) {
    degrees = std::min(degrees, 360.0);
    if (!(degrees > 180.0)) return arcPieceField(b, radius, degrees * kDegree, s);
    const Vec3 turned{std::cos(kHalfTurn) * b.x - std::sin(kHalfTurn) * b.y,
                      std::sin(kHalfTurn) * b.x + std::cos(kHalfTurn) * b.y, b.z};
    return arcPieceField(b, radius, 180.0 * kDegree, s) +
           arcPieceField(turned, radius, (degrees - 180.0) * kDegreeFine, s);
}

float lvconvarc(const float* args, CallContext& call) {
    constexpr int n = 8;
    const Skeleton k = skeletonOf(args, n, 6, call);
    if (!k.usable) return OUTSIDE_VALUE;
    const double threshold = args[0];
    const int count = k.count();
    if (count < 1) return static_cast<float>(0.0 - threshold);
    const ArrayArg center = arrayAt(args, n, 1, call);
    const ArrayArg radius = arrayAt(args, n, 2, call);
    const ArrayArg angle = arrayAt(args, n, 3, call);
    const ArrayArg axis = arrayAt(args, n, 4, call);
    const ArrayArg theta = arrayAt(args, n, 5, call);
    if (!holds(center, 3LL * count) || !holds(axis, 3LL * count) || !holds(radius, count) ||
        !holds(angle, count) || !holds(theta, count))
        return OUTSIDE_VALUE;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        const Vec3 b = arcLocalPoint(k.p, pointAt(center.data, i), pointAt(axis.data, i), theta[i]);
        sum += arcField(b, radius[i], angle[i], k.strengths[i]);
    }
    return static_cast<float>(sum - threshold);
}

using B = lang::Builtin;
constexpr RowEvaluate kRows[] = {
    {B::LvConvPoint, lvconvpoint},
    {B::LvConvTriangle, lvconvtriangle},
    {B::LvConvCurve, lvconvcurve},
    {B::LvConvLine, lvconvline},
    {B::LvConvMesh, lvconvmesh},
    {B::LvConvArc, lvconvarc},
};

} // namespace

std::span<const RowEvaluate> convolutionRows() { return kRows; }

} // namespace lv::prim
