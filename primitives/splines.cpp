// Spline volumes: a trivariate tensor-product spline of scalar control values over an
// axis-aligned box, intersected with the box so that the solid never leaves it. Everything a
// call derives from its counts (Bernstein values, knots, basis values) lives on the stack of
// that call, so calls with different counts, on any threads, never disturb each other.
#include <algorithm>
#include <array>
#include <cmath>

#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

namespace {

using lang::CallContext;

constexpr int kMaxBezierCount = 21; // degree 20, the size of the binomial table
constexpr int kMinBSplineCount = 4;
constexpr int kMaxBSplineCount = 255;
constexpr double kKnotTolerance = 0.00001; // knot differences at most this count as zero
constexpr double kBSplineBias = -0.00001;

using BinomialTable = std::array<std::array<double, kMaxBezierCount>, kMaxBezierCount>;

constexpr BinomialTable makeBinomials() {
    BinomialTable c{};
    for (int n = 0; n < kMaxBezierCount; ++n) {
        c[n][0] = 1.0;
        for (int k = 1; k <= n; ++k) c[n][k] = c[n - 1][k - 1] + (k < n ? c[n - 1][k] : 0.0);
    }
    return c;
}

constexpr BinomialTable kBinomial = makeBinomials();

// R-function intersection of the solids a >= 0 and b >= 0.
double intersect(double a, double b) { return a + b - std::sqrt(a * a + b * b); }

// One call's point, counts, box and control values, with every array checked to hold what
// the evaluation reads.
struct Volume {
    double p[3] = {};
    int l = 0, m = 0, n = 0;
    const float* box = nullptr;
    const float* ctrl = nullptr;

