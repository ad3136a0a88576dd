#include "lang/interval_primitives.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <string>

#include "lang/builtins.h"
#include "lang/interval_triangle_field.h"

namespace lv::lang {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// A range of reals, computed in double. The rules compute the exact range of each formula at
// the ends of their argument ranges; widen() then adds an allowance for the double rounding of
// both the rule and the primitive (a few dozen roundings of 2^-53, each relative to a term no
// larger than the size passed), and make() rounds outward past the nearest float, which covers
// the primitive's final conversion to float.
struct Range {
    double lo = 0.0, hi = 0.0;
};

constexpr double kRel = 0x1p-40;
constexpr double kTiny = 0x1p-1000;

float down(double v) { return std::nextafter(static_cast<float>(v), -kInf); }
float up(double v) { return std::nextafter(static_cast<float>(v), kInf); }

bool finite(Interval v) { return std::isfinite(v.lo) && std::isfinite(v.hi); }
bool isPoint(Interval v) { return v.lo == v.hi; }
double mag(Range r) { return std::max(std::fabs(r.lo), std::fabs(r.hi)); }
Range of(Interval v) { return {v.lo, v.hi}; }

Range widen(Range r, double size, double rel = kRel) {
    const double slack = size * rel + kTiny;
    return {r.lo - slack, r.hi + slack};
}

bool make(Range r, Interval& out) {
    if (!(r.lo <= r.hi)) return false;
    out = {down(r.lo), up(r.hi)};
    return finite(out);
}

// Range of v^2 for v in r.
Range square(Range r) {
    const double a = r.lo * r.lo, b = r.hi * r.hi;
    return {r.lo <= 0.0 && r.hi >= 0.0 ? 0.0 : std::min(a, b), std::max(a, b)};
}

Range sum(Range a, Range b) { return {a.lo + b.lo, a.hi + b.hi}; }
Range difference(Range a, Range b) { return {a.lo - b.hi, a.hi - b.lo}; }
Range difference(Interval x, Interval c) { return difference(of(x), of(c)); }

Range product(Range a, Range b) {
    const double p[4] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
    return {*std::min_element(p, p + 4), *std::max_element(p, p + 4)};
}

// a / b; false when b may be zero.
bool quotient(Range a, Range b, Range& out) {
    if (!(b.lo > 0.0 || b.hi < 0.0)) return false;
    const double p[4] = {a.lo / b.lo, a.lo / b.hi, a.hi / b.lo, a.hi / b.hi};
    out = {*std::min_element(p, p + 4), *std::max_element(p, p + 4)};
    return std::isfinite(out.lo) && std::isfinite(out.hi);
}

// |v| >= eps for every v in the range: what the primitives' size checks ask of a float.
bool atLeastEps(Interval v, float eps) { return v.lo >= eps || v.hi <= -eps; }

// Range of u * (d - u) for u in [a, b]: a downward parabola with its top at d / 2.
Range slab(double a, double b, double d) {
    const double fa = a * (d - a), fb = b * (d - b);
    const double top = std::clamp(d / 2.0, a, b);
    return {std::min(fa, fb), std::max({fa, fb, top * (d - top)})};
}

// Interval arithmetic that follows a primitive step by step: every operation's exact range
// widened by 2^-50 of its magnitude, which holds both this rule's rounding and the
// primitive's (2^-53 each, relative to the result).
Range outward(Range r) { return widen(r, mag(r), 0x1p-50); }
Range add(Range a, Range b) { return outward(sum(a, b)); }
Range sub(Range a, Range b) { return outward(difference(a, b)); }
Range mul(Range a, Range b) { return outward(product(a, b)); }
Range point(double v) { return {v, v}; }
Range toFloat(Range a) { return {down(a.lo), up(a.hi)}; }
bool div(Range a, Range b, Range& out) {
    if (!quotient(a, b, out)) return false;
    out = outward(out);
    return true;
}
Range atanOf(Range a) { return outward({std::atan(a.lo), std::atan(a.hi)}); }
Range sqrtOf(Range a) { return outward({std::sqrt(std::max(0.0, a.lo)), std::sqrt(a.hi)}); }

// A whole count argument that must be the same throughout: false for a range.
bool pointValue(Interval v, double& value) {
    if (!isPoint(v)) return false;
    value = v.lo;
    return true;
}

enum class Family {
    None,
    Cone,
    EllipticCylinder,
    EllipticCone,
    Ellipsoid,
    Torus,
    Superellipsoid,
    Noise,
    Rotate,
    Shift,
    Scale,
    Stretch,
    Twist,
    Taper,
    SpaceMap,
    BlendUnion,
    BlendIntersection,
    Soft,
    Blobby,
    Metaball,
    FieldMapBlob,
    Bezier,
    BSpline,
    ConvolutionPoint,
    ConvolutionLine,
    ConvolutionCurve,
    ConvolutionArc,
    ConvolutionTriangle,
    ConvolutionMesh,
};

struct RowRule {
    Family family = Family::None;
    int axis = 0; // the axis along which a per-axis primitive or transform works
};

using RuleTable = std::array<RowRule, kBuiltinCount>;

RuleTable makeRules() {
    using B = Builtin;
    RuleTable t{};
    auto set = [&t](B row, Family f, int axis = 0) {
        t[static_cast<std::size_t>(rowOf(row))] = {f, axis};
    };
    struct PerAxis {
        Family family;
        B rows[3]; // along x, y and z
    };
    const PerAxis perAxis[] = {
        {Family::Cone, {B::LvConeX, B::LvConeY, B::LvConeZ}},
        {Family::EllipticCylinder, {B::LvEllCylX, B::LvEllCylY, B::LvEllCylZ}},
        {Family::EllipticCone, {B::LvEllConeX, B::LvEllConeY, B::LvEllConeZ}},
        {Family::Torus, {B::LvTorusX, B::LvTorusY, B::LvTorusZ}},
        {Family::Rotate, {B::LvRotate3dX, B::LvRotate3dY, B::LvRotate3dZ}},
        {Family::Twist, {B::LvTwistX, B::LvTwistY, B::LvTwistZ}},
        {Family::Taper, {B::LvTaperX, B::LvTaperY, B::LvTaperZ}},
    };
    for (const PerAxis& p : perAxis)
        for (int a = 0; a < 3; ++a) set(p.rows[a], p.family, a);
    set(B::LvEllipsoid, Family::Ellipsoid);
    set(B::LvSuperEll, Family::Superellipsoid);
    set(B::LvNoiseG, Family::Noise);
    set(B::LvSpaceMapCubic, Family::SpaceMap);
    set(B::LvShift3d, Family::Shift);
    set(B::LvScale3d, Family::Scale);
    set(B::LvStretch3d, Family::Stretch);
    set(B::LvBlendUni, Family::BlendUnion);
    set(B::LvBlendInt, Family::BlendIntersection);
    set(B::LvSoft, Family::Soft);
    set(B::LvBlobby, Family::Blobby);
    set(B::LvMetaball, Family::Metaball);
    set(B::LvFmapBlob, Family::FieldMapBlob);
    set(B::LvBezierSplineF, Family::Bezier);
    set(B::LvCubicBSplineF, Family::BSpline);
    set(B::LvConvPoint, Family::ConvolutionPoint);
    set(B::LvConvLine, Family::ConvolutionLine);
    set(B::LvConvCurve, Family::ConvolutionCurve);
    set(B::LvConvArc, Family::ConvolutionArc);
    set(B::LvConvTriangle, Family::ConvolutionTriangle);
    set(B::LvConvMesh, Family::ConvolutionMesh);
    return t;
}

const RowRule& ruleFor(int row) {
    static const RuleTable rules = makeRules();
    static const RowRule none{};
    return row >= 0 && row < kBuiltinCount ? rules[static_cast<std::size_t>(row)] : none;
}

std::atomic<bool> gConvolutionBounds{false};

// ---------------------------------------------------------------------------------------------
// Quadrics: sums of squared offsets from the centre, each divided by its size. The primitive
// forms the offsets, quotients and squares in double from the float arguments and rounds once.

// The point (exactly 3 elements) and the centre (argument 1, at least 3 elements).
bool pointAndCentre(const PrimitiveCall& call, const Interval*& x, const Interval*& centre) {
    int nx = 0, nc = 0;
    x = call.array(0, nx);
    centre = call.array(1, nc);
    return x != nullptr && centre != nullptr && nx == 3 && nc >= 3;
}

// Range of ((x - c) / a)^2; false when a may be zero.
bool scaledSquare(Interval x, Interval c, Interval a, Range& out) {
    Range q;
    if (!quotient(difference(x, c), of(a), q)) return false;
    out = square(q);
    return true;
}

int across1(int axis) { return axis == 0 ? 1 : 0; }
int across2(int axis) { return axis == 2 ? 1 : 2; }

// k - t1 - t2 (- t3): the shape of every quadric here.
bool quadricValue(Range k, const Range* terms, int count, Interval& out) {
    Range v = k;
    double size = mag(k);
    for (int i = 0; i < count; ++i) {
        v = difference(v, terms[i]);
        size += mag(terms[i]);
    }
    return make(widen(v, size), out);
}

bool boundQuadric(const PrimitiveCall& call, const RowRule& rule, Interval& out) {
    const Interval* x = nullptr;
    const Interval* c = nullptr;
    if (!pointAndCentre(call, x, c)) return false;
    const int a = rule.axis, b1 = across1(a), b2 = across2(a);
    const Interval one{1.0f, 1.0f};
    Range t[3];
    switch (rule.family) {
    case Family::Cone: // (x_a)^2 - (x_b1 / r)^2 - (x_b2 / r)^2
    case Family::EllipticCone: {
        if (call.argc != (rule.family == Family::Cone ? 3 : 4)) return false;
        const Interval s1 = call.arg(2), s2 = rule.family == Family::Cone ? s1 : call.arg(3);
        Range along;
        if (!scaledSquare(x[a], c[a], one, along) || !scaledSquare(x[b1], c[b1], s1, t[0]) ||
            !scaledSquare(x[b2], c[b2], s2, t[1]))
            return false;
        return quadricValue(along, t, 2, out);
    }
    case Family::EllipticCylinder: { // 1 - (x_b1 / a)^2 - (x_b2 / b)^2, sizes checked
        if (call.argc != 4) return false;
        const Interval s1 = call.arg(2), s2 = call.arg(3);
        if (!atLeastEps(s1, call.eps) || !atLeastEps(s2, call.eps)) return false;
        if (!scaledSquare(x[b1], c[b1], s1, t[0]) || !scaledSquare(x[b2], c[b2], s2, t[1]))
            return false;
        return quadricValue({1.0, 1.0}, t, 2, out);
    }
    case Family::Ellipsoid: {
        if (call.argc != 5) return false;
        for (int i = 0; i < 3; ++i) {
            const Interval s = call.arg(2 + i);
            if (!atLeastEps(s, call.eps) || !scaledSquare(x[i], c[i], s, t[i])) return false;
        }
        return quadricValue({1.0, 1.0}, t, 3, out);
    }
    case Family::Torus: {
        // tube^2 - |p|^2 - big^2 + 2 big ring, ring = |p| across the axis, is the same real
        // number as tube^2 - p_a^2 - (ring - big)^2, which has no cancelling terms to bound.
        if (call.argc != 4) return false;
        const Range big = of(call.arg(2));
        const Range tube = square(of(call.arg(3)));
        const Range along = square(difference(x[a], c[a]));
        const Range ring2 = sum(square(difference(x[b1], c[b1])), square(difference(x[b2], c[b2])));
        const Range ring{std::sqrt(ring2.lo), std::sqrt(ring2.hi)};
        t[0] = along;
        t[1] = square(difference(ring, big));
        Range v = difference(difference(tube, t[0]), t[1]);
        const double size = tube.hi + along.hi + ring2.hi + mag(square(big)) +
                            2.0 * mag(big) * ring.hi;
        return make(widen(v, size), out);
    }
    default: return false;
    }
}

// lvsuperell(x, center, a, b, c, s1, s2): 1 - q - z with q = (|x/a|^e + |y/b|^e)^(s2/s1),
// z = |z/c|^f, e = 2/s2, f = 2/s1, each power stored as a float. For positive exponents every
// power rises with its base, so the ranges come from the ends. Sizes and exponents must be
// fixed; exponents not positive are left unknown.
Range powerRange(Range base, double exponent) {
    base = {std::max(0.0, base.lo * (1.0 - 0x1p-50)), base.hi * (1.0 + 0x1p-50)};
    const Range p{std::pow(base.lo, exponent) * (1.0 - 0x1p-50),
                  std::pow(base.hi, exponent) * (1.0 + 0x1p-50)};
    return {down(p.lo), up(p.hi)}; // stored as a float
}

Range absoluteRatio(Interval x, Interval c, double size) {
    const Range d = difference(x, c);
    const double lo = d.lo <= 0.0 && d.hi >= 0.0 ? 0.0 : std::min(std::fabs(d.lo), std::fabs(d.hi));
    const double hi = std::max(std::fabs(d.lo), std::fabs(d.hi));
    return {lo / std::fabs(size), hi / std::fabs(size)};
}

bool boundSuperellipsoid(const PrimitiveCall& call, Interval& out) {
    const Interval* x = nullptr;
    const Interval* c = nullptr;
    if (call.argc != 7 || !pointAndCentre(call, x, c)) return false;
    double v[5];
    for (int i = 0; i < 5; ++i)
        if (!pointValue(call.arg(2 + i), v[i]) || !(std::fabs(v[i]) >= call.eps)) return false;
    const double s1 = v[3], s2 = v[4];
    const double e = static_cast<float>(2.0 / s2), f = static_cast<float>(2.0 / s1);
    const double ratio = s2 / s1;
    if (!(e > 0.0 && f > 0.0 && ratio > 0.0)) return false;
    const Range px = powerRange(absoluteRatio(x[0], c[0], v[0]), e);
    const Range py = powerRange(absoluteRatio(x[1], c[1], v[1]), e);
    const Range q = powerRange(outward(sum(px, py)), ratio);
    const Range z = powerRange(absoluteRatio(x[2], c[2], v[2]), f);
    const Range value = difference(difference({1.0, 1.0}, q), z);
    return make(widen(value, 1.0 + mag(q) + mag(z)), out);
}

// lvnoiseg(x, amp, freq, phase): the product of three terms, each amp * 0.8547... (stored as a
// float) times a sine plus amp times a sine stored as a float, so each at most 1.8548 |amp| in
// size whatever the point: the product lies within the cube of that.
bool boundNoise(const PrimitiveCall& call, Interval& out) {
    int nx = 0;
    const Interval* x = call.array(0, nx);
    if (call.argc != 4 || x == nullptr || nx != 3) return false;
    const double term = 1.8548 * mag(of(call.arg(1)));
    const double m = term * term * term;
    return make({-m, m}, out);
}

// ---------------------------------------------------------------------------------------------
// Transforms: they rewrite x[0..2] (elements past the third stay) and return 1. A transform
// reads every old value before it writes, so an argument that is x itself is read unchanged;
// the rules copy their inputs first for the same reason. A transform whose x has fewer than 3
// elements, or whose centre array is too short, leaves x alone.

constexpr Interval kTransformed{1.0f, 1.0f};

// The new coordinate range of a sum of products (u c + v s), widened for its roundings.
bool linear(Range u, Range c, Range v, Range s, Interval& out) {
    const Range a = product(u, c), b = product(v, s);
    return make(widen(sum(a, b), mag(a) + mag(b)), out);
}

// The ranges of cos(theta) (rounded to float when roundCos) and sin(theta) for theta in the
// range. A range from the interval rules of cos and sin holds the float roundings too.
bool cosSin(Range theta, bool roundCos, Range& c, Range& s) {
    if (theta.lo == theta.hi) { // the transform's own computation
        c.lo = c.hi = roundCos ? static_cast<float>(std::cos(theta.lo)) : std::cos(theta.lo);
        s.lo = s.hi = std::sin(theta.lo);
        return true;
    }
    const Interval t{down(theta.lo), up(theta.hi)};
    Interval ci, si;
    if (!finite(t) || !intervalMath(rowOf(Builtin::Cos), &t, 0.0f, ci) ||
        !intervalMath(rowOf(Builtin::Sin), &t, 0.0f, si))
        return false;
    c = of(ci);
    s = of(si);
    return true;
}

// Turns the coordinates across axis: first' = u c + v s, second' = v c - u s.
bool rotateAcross(Interval* x, int axis, Range c, Range s) {
    const int first = (axis + 1) % 3, second = (axis + 2) % 3;
    const Range u = of(x[first]), v = of(x[second]);
    Interval nu, nv;
    if (!linear(u, c, v, s, nu) || !linear(v, c, u, {-s.hi, -s.lo}, nv)) return false;
    x[first] = nu;
    x[second] = nv;
    return true;
}

// The taper factor of v, as the transform computes it, for from < to.
double taperFactor(double v, double from, double to, double s1, double s2) {
    const double t = (v - from) / (to - from);
    return (1.0 - t) * s1 + t * s2;
}

bool boundTransform(const PrimitiveCall& call, const RowRule& rule, Interval& out) {
    const int expected = rule.family == Family::Rotate ? 2
                         : rule.family == Family::Shift || rule.family == Family::Scale ? 4
                                                                                         : 5;
    if (call.argc != expected) return false;
    // The checks come first: scales near zero and non-positive taper scales fail the call.
    if (rule.family == Family::Scale || rule.family == Family::Stretch) {
        for (int i = 0; i < 3; ++i)
            if (!atLeastEps(call.args[i], call.eps)) return false;
    }
    if (rule.family == Family::Taper && !(call.args[1].lo > 0.0f && call.args[0].lo > 0.0f))
        return false;
    int count = 0;
    Interval* x = call.array(0, count);
    if (x == nullptr) return false;
    out = kTransformed;
    if (count < 3) return true;
    Interval moved[3] = {x[0], x[1], x[2]};
    switch (rule.family) {
    case Family::Rotate: {
        Range c, s;
        const Range theta = of(call.arg(1));
        if (!cosSin(theta, false, c, s)) return false;
        if (!rotateAcross(moved, rule.axis, c, s)) return false;
        break;
    }
    case Family::Shift:
        for (int i = 0; i < 3; ++i) {
            const Range d = difference(x[i], call.arg(i + 1));
            if (!make(widen(d, mag(d)), moved[i])) return false;
        }
        break;
    case Family::Scale:
        for (int i = 0; i < 3; ++i) {
            Range q;
            if (!quotient(of(x[i]), of(call.arg(i + 1)), q) || !make(widen(q, mag(q)), moved[i]))
                return false;
        }
        break;
    case Family::Stretch: { // centre + (x - centre) / s
        int nc = 0;
        const Interval* centreArray = call.array(1, nc);
        if (centreArray == nullptr) return false;
        if (nc < 3) return true;
        const Interval centre[3] = {centreArray[0], centreArray[1], centreArray[2]};
        for (int i = 0; i < 3; ++i) {
            Range q;
            if (!quotient(difference(x[i], centre[i]), of(call.arg(i + 2)), q)) return false;
            const Range v = sum(of(centre[i]), q);
            if (!make(widen(v, mag(of(centre[i])) + mag(q)), moved[i])) return false;
        }
        break;
    }
    case Family::Twist: { // turns by theta1 + t (theta2 - theta1), t = (x_a - from) / (to - from)
        double from, to, theta1, theta2;
        if (!pointValue(call.arg(1), from) || !pointValue(call.arg(2), to) ||
            !pointValue(call.arg(3), theta1) || !pointValue(call.arg(4), theta2) || to == from)
            return false;
        auto angle = [&](double v) {
            const double t = (v - from) / (to - from);
            return (1.0 - t) * theta1 + t * theta2;
        };
        const Interval along = x[rule.axis];
        Range theta{angle(along.lo), angle(along.hi)};
        if (theta.lo > theta.hi) std::swap(theta.lo, theta.hi);
        if (!isPoint(along)) {
            const double t = std::max(std::fabs((along.lo - from) / (to - from)),
                                      std::fabs((along.hi - from) / (to - from)));
            theta = widen(theta, (1.0 + t) * (std::fabs(theta1) + std::fabs(theta2)));
        }
        Range c, s;
        if (!cosSin(theta, true, c, s)) return false; // the twist stores cos as a float
        if (!rotateAcross(moved, rule.axis, c, s)) return false;
        break;
    }
    case Family::Taper: { // the coordinates across the axis divided by the taper factor
        double from, to, s1, s2;
        if (!pointValue(call.arg(1), from) || !pointValue(call.arg(2), to) ||
            !pointValue(call.arg(3), s1) || !pointValue(call.arg(4), s2))
            return false;
        const double lo = x[rule.axis].lo, hi = x[rule.axis].hi;
        Range f{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
        auto include = [&f](double v) {
            f.lo = std::min(f.lo, v);
            f.hi = std::max(f.hi, v);
        };
        if (lo < from) include(s1); // below from
        if (to > from) {
            if (hi > to) include(s2);
            if (hi >= from && lo <= to) { // the linear part, monotone between its ends
                include(taperFactor(std::max(lo, from), from, to, s1, s2));
                include(taperFactor(std::min(hi, to), from, to, s1, s2));
                f = widen(f, std::fabs(s1) + std::fabs(s2));
            }
        } else if (hi >= from) {
            include(s2); // a step at from
        }
        if (!(f.lo >= call.eps)) return false; // a factor below EPS would be replaced by 1
        for (int k : {(rule.axis + 1) % 3, (rule.axis + 2) % 3}) {
            Range q;
            if (!quotient(of(x[k]), f, q) || !make(widen(q, mag(q)), moved[k])) return false;
        }
        break;
    }
    default: return false;
    }
    for (int i = 0; i < 3; ++i) x[i] = moved[i];
    return true;
}

// lvSpaceMapCubic(x, points, shifts, R): x moves by the sum over control points within R of
// weight times shift, each weight (1 - q)^3 / (1 + q) of q = distance^2 / R^2 between 0 and 1
// and exactly 0 for q > 1. The sum is kept in floats: n additions of terms no larger than
// the sum of the |shifts| stray by at most n 2^-24 of that. Control points farther from the
// box than R (with a margin for the rounding of q) weigh nothing. Points and R must be fixed.
bool boundSpaceMap(const PrimitiveCall& call, Interval& out) {
    if (call.argc != 4) return false;
    int nx = 0, np = 0, ns = 0;
    Interval* x = call.array(0, nx);
    const Interval* points = call.array(1, np);
    const Interval* shifts = call.array(2, ns);
    if (x == nullptr || points == nullptr || shifts == nullptr) return false;
    out = kTransformed;
    if (nx < 3 || np % 3 != 0 || ns < np) return true; // x is left alone
    double r;
    if (!pointValue(call.arg(3), r)) return false;
    const double radius2 = static_cast<float>(r * r);
    if (!(radius2 > 0.0)) return false;
    Range moved[3] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
    double size = 0.0;
    for (int i = 0; i < np; i += 3) {
        Range d2{0.0, 0.0};
        for (int k = 0; k < 3; ++k) {
            double c;
            if (!pointValue(points[i + k], c)) return false;
            d2 = sum(d2, square(difference(of(x[k]), point(c))));
        }
        if (d2.lo > radius2 * (1.0 + 0x1p-20)) continue; // q > 1 at every point of the box
        for (int k = 0; k < 3; ++k) {
            const Range shift = of(shifts[i + k]);
            moved[k] = sum(moved[k], {std::min(0.0, shift.lo), std::max(0.0, shift.hi)});
            size += mag(shift);
        }
    }
    const double slack = size * 0x1p-20 * (1.0 + np / 3);
    Interval result[3];
    for (int k = 0; k < 3; ++k) {
        const Range v = sum(of(x[k]), widen(moved[k], slack, 1.0));
        if (!make(widen(v, mag(v)), result[k])) return false;
    }
    for (int k = 0; k < 3; ++k) x[k] = result[k];
    return true;
}

// ---------------------------------------------------------------------------------------------
// Blends: f1 + f2 +- sqrt(f1^2 + f2^2) increases with f1 and with f2, so its range comes from
// the ends; the added term a0 / (1 + (f1/a1)^2 + (f2/a2)^2) is bounded on its own.

bool boundBlend(const PrimitiveCall& call, const RowRule& rule, Interval& out) {
    if (call.argc != 5) return false;
    const Interval f1 = call.arg(0), f2 = call.arg(1), a0 = call.arg(2), a1 = call.arg(3),
                   a2 = call.arg(4);
    if (!atLeastEps(a1, call.eps) || !atLeastEps(a2, call.eps)) return false; // the check
    const double sign = rule.family == Family::BlendUnion ? 1.0 : -1.0;
    auto base = [sign](double u, double v) { return u + v + sign * std::sqrt(u * u + v * v); };
    const Interval zero{0.0f, 0.0f};
    Range q1, q2, term;
    if (!scaledSquare(f1, zero, a1, q1) || !scaledSquare(f2, zero, a2, q2)) return false;
    const Range denominator = sum({1.0, 1.0}, sum(q1, q2));
    if (!quotient(of(a0), denominator, term)) return false;
    const Range v{base(f1.lo, f2.lo) + term.lo, base(f1.hi, f2.hi) + term.hi};
    const double size = 3.0 * (mag(of(f1)) + mag(of(f2))) + mag(term);
    return make(widen(v, size), out);
}

// ---------------------------------------------------------------------------------------------
// Blob families: a sum over centres of a kernel of the distance, minus a threshold. Each
// kernel here falls (or, for a negative weight or rate, rises) monotonically with the
// distance, so its range over a box comes from the nearest and farthest distances.

// The point and the parallel arrays of one call: x has at least 3 elements, xc N >= 1, and
// every array after it at least N.
struct Centres {
    const Interval* x = nullptr;
    const Interval* arrays[5] = {};
    int count = 0;

    bool read(const PrimitiveCall& call, int xcArg, int parameters) {
        int nx = 0;
        x = call.array(0, nx);
        arrays[0] = call.array(xcArg, count);
        if (x == nullptr || nx < 3 || arrays[0] == nullptr || count < 1) return false;
        for (int j = 1; j < 3 + parameters; ++j) {
            int n = 0;
            arrays[j] = call.array(xcArg + j, n);
            if (arrays[j] == nullptr || n < count) return false;
        }
        return true;
    }
    // Range of the squared distance to centre i, widened for the primitive's rounding.
    Range distance2(int i) const {
        Range r{0.0, 0.0};
        for (int k = 0; k < 3; ++k) r = sum(r, square(difference(x[k], arrays[k][i])));
        r.lo = std::max(0.0, r.lo * (1.0 - 0x1p-45));
        r.hi *= 1.0 + 0x1p-45;
        return r;
    }
    Interval parameter(int j, int i) const { return arrays[3 + j][i]; }
};

// The soft-object kernel 1 - 22/9 q + 17/9 q^2 - 4/9 q^3 of q = r^2 / R^2, 0 from q = 1 on:
// it falls from 1 to 0 on [0, 1] with zero slope at 1.
double softShape(double q) {
    if (q >= 1.0) return 0.0;
    return 1.0 - (22.0 / 9.0) * q + (17.0 / 9.0) * q * q - (4.0 / 9.0) * q * q * q;
}

// The metaball kernel of e = r / d: 1 - 3 e^2 up to e = 1/3, 1.5 (1 - e)^2 up to 1, then 0;
// continuous and falling.
double metaballShape(double e) {
    if (e >= 1.0) return 0.0;
    if (e <= 1.0 / 3.0) return 1.0 - 3.0 * e * e;
    return 1.5 * (1.0 - e) * (1.0 - e);
}

// Allowance for the kernels' single-precision steps: R^4 stored as a float in the soft kernel
// (2^-24 of the term 17/9 q^2 <= 17/9) and e = r / d stored as a float in the metaball (the
// kernel's slope is at most 2 in e), both far below 2^-20 of a unit weight.
constexpr double kKernelSlack = 0x1p-20;

bool boundBlobs(const PrimitiveCall& call, const RowRule& rule, Interval& out) {
    if (call.argc != (rule.family == Family::Soft ? 6 : 7)) return false;
    const bool fieldMap = rule.family == Family::FieldMapBlob;
    Centres c;
    if (!c.read(call, fieldMap ? 2 : 1, rule.family == Family::Soft ? 1 : 2)) return false;
    Range total{0.0, 0.0};
    double size = 0.0;
    for (int i = 0; i < c.count; ++i) {
        const Range r2 = c.distance2(i);
        Range term;
        switch (rule.family) {
        case Family::Soft: { // W(r^2 / R^2) with R = d[i]; 0 for R <= 0
            double R;
            if (!pointValue(c.parameter(0, i), R)) return false;
            if (!(R > 0.0)) continue;
            const double R2 = R * R;
            term = {softShape(r2.hi / R2) - kKernelSlack, softShape(r2.lo / R2) + kKernelSlack};
            break;
        }
        case Family::Blobby: { // b exp(-a r^2)
            const Range exponent = product({-double(c.parameter(0, i).hi),
                                            -double(c.parameter(0, i).lo)}, r2);
            const Range e = widen(exponent, mag(exponent), 0x1p-45);
            const Range k{std::exp(e.lo) * (1.0 - kRel), std::exp(e.hi) * (1.0 + kRel)};
            term = product(of(c.parameter(1, i)), k);
            break;
        }
        case Family::Metaball: { // b M(r / d), nothing for d <= 0
            double d;
            if (!pointValue(c.parameter(1, i), d)) return false;
            if (!(d > 0.0)) continue;
            const Range k{metaballShape(std::sqrt(r2.hi) / d) - kKernelSlack,
                          metaballShape(std::sqrt(r2.lo) / d) + kKernelSlack};
            term = product(of(c.parameter(0, i)), k);
            break;
        }
        case Family::FieldMapBlob: { // b / (1 + r^2 / d^2), nothing for d <= EPS
            double d;
            if (!pointValue(c.parameter(1, i), d)) return false;
            if (!(d > double(call.eps))) continue;
            const Range k{1.0 / (1.0 + r2.hi / (d * d)), 1.0 / (1.0 + r2.lo / (d * d))};
            term = product(of(c.parameter(0, i)), k);
            break;
        }
        default: return false;
        }
        total = sum(total, term);
        size += mag(term);
    }
    const Range threshold = of(call.arg(fieldMap ? 1 : call.argc - 1));
    const Range v = fieldMap ? difference(threshold, total) : difference(total, threshold);
    return make(widen(v, size + mag(threshold)), out);
}

// ---------------------------------------------------------------------------------------------
// Spline volumes: the spline value s, intersected with the three slabs of the box by
// I(a, b) = a + b - sqrt(a^2 + b^2), which increases with a and with b.

double meet(double a, double b) { return a + b - std::sqrt(a * a + b * b); }

// A count argument as the primitive reads it (a whole count lo..hi), or -1.
int countOf(Interval v, int lo, int hi) {
    if (!isPoint(v) || !(v.lo >= static_cast<float>(lo) && v.lo < static_cast<float>(hi + 1)))
        return -1;
    return static_cast<int>(v.lo);
}

// The ranges of the Bernstein values C(d, i) (1 - t)^(d - i) t^i, i <= d, for t in r within
// [0, 1]: each rises to its peak at t = i / d and falls after it.
void bernsteinRanges(int count, Range r, Range* out) {
    const int d = count - 1;
    r = {std::clamp(r.lo, 0.0, 1.0), std::clamp(r.hi, 0.0, 1.0)};
    double binomial = 1.0;
    for (int i = 0; i <= d; ++i) {
        auto at = [&](double v) { return binomial * std::pow(1.0 - v, d - i) * std::pow(v, i); };
        const double a = at(r.lo), c = at(r.hi);
        const double peak = d == 0 ? r.lo : std::clamp(double(i) / d, r.lo, r.hi);
        out[i] = widen({std::min(a, c), std::max({a, c, at(peak)})}, std::max({a, c, at(peak)}),
                       0x1p-44);
        out[i].lo = std::max(0.0, out[i].lo);
        binomial = binomial * (d - i) / (i + 1);
    }
}

// The Bezier value s inside the box, where the Bernstein values (never negative) sum to 1:
// s = c0 + sum (c - c0) B for any c0. With c0 the least control value every weight c - c0 is
// non-negative, so the products of the three Bernstein ranges' lower ends bound s from below
// and their upper ends from above; with c0 the greatest, the same from the other side. The
// rounding of the primitive's sum, whose terms are at most the largest |c| in all, and the
// Bernstein values' own error (the allowance in each range) are added.
Range bezierRange(const Range* t, int l, int m, int n, const Interval* ctrl, Range hull) {
    Range bx[21], by[21], bz[21];
    bernsteinRanges(l, t[0], bx);
    bernsteinRanges(n, t[1], by);
    bernsteinRanges(m, t[2], bz);
    double upFromLeast = 0.0, lowFromLeast = 0.0, upFromGreatest = 0.0, lowFromGreatest = 0.0;
    for (int i = 0; i < l; ++i)
        for (int j = 0; j < m; ++j)
            for (int k = 0; k < n; ++k) {
                const double lo = bx[i].lo * bz[j].lo * by[k].lo;
                const double hi = bx[i].hi * bz[j].hi * by[k].hi;
                const Interval c = ctrl[(i * m + j) * n + k];
                lowFromLeast += (c.lo - hull.lo) * lo;
                upFromLeast += (c.hi - hull.lo) * hi;
                lowFromGreatest += (hull.hi - c.lo) * hi;
                upFromGreatest += (hull.hi - c.hi) * lo;
            }
    Range s{std::max(hull.lo + lowFromLeast, hull.hi - lowFromGreatest),
            std::min(hull.lo + upFromLeast, hull.hi - upFromGreatest)};
    if (s.lo > s.hi) s = hull; // only by rounding; the hull holds in any case
    return widen(s, std::max(std::fabs(hull.lo), std::fabs(hull.hi)), 0x1p-36);
}

// The B-spline value s: -0.00001 plus a weighted sum of control values whose weights are
// products of basis values, never negative, summing to 1 inside the parameter range and to
// at most 1 anywhere (some, or all, fall away outside it and at its upper end). Inside the
// range only the four control values of each span weigh, so the sum lies between the least
// and the greatest of the control values of the spans the box meets, and 0 joins them where
// the weights may sum to less than 1.
Range bsplineRange(const Range* t, int l, int m, int n, const Interval* ctrl) {
    const int counts[3] = {l, m, n};
    int first[3], last[3];
    bool partial = false;
    for (int k = 0; k < 3; ++k) {
        const int q = counts[k];
        // u = t (q - 3) rounded to float; the spans run from floor(u) + 3, and the weights sum
        // to 1 for u in [0, q - 3).
        const double u0 = down(t[k].lo * (q - 3)), u1 = up(t[k].hi * (q - 3));
        if (!(t[k].lo >= 0.0 && t[k].hi <= 1.0 && u0 >= 0.0 && u1 < q - 3)) {
            partial = true;
            first[k] = 0;
            last[k] = q - 1;
            continue;
        }
        first[k] = std::max(0, static_cast<int>(std::floor(u0)));
        last[k] = std::min(q - 1, static_cast<int>(std::floor(u1)) + 3);
    }
    Range s{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (int iz = first[2]; iz <= last[2]; ++iz)
        for (int ix = first[0]; ix <= last[0]; ++ix)
            for (int iy = first[1]; iy <= last[1]; ++iy) {
                const Interval v = ctrl[(static_cast<long long>(iz) * l + ix) * m + iy];
                s.lo = std::min(s.lo, double(v.lo));
                s.hi = std::max(s.hi, double(v.hi));
            }
    if (partial) s = {std::min(0.0, s.lo), std::max(0.0, s.hi)};
    return {s.lo - 0.00001, s.hi - 0.00001};
}

bool boundSpline(const PrimitiveCall& call, const RowRule& rule, Interval& out) {
    if (call.argc != 6) return false;
    const bool bezier = rule.family == Family::Bezier;
    const int lo = bezier ? 1 : 4, hi = bezier ? 21 : 255;
    const int l = countOf(call.arg(1), lo, hi), m = countOf(call.arg(2), lo, hi),
              n = countOf(call.arg(3), lo, hi);
    int nx = 0, nbox = 0, nctrl = 0;
    const Interval* x = call.array(0, nx);
    const Interval* box = call.array(4, nbox);
    const Interval* ctrl = call.array(5, nctrl);
    if (l < 0 || m < 0 || n < 0 || x == nullptr || nx != 3 || box == nullptr || nbox < 6 ||
        ctrl == nullptr || static_cast<long long>(nctrl) < static_cast<long long>(l) * m * n)
        return false;
    double b[6];
    for (int i = 0; i < 6; ++i)
        if (!pointValue(box[i], b[i])) return false;
    for (int k = 0; k < 3; ++k)
        if (!(b[k + 3] > b[k])) return false; // a flat box divides by zero
    Range c{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (long long i = 0; i < static_cast<long long>(l) * m * n; ++i) {
        c.lo = std::min(c.lo, double(ctrl[i].lo));
        c.hi = std::max(c.hi, double(ctrl[i].hi));
    }
    // The normalized coordinate ranges t = (x - min) / (max - min) of the box, widened for
    // their rounding (Y and Z are stored as floats).
    Range t[3];
    for (int k = 0; k < 3; ++k) {
        const double span = b[k + 3] - b[k];
        const double reach = std::max(std::fabs(x[k].lo - b[k]), std::fabs(x[k].hi - b[k]));
        t[k] = widen({(x[k].lo - b[k]) / span, (x[k].hi - b[k]) / span}, reach / span, 0x1p-48);
        if (k > 0 || !bezier) t[k] = toFloat(t[k]);
    }
    Range s;
    if (!bezier) {
        s = bsplineRange(t, l, m, n, ctrl);
    } else {
        bool inside = true;
        for (int k = 0; k < 3; ++k) inside = inside && x[k].lo >= b[k] && x[k].hi <= b[k + 3];
        if (inside) {
            s = bezierRange(t, l, m, n, ctrl, c);
        } else {
            // |B_i(t)| sums to (|1 - t| + |t|)^degree: at most the larger of its ends.
            const int degree[3] = {l - 1, n - 1, m - 1};
            double factor = std::max(std::fabs(c.lo), std::fabs(c.hi));
            for (int k = 0; k < 3; ++k) {
                const double w = std::max(std::fabs(1.0 - t[k].lo) + std::fabs(t[k].lo),
                                          std::fabs(1.0 - t[k].hi) + std::fabs(t[k].hi));
                factor *= std::pow(w * (1.0 + 0x1p-20), degree[k]);
            }
            s = {-factor, factor};
        }
    }
    s = widen(s, mag(s));
    Range slabs[3];
    for (int k = 0; k < 3; ++k)
        slabs[k] = slab(double(x[k].lo) - b[k], double(x[k].hi) - b[k], b[k + 3] - b[k]);
    const Range v{meet(meet(meet(slabs[0].lo, slabs[1].lo), slabs[2].lo), s.lo),
                  meet(meet(meet(slabs[0].hi, slabs[1].hi), slabs[2].hi), s.hi)};
    const double size = mag(slabs[0]) + mag(slabs[1]) + mag(slabs[2]) + mag(s);
    return make(widen(v, size, 0x1p-30), out);
}

// ---------------------------------------------------------------------------------------------
// Convolution fields: the sum over elements of the kernel 1 / (1 + s^2 r^2)^2 (a point) or its
// integral along a segment, minus the threshold T.

// The convolution field of points: computed in double throughout and rounded once.
bool boundConvolutionPoints(const PrimitiveCall& call, Interval& out) {
    if (call.argc != 4) return false;
    int nx = 0, n = 0, nv = 0;
    const Interval* x = call.array(0, nx);
    const Interval* strength = call.array(2, n);
    const Interval* vect = call.array(1, nv);
    if (x == nullptr || nx != 3 || strength == nullptr || n < 1 || vect == nullptr ||
        static_cast<long long>(nv) < 3LL * n)
        return false;
    Range total{0.0, 0.0};
    for (int i = 0; i < n; ++i) {
        Range r2{0.0, 0.0};
        for (int k = 0; k < 3; ++k) r2 = sum(r2, square(difference(x[k], vect[3 * i + k])));
        const Range s2 = square(of(strength[i]));
        const double far = 1.0 + s2.hi * r2.hi, near = 1.0 + s2.lo * r2.lo;
        total = sum(total, {1.0 / (far * far), 1.0 / (near * near)});
    }
    const Range threshold = of(call.arg(3));
    const Range v = difference(total, threshold);
    return make(widen(v, mag(total) + mag(threshold), 0x1p-36), out);
}


// The field of the segment q0..q1 (fixed ends) with strength s, for the point in the box x:
// the closed form that the primitive evaluates, step by step in intervals. Three of its
// quantities are taken from their geometric meaning, where plain interval arithmetic would
// lose the dependence between them, and widened for the difference:
//  - d = dot(p - q0, q1 - q0) / L rounded to float: linear in p, so exact at the box's ends;
//  - g - d^2 (clamped at 0) is the squared distance to the line, |(p - q0) x u|^2 with u the
//    unit direction, except that d is rounded to float and L is |q1 - q0| rounded to float: d
//    is within 2^-22 of its own size of the true projection, so g - d^2 is within 2^-21 d^2;
//  - g + L^2 - 2 L d is the squared distance to q0 + L u, within 2^-21 L |d| for the same
//    reason.
// False when the segment has zero length (the primitive stops with an error) or s may be 0.
bool segmentRange(const Interval* x, const double q0[3], const double q1[3], Range s,
                  Range& field) {
    const double dir[3] = {q1[0] - q0[0], q1[1] - q0[1], q1[2] - q0[2]};
    const double norm2 = dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2];
    const double L = static_cast<float>(std::sqrt(norm2));
    if (L == 0.0 || !std::isfinite(L) || !(s.lo > 0.0 || s.hi < 0.0)) return false;
    const double length = std::sqrt(norm2);
    Range dp[3], dot{0.0, 0.0}, g{0.0, 0.0}, far2{0.0, 0.0};
    double size = 0.0, ends = 0.0;
    for (int k = 0; k < 3; ++k) {
        dp[k] = outward({x[k].lo - q0[k], x[k].hi - q0[k]});
        const Range term = product(dp[k], point(dir[k]));
        dot = sum(dot, term);
        size += mag(term);
        g = sum(g, square(dp[k]));
        const double end = q0[k] + L * dir[k] / length;
        far2 = sum(far2, square({x[k].lo - end, x[k].hi - end}));
        ends += end * end;
    }
    dot = widen(dot, size, 0x1p-48);
    g = widen(g, g.hi, 0x1p-48);
    Range d;
    if (!div(dot, point(L), d)) return false;
    d = toFloat(d);
    // The squared distance to the line.
    const double u[3] = {dir[0] / length, dir[1] / length, dir[2] / length};
    Range line2{0.0, 0.0};
    for (int k = 0; k < 3; ++k) {
        const int a = (k + 1) % 3, b = (k + 2) % 3;
        line2 = sum(line2, square(difference(product(dp[a], point(u[b])),
                                             product(dp[b], point(u[a])))));
    }
    const double d2 = std::max(d.lo * d.lo, d.hi * d.hi);
    const double lineSlack = 0x1p-21 * d2 + 0x1p-36 * g.hi;
    const Range h2{std::max(0.0, line2.lo - lineSlack), std::max(0.0, line2.hi + lineSlack)};
    const double dmag = std::max(std::fabs(d.lo), std::fabs(d.hi));
    const double endSlack = 0x1p-21 * L * dmag + 0x1p-36 * (g.hi + L * L + ends);
    const Range M{far2.lo - endSlack, far2.hi + endSlack};
    const Range s2 = outward(square(s));
    const Range l = toFloat(sqrtOf(add(mul(s2, h2), point(1.0))));
    const Range l2 = outward(square(l));
    const Range m2 = add(mul(s2, M), point(1.0));
    const Range Lr = point(L);
    Range a1, a2, t1, t2, t3;
    if (!div(mul(s, sub(Lr, d)), l, a1) || !div(mul(s, d), l, a2)) return false;
    if (!div(add(atanOf(a1), atanOf(a2)), mul(mul(mul(point(2.0), s), l2), l), t1)) return false;
    if (!div(d, mul(mul(point(2.0), l2), add(l2, mul(s2, outward(square(d))))), t2)) return false;
    if (!div(sub(Lr, d), mul(mul(point(2.0), l2), m2), t3)) return false;
    field = add(add(t1, t2), t3);
    return std::isfinite(field.lo) && std::isfinite(field.hi);
}

// lvconvline(x, begin, end, S, T) and lvconvcurve(x, vect, S, T): the sum of the segment
// fields minus T. Segment ends must be fixed values.
bool boundConvolutionSegments(const PrimitiveCall& call, bool curve, Interval& out) {
    if (call.argc != (curve ? 4 : 5)) return false;
    int nx = 0, n = 0, nb = 0, ne = 0;
    const Interval* x = call.array(0, nx);
    const Interval* strength = call.array(curve ? 2 : 3, n);
    const Interval* begin = call.array(1, nb);
    const Interval* end = curve ? begin : call.array(2, ne);
    if (curve) ne = nb;
    const long long need = curve ? 3LL * (n + 1LL) : 3LL * n;
    if (x == nullptr || nx != 3 || strength == nullptr || n < 1 || begin == nullptr ||
        end == nullptr || nb < need || ne < need)
        return false;
    Range total{0.0, 0.0};
    for (int i = 0; i < n; ++i) {
        double q0[3], q1[3];
        const Interval* from = begin + 3 * i;
        const Interval* to = curve ? begin + 3 * (i + 1) : end + 3 * i;
        for (int k = 0; k < 3; ++k)
            if (!pointValue(from[k], q0[k]) || !pointValue(to[k], q1[k])) return false;
        Range field;
        if (!segmentRange(x, q0, q1, of(strength[i]), field)) return false;
        total = add(total, field);
    }
    return make(sub(total, of(call.arg(call.argc - 1))), out);
}

// lvconvarc(x, center, radius, angle, axis, theta, S, T): circular arcs. The field of an arc
// is the integral of the kernel over its angle alpha (in radians, 180 degrees plus the rest for
// openings past a half turn), so it lies between alpha K(far) and alpha K(near), where near and
// far are the least and greatest distances from the point to the arc's whole circle. The
// primitive turns p - center into the arc's frame with cos rounded to float: the turn keeps
// lengths within 2^-22 (they are taken within 2^-20), so the distances to the circle lie
// between | |p - c| - r | and |p - c| + r, widened by that.
// Error estimate for the closed form (which is why it is behind the switch): it is computed
// in double throughout after the turn. Its denominators are bounded away from zero (with
// F = 1 + s^2 (r^2 + |B|^2), M and H are at most G rho < F, so |M - F|, |H - F| >= 1 and
// |D| = F^2 - (G rho)^2 >= F), its arctangent term is at most 2 pi / sqrt(F) and its rational
// term at most 3 F; a few dozen roundings of 2^-53 of those stay far below the allowance of
// 2^-30 (1 + F) per piece taken here.
bool boundConvolutionArcs(const PrimitiveCall& call, Interval& out) {
    if (call.argc != 8) return false;
    int nx = 0, n = 0, nc = 0, nr = 0, na = 0, naxis = 0, nt = 0;
    const Interval* x = call.array(0, nx);
    const Interval* strength = call.array(6, n);
    const Interval* centre = call.array(1, nc);
    const Interval* radius = call.array(2, nr);
    const Interval* angle = call.array(3, na);
    const Interval* axis = call.array(4, naxis);
    const Interval* theta = call.array(5, nt);
    if (x == nullptr || nx != 3 || strength == nullptr || n < 1 || centre == nullptr ||
        radius == nullptr || angle == nullptr || axis == nullptr || theta == nullptr ||
        nc < 3LL * n || naxis < 3LL * n || nr < n || na < n || nt < n)
        return false;
    constexpr double kDegree = static_cast<double>(0.017453289f);
    constexpr double kDegreeFine = 0.01745328888888889;
    const double e = call.eps;
    Range total{0.0, 0.0};
    double size = 0.0;
    for (int i = 0; i < n; ++i) {
        double r, degrees, a[3];
        if (!pointValue(radius[i], r) || !pointValue(angle[i], degrees)) return false;
        for (int k = 0; k < 3; ++k)
            if (!pointValue(axis[3 * i + k], a[k])) return false;
        const double len = std::sqrt((a[0] + e) * (a[0] + e) + (a[1] + e) * (a[1] + e) +
                                     (a[2] + e) * (a[2] + e));
        if (!(len >= e) || !std::isfinite(degrees)) return false; // not a turn
        degrees = std::min(degrees, 360.0);
        const double alpha = degrees > 180.0 ? 180.0 * kDegree + (degrees - 180.0) * kDegreeFine
                                             : degrees * kDegree;
        Range d2{0.0, 0.0};
        for (int k = 0; k < 3; ++k) d2 = sum(d2, square(difference(x[k], centre[3 * i + k])));
        const Range dist{std::sqrt(d2.lo) * (1.0 - 0x1p-20), std::sqrt(d2.hi) * (1.0 + 0x1p-20)};
        const double ar = std::fabs(r);
        const double near = std::max({0.0, dist.lo - ar, ar - dist.hi}), far = dist.hi + ar;
        const Range s2 = square(of(strength[i]));
        const double kNear = 1.0 / ((1.0 + s2.lo * near * near) * (1.0 + s2.lo * near * near));
        const double kFar = 1.0 / ((1.0 + s2.hi * far * far) * (1.0 + s2.hi * far * far));
        Range field = alpha >= 0.0 ? Range{alpha * kFar, alpha * kNear}
                                   : Range{alpha * kNear, alpha * kFar};
        const double F = 1.0 + s2.hi * (r * r + dist.hi * dist.hi);
        field = widen(field, 2.0 * (1.0 + F), 0x1p-30);
        total = sum(total, field);
        size += mag(field);
    }
    const Range threshold = of(call.arg(7));
    return make(widen(difference(total, threshold), size + mag(threshold)), out);
}

// The float sum of the triangles' fields minus T, as the triangle and mesh primitives add them:
// each field rounded to float and added to a float sum, so each step stays between the float
// sums of the range ends (rounding is monotone).
struct FloatSum {
    Interval sum{0.0f, 0.0f};
    bool add(Interval field) {
        sum = {down(double(sum.lo) + field.lo), up(double(sum.hi) + field.hi)};
        return finite(sum);
    }
    bool result(Interval threshold, Interval& out) const {
        out = {down(double(sum.lo) - threshold.hi), up(double(sum.hi) - threshold.lo)};
        return finite(out);
    }
};

// Vertex number v of a mesh (1-based, truncated toward zero) as an element offset into an
// array of count elements, or -1 when it names no whole vertex there or is not one value.
long long meshVertexOffset(Interval v, int count) {
    if (!isPoint(v) || !(v.lo >= 1.0f && v.lo < 2147483648.0f)) return -1;
    const long long offset = 3LL * (static_cast<long long>(v.lo) - 1);
    return offset + 3 <= count ? offset : -1;
}

// lvconvtriangle(x, vect, S, T) and lvconvmesh(x, vect, tri, S, T): triangles given by nine
// coordinates each or by three vertex numbers into vect, all fixed values.
bool boundConvolutionTriangles(const PrimitiveCall& call, bool mesh, Interval& out) {
    if (call.argc != (mesh ? 5 : 4)) return false;
    int nx = 0, n = 0, nv = 0, nt = 0;
    const Interval* x = call.array(0, nx);
    const Interval* strength = call.array(mesh ? 3 : 2, n);
    const Interval* vect = call.array(1, nv);
    const Interval* tri = mesh ? call.array(2, nt) : nullptr;
    if (x == nullptr || nx != 3 || strength == nullptr || n < 1 || vect == nullptr)
        return false;
    if (mesh ? tri == nullptr || nt < 3LL * n : nv < 9LL * n) return false;
    FloatSum total;
    for (int i = 0; i < n; ++i) {
        float corners[9];
        for (int j = 0; j < 3; ++j) {
            const long long at = mesh ? meshVertexOffset(tri[3 * i + j], nv) : 9LL * i + 3 * j;
            if (at < 0) return false;
            for (int k = 0; k < 3; ++k) {
                double v = 0.0;
                if (!pointValue(vect[at + k], v)) return false;
                corners[3 * j + k] = static_cast<float>(v);
            }
        }
        Interval field;
        if (!triangleFieldRange(x, corners, strength[i], field) || !total.add(field))
            return false;
    }
    return total.result(call.arg(call.argc - 1), out);
}

} // namespace

bool boundPrimitive(const PrimitiveCall& call, Interval& out) {
    const RowRule& rule = ruleFor(call.row);
    switch (rule.family) {
    case Family::None: return false;
    case Family::Cone:
    case Family::EllipticCylinder:
    case Family::EllipticCone:
    case Family::Ellipsoid:
    case Family::Torus: return boundQuadric(call, rule, out);
    case Family::Superellipsoid: return boundSuperellipsoid(call, out);
    case Family::Noise: return boundNoise(call, out);
    case Family::SpaceMap: return boundSpaceMap(call, out);
    case Family::Rotate:
    case Family::Shift:
    case Family::Scale:
    case Family::Stretch:
    case Family::Twist:
    case Family::Taper: return boundTransform(call, rule, out);
    case Family::BlendUnion:
    case Family::BlendIntersection: return boundBlend(call, rule, out);
    case Family::Soft:
    case Family::Blobby:
    case Family::Metaball:
    case Family::FieldMapBlob: return boundBlobs(call, rule, out);
    case Family::Bezier:
    case Family::BSpline: return boundSpline(call, rule, out);
    case Family::ConvolutionPoint: return boundConvolutionPoints(call, out);
    case Family::ConvolutionLine:
    case Family::ConvolutionCurve:
        return convolutionBounds() &&
               boundConvolutionSegments(call, rule.family == Family::ConvolutionCurve, out);
    case Family::ConvolutionArc: return convolutionBounds() && boundConvolutionArcs(call, out);
    case Family::ConvolutionTriangle:
    case Family::ConvolutionMesh:
        return convolutionBounds() &&
               boundConvolutionTriangles(call, rule.family == Family::ConvolutionMesh, out);
    }
    return false;
}

void setConvolutionBounds(bool on) { gConvolutionBounds.store(on); }
bool convolutionBounds() { return gConvolutionBounds.load(); }

} // namespace lv::lang