    double normalized(int axis) const {
        return (p[axis] - box[axis]) / (static_cast<double>(box[axis + 3]) - box[axis]);
    }
    // The spline value s intersected with the three slabs of the box.
    double clipped(double s) const {
        const double sx = (box[3] - p[0]) * (p[0] - box[0]);
        const double sy = (p[1] - box[1]) * (box[4] - p[1]);
        const double sz = (p[2] - box[2]) * (box[5] - p[2]);
        return intersect(intersect(intersect(sx, sy), sz), s);
    }
};

// A count argument truncated toward zero, or -1 when that is outside lo..hi.
int countArg(float value, int lo, int hi) {
    if (!(value >= static_cast<float>(lo) && value < static_cast<float>(hi + 1))) return -1;
    return static_cast<int>(value);
}

// Reads (x, l, m, n, bbox, ctrl); false when the call is unusable: x without exactly 3
// elements, a count outside lo..hi, a box of fewer than 6 values or too few control values.
bool readVolume(const float* args, int lo, int hi, CallContext& call, Volume& v) {
    constexpr int argc = 6;
    const ArrayArg box = arrayAt(args, argc, 4, call);
    const ArrayArg ctrl = arrayAt(args, argc, 5, call);
    const ArrayArg x = arrayAt(args, argc, 0, call);
    if (x.data == nullptr || x.count != 3) return false;
    v.l = countArg(argAt(args, argc, 1), lo, hi);
    v.m = countArg(argAt(args, argc, 2), lo, hi);
    v.n = countArg(argAt(args, argc, 3), lo, hi);
    if (v.l < 0 || v.m < 0 || v.n < 0 || box.data == nullptr || box.count < 6) return false;
    if (ctrl.data == nullptr || ctrl.count < static_cast<long long>(v.l) * v.m * v.n) return false;
    v.p[0] = x[0], v.p[1] = x[1], v.p[2] = x[2];
    v.box = box.data;
    v.ctrl = ctrl.data;
    return true;
}

// Bernstein values of degree count - 1 at t.
std::array<double, kMaxBezierCount> bernstein(int count, double t) {
    std::array<double, kMaxBezierCount> b{};
    const int degree = count - 1;
    for (int i = 0; i < count; ++i)
        b[i] = kBinomial[degree][i] * std::pow(1.0 - t, degree - i) * std::pow(t, i);
    return b;
}

// lvBezierSplineF(x, l, m, n, bbox, ctrl): l values along X, n along Y, m along Z; control
// value (ix, iy, iz) at (ix * m + iz) * n + iy.
float lvBezierSplineF(const float* args, CallContext& call) {
    Volume v;
    if (!readVolume(args, 1, kMaxBezierCount, call, v)) return OUTSIDE_VALUE;
    const auto bx = bernstein(v.l, v.normalized(0));
    const auto by = bernstein(v.n, static_cast<float>(v.normalized(1)));
    const auto bz = bernstein(v.m, static_cast<float>(v.normalized(2)));
    double s = 0.0;
    for (int i = 0; i < v.l; ++i)
        for (int j = 0; j < v.m; ++j)
            for (int k = 0; k < v.n; ++k)
                s += by[k] * v.ctrl[(i * v.m + j) * v.n + k] * bx[i] * bz[j];
    return static_cast<float>(v.clipped(s));
}

// Knot k of the clamped uniform knot vector of count q: four zeros, k - 3 inside, and q - 3
// repeated five times at the end (parameter range 0 .. q - 3).
double knot(int q, int k) { return std::clamp(k - 3, 0, q - 3); }

// Cubic basis function k of count q at u (Cox-de Boor). A term whose knot difference is at
// most kKnotTolerance contributes nothing.
double cubicBasis(int q, int k, double u) {
    double N[4];
    for (int j = 0; j < 4; ++j) N[j] = knot(q, k + j) <= u && u < knot(q, k + j + 1) ? 1.0 : 0.0;
    for (int degree = 1; degree <= 3; ++degree) {
        for (int j = 0; j + degree <= 3; ++j) {
            const int i = k + j;
            double value = 0.0;
            const double left = knot(q, i + degree) - knot(q, i);
            if (left > kKnotTolerance) value += (u - knot(q, i)) / left * N[j];
            const double right = knot(q, i + degree + 1) - knot(q, i + 1);
            if (right > kKnotTolerance) value += (knot(q, i + degree + 1) - u) / right * N[j + 1];
            N[j] = value;
        }
    }
    return N[0];
}

// The four control indices first .. first + 3 of one axis and their basis values. Indices
// past q - 1 (the span q at the upper face and beyond it) weigh nothing and are never read.
struct AxisBasis {
    int first = 0;
    double weight[4] = {};
};

AxisBasis axisBasis(int q, float t) {
    int span = q; // beyond the upper face, and for an undefined coordinate
    double u = t;
    if (t >= 0.0f && t <= 1.0f) {
        u = static_cast<float>(static_cast<double>(t) * (q - 3));
        span = static_cast<int>(std::floor(u)) + 3;
    } else if (t < 0.0f) {
        span = 3;
    }
    AxisBasis a;
    a.first = span - 3;
    for (int j = 0; j < 4; ++j) a.weight[j] = a.first + j < q ? cubicBasis(q, a.first + j, u) : 0.0;
    return a;
}

// lvCubicBSplineF(x, l, m, n, bbox, ctrl): l values along X, m along Y, n along Z; control
// value (ix, iy, iz) at (iz * l + ix) * m + iy.
float lvCubicBSplineF(const float* args, CallContext& call) {
    Volume v;
    if (!readVolume(args, kMinBSplineCount, kMaxBSplineCount, call, v)) return OUTSIDE_VALUE;
    const AxisBasis ax = axisBasis(v.l, static_cast<float>(v.normalized(0)));
    const AxisBasis ay = axisBasis(v.m, static_cast<float>(v.normalized(1)));
    const AxisBasis az = axisBasis(v.n, static_cast<float>(v.normalized(2)));
    double sum = 0.0;
    for (int c = 0; c < 4; ++c) {
        const int iz = az.first + c;
        for (int a = 0; a < 4; ++a) {
            const int ix = ax.first + a;
            for (int b = 0; b < 4; ++b) {
                const int iy = ay.first + b;
                if (iz >= v.n || ix >= v.l || iy >= v.m) continue;
                const long long at = (static_cast<long long>(iz) * v.l + ix) * v.m + iy;
                sum += az.weight[c] * ax.weight[a] * ay.weight[b] * v.ctrl[at];
            }
        }
    }
    return static_cast<float>(v.clipped(kBSplineBias + sum));
}

using B = lang::Builtin;
constexpr RowEvaluate kRows[] = {
    {B::LvBezierSplineF, lvBezierSplineF},
    {B::LvCubicBSplineF, lvCubicBSplineF},
};

} // namespace

std::span<const RowEvaluate> splineRows() { return kRows; }

} // namespace lv::prim
