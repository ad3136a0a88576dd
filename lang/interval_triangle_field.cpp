#include "lang/interval_triangle_field.h"

#include <algorithm>
#include <cmath>
#include <limits>

// How the primitive computes one triangle's field at p with strength s: the vertices are
// ordered so that V1V2 is the longest edge (lengths compared as floats); F, the foot of the
// altitude from V3, is stored as a float point; a = |V1 - F|, b = |V2 - F|, h = |V3 - F| are
// floats; ew = (V2 - F) / b and eu = (V3 - F) / h are double vectors. These depend on the
// triangle only, so the rule below repeats them step for step and knows them exactly. Then, in
// double unless said otherwise, with q = p - F:
//   w, u = dot(q, ew), dot(q, eu), each stored as a float
//   X = |q|^2 + 1/s^2 - w^2,   n = X - u^2
//   Y = u - h, m1 = X - 2hu + h^2, m2 = (n + w^2) h^2, each stored as a float
//   Z1 = sqrt(m1 b^2 + m2 + 2Ybhw), Z2 = sqrt(m1 a^2 + m2 - 2Yahw), R0 = sqrt(X)
//   E1 = (atan((Yh - bw)/Z1) + atan((-(b - w)b - hu)/Z1)) (Yb + hw)/Z1
//   E2 = (atan((-Yh - aw)/Z2) + atan(((a + w)a + hu)/Z2)) (hw - Ya)/Z2
//   E3 = (atan((b - w)/R0) + atan((a + w)/R0)) u/R0
//   field = (E1 + E2 + E3) / (2 s n), then rounded to float.
//
// The bound has two parts.
//
// 1. The closed form evaluated exactly on the values the primitive actually has (the floats
//    a, b, h, w, u and the double n, with X taken as n + u^2) is the integral
//      V = (1/s) * integral over T2 of dA / (n + (x - w)^2 + (y - u)^2)^2,
//    T2 the plane triangle (-a, 0), (b, 0), (0, h). Those values describe a point and a
//    triangle close to the real ones: with T' = F + x ew + y eu over T2 (its corners
//    F - a ew, F + b ew, F + h eu, computed here), the denominator is
//      n + (x - w)^2 + (y - u)^2 = 1/s^2 + |p - (F + x ew + y eu)|^2 + D
//    with
//      D = x^2 (1 - |ew|^2) + y^2 (1 - |eu|^2) - 2xy ew.eu - 2x (w - q.ew) - 2y (u - q.eu) + e,
//    where |w - q.ew| <= (2^-24 + 7 * 2^-53)|q||ew| + 2^-149 (the dot product's rounding, then
//    the float's, subnormal included), the same for u, and e, the rounding of n, is at most
//    8 * 2^-53 (|q|^2 + 1/s^2 + w^2 + u^2). |x| <= max(a, b) and 0 <= y <= h on T2, and
//    |ew|^2, |eu|^2 and ew.eu are computed here, so errD >= |D| is known per box. V is the
//    sum of the same integral over pieces of T' (quarters by edge midpoints, quarters of
//    those); as the kernel falls with distance and is convex in r^2, a piece of area A gives
//      A s^3 / (1 + s^2 (mean2 + errD))^2 <= its part <= A s^3 / (1 + s^2 near2)^2,
//    mean2 being the greatest over the box of the squared distance to the piece's centroid
//    plus (sum of its squared edges) / 36, the mean of r^2 over the piece (Jensen), and
//    near2 = max(near^2 - errD, t^2 - errN), near the least distance between the box and the
//    piece (the second because n itself is at least 1/s^2 + t^2 - errN, t the distance to the
//    plane of T' along its unit normal en: with M = I - ew ew' - eu eu' - en en',
//    |q|^2 - (q.ew)^2 - (q.eu)^2 = (q.en)^2 + q'Mq, and errN covers |M| |q|^2, the float
//    rounding of w and u and e).
//
// 2. The rounding inside the closed form, against V. Let eps = 2^-24, eta = 2^-53, nLo a lower
//    bound of n over the box, Q an upper bound of n + (|w| + L)^2 + (|u| + L)^2 with
//    L = max(a, b, h), and kappa = Q / nLo. Each of m1 = n + Y^2 >= n, m2 and Y is stored
//    with a relative error of at most epsM = eps + 3 eta kappa + 4 eta (the double steps
//    before the float rounding are relative to X + 2h|u| <= 2Q); nLo >= 2^-60 and h >= 2^-30
//    keep them normal floats or zero. Exactly,
//      Z1^2 = n (b^2 + h^2) + C1^2 with C1 = bY + hw,
//      Z2^2 = n (a^2 + h^2) + C2^2 with C2 = hw - aY,
//    so |C1| <= Z1, |u| <= R0, each term's arctangent sum is below pi in size, and
//    |E1|, |E2|, |E3| <= pi. A product of a length up to sqrt(Q) and one of b, h over Z1 (of
//    a, h over Z2; any length over R0) is at most sqrt(kappa), since Z1 >= sqrt(n (b^2 + h^2));
//    every product in the numerators is of that kind. Then for Z1 (Z2 the same with a):
//    - Z1^2 has relative error rho <= (epsM + 4 eta) P/Z1^2 with P = n (b^2 + h^2) +
//      (|bY| + |hw|)^2, and P/Z1^2 <= 2 + 8 min(w^2, Y^2)/n (from 4 xy <= (x - y)^2 + 8 y^2);
//      Z1 has relative error zeta <= 0.55 rho + 2 eta (rho <= 1/8 is required);
//    - the numerators carry absolute errors of at most (epsM + 3 eta) sqrt(kappa) (from Y)
//      and 6 eta sqrt(kappa) (the one without Y) times Z1;
//    - an arctangent moves by at most 1.15 times its numerator's error over Z1, plus 0.7 zeta
//      for the error of Z1 (|x|/(1 + x^2) <= 1/2), plus 9 eta for the quotient and the C
//      library; so the sum moves by dT <= 1.15 (dA + dB) + 1.4 zeta + 22 eta;
//    - C1/Z1 moves by dCZ <= 1.15 (dC + zeta) + 2 eta;
//    - E1 = T C1/Z1 moves by dE <= dT + pi dCZ + dT dCZ + 8 eta;
//    - E3 moves by at most 8 eta sqrt(kappa) + 45 eta (R0 is within 2 eta);
//    - the two sums and the final quotient add 43 eta, and |2 s n| >= 2 |s| nLo.
//    So |field - V| <= (dE1 + dE2 + dE3 + 43 eta) / (2 |s| nLo); the rule takes twice that.
// The range is then rounded outward past the nearest floats, which holds the primitive's final
// conversion. A strength range is handled through s^3 / (1 + s^2 r^2)^2, which rises up to
// s = sqrt(3)/r and falls after; the field is odd in s.

namespace lv::lang {

namespace {

constexpr double kEta = 0x1p-53;
constexpr double kEps = 0x1p-24;
constexpr double kFloatTiny = 0x1p-149;
constexpr double kHuge = 0x1p40;
constexpr double kPi = 3.14159265358979324;

// The primitive's vector arithmetic, operation for operation.
struct Vec {
    double x = 0.0, y = 0.0, z = 0.0;
    double operator[](int k) const { return k == 0 ? x : k == 1 ? y : z; }
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm2(Vec a) { return dot(a, a); }
Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec toFloat(Vec a) {
    return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)};
}
double sumAbs(Vec a) { return std::fabs(a.x) + std::fabs(a.y) + std::fabs(a.z); }

float down(double v) {
    return std::nextafter(static_cast<float>(v), -std::numeric_limits<float>::infinity());
}
float up(double v) {
    return std::nextafter(static_cast<float>(v), std::numeric_limits<float>::infinity());
}

// The triangle as the closed form sees it.
struct Frame {
    bool flat = false; // the primitive returns exactly 0
    Vec F, ew, eu;
    double a = 0.0, b = 0.0, h = 0.0;
};

Frame frameOf(const float* t) {
    const Vec A{t[0], t[1], t[2]}, B{t[3], t[4], t[5]}, C{t[6], t[7], t[8]};
    const float ab = static_cast<float>(std::sqrt(norm2(B - A)));
    const float bc = static_cast<float>(std::sqrt(norm2(C - B)));
    const float ca = static_cast<float>(std::sqrt(norm2(A - C)));
    Vec v1 = A, v2 = B, v3 = C;
    if (bc >= ca && bc > ab) {
        v1 = B, v2 = C, v3 = A;
    } else if (ca >= bc && ca > ab) {
        v1 = C, v2 = A, v3 = B;
    }
    Frame f;
    const Vec edge = v2 - v1;
    const double edge2 = norm2(edge);
    if (!(edge2 > 0.0)) {
        f.flat = true;
        return f;
    }
    f.F = toFloat(v1 + edge * (dot(v3 - v1, edge) / edge2));
    f.a = static_cast<float>(std::sqrt(norm2(v1 - f.F)));
    f.b = static_cast<float>(std::sqrt(norm2(v2 - f.F)));
    f.h = static_cast<float>(std::sqrt(norm2(v3 - f.F)));
    if (!(f.h > 0.0)) {
        f.flat = true;
        return f;
    }
    f.ew = f.b > 0.0 ? (v2 - f.F) * (1.0 / f.b) : edge * (1.0 / std::sqrt(edge2));
    f.eu = (v3 - f.F) * (1.0 / f.h);
    return f;
}

// The point of the triangle (a, b, c) nearest to p (only a direction is taken from it).
Vec nearestOnTriangle(Vec p, Vec a, Vec b, Vec c) {
    const Vec ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) return a;
    const Vec bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) return b;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) return a + ab * (d1 / (d1 - d3));
    const Vec cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) return c;
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) return a + ac * (d2 / (d2 - d6));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0)
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const double k = 1.0 / (va + vb + vc);
    return a + ab * (vb * k) + ac * (vc * k);
}

// A lower bound of the distance between the box and the hull of v, from the gap between their
// projections on d (0 where they overlap).
double gapAlong(Vec d, const Interval x[3], const Vec v[3]) {
    const double len2 = norm2(d);
    if (!(len2 > 0.0) || !std::isfinite(len2)) return 0.0;
    double pLo = 0.0, pHi = 0.0, reach = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double lo = d[k] * x[k].lo, hi = d[k] * x[k].hi;
        pLo += std::min(lo, hi);
        pHi += std::max(lo, hi);
        reach += std::max(std::fabs(lo), std::fabs(hi));
    }
    double vLo = dot(d, v[0]), vHi = vLo;
    for (int i = 1; i < 3; ++i) {
        vLo = std::min(vLo, dot(d, v[i]));
        vHi = std::max(vHi, dot(d, v[i]));
    }
    for (int i = 0; i < 3; ++i)
        reach += std::fabs(d.x * v[i].x) + std::fabs(d.y * v[i].y) + std::fabs(d.z * v[i].z);
    const double gap = std::max(pLo - vHi, vLo - pHi) - 8.0 * kEta * reach;
    return gap > 0.0 ? gap / (std::sqrt(len2) * (1.0 + 4.0 * kEta)) : 0.0;
}

// The distance between the box and the triangle v: a lower bound (near) and an upper bound
// (far), each within a few roundings.
void distances(const Interval x[3], const Vec v[3], double& near, double& far) {
    double far2 = 0.0, gap2 = 0.0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec c{corner & 1 ? x[0].hi : x[0].lo, corner & 2 ? x[1].hi : x[1].lo,
                    corner & 4 ? x[2].hi : x[2].lo};
        for (int i = 0; i < 3; ++i) far2 = std::max(far2, norm2(c - v[i]));
    }
    for (int k = 0; k < 3; ++k) {
        const double vLo = std::min({v[0][k], v[1][k], v[2][k]});
        const double vHi = std::max({v[0][k], v[1][k], v[2][k]});
        const double slack = 2.0 * kEta * (std::max(std::fabs(vLo), std::fabs(vHi)) +
                                           std::max(std::fabs(x[k].lo), std::fabs(x[k].hi)));
        const double gap = std::max(x[k].lo - vHi, vLo - x[k].hi) - slack;
        if (gap > 0.0) gap2 += gap * gap;
    }
    const Vec centre{0.5 * (double(x[0].lo) + x[0].hi), 0.5 * (double(x[1].lo) + x[1].hi),
                     0.5 * (double(x[2].lo) + x[2].hi)};
    const Vec normal = cross(v[1] - v[0], v[2] - v[0]);
    near = std::max({std::sqrt(gap2) * (1.0 - 4.0 * kEta), gapAlong(normal, x, v),
                     gapAlong(centre - nearestOnTriangle(centre, v[0], v[1], v[2]), x, v)});
    far = std::sqrt(far2 * (1.0 + 8.0 * kEta)) * (1.0 + 2.0 * kEta);
}

// s^3 / (1 + s^2 r2)^2 for s > 0, from above (false when the denominator may vanish) or below.
bool kernelAbove(double s, double r2, double& out) {
    const double s2 = s * s;
    const double den = 1.0 + s2 * r2 - 4.0 * kEta * (1.0 + s2 * std::fabs(r2));
    if (!(den > 0.0)) return false;
    out = s2 * s / (den * den) * (1.0 + 8.0 * kEta);
    return std::isfinite(out);
}

double kernelBelow(double s, double r2) {
    const double s2 = s * s;
    const double den = (1.0 + s2 * r2) * (1.0 + 4.0 * kEta);
    return s2 * s / (den * den) * (1.0 - 8.0 * kEta);
}

// The largest s^3 / (1 + s^2 r2)^2 over [sLo, sHi]: rising while s^2 r2 < 3.
bool kernelMax(double sLo, double sHi, double r2, double& out) {
    double peak = sHi;
    if (r2 > 0.0) peak = std::clamp(std::sqrt(3.0 / r2), sLo, sHi);
    double atLo = 0.0, atPeak = 0.0, atHi = 0.0;
    if (!kernelAbove(sLo, r2, atLo) || !kernelAbove(peak, r2, atPeak) ||
        !kernelAbove(sHi, r2, atHi))
        return false;
    out = std::max({atLo, atPeak, atHi}) * (1.0 + 0x1p-40); // the peak's own rounding
    return true;
}

// The integral part of the bound: the triangle T' split at its edge midpoints into four
// pieces of a quarter of its area each, up to twice where the kernel changes much across
// a piece, and each piece bounded by its area times the kernel at its least distance from the
// box and at the largest mean squared distance (widened by slack for the rounding of the
// corners and midpoints).
struct PieceBounds {
    const Interval* x;
    double sLo, sHi, errD, c0, slack, area; // area of the piece at depth 0
    double bottom = 0.0, top = 0.0;

    bool add(const Vec v[3], int depth) {
        double near = 0.0, far = 0.0;
        distances(x, v, near, far);
        near = std::max(0.0, near - slack);
        // The kernel is convex in r^2, so its mean over the piece is at least its value at the
        // mean of r^2: the squared distance to the centroid G plus the piece's own spread
        // (|v0 - v1|^2 + |v1 - v2|^2 + |v2 - v0|^2) / 36. That is never above far^2.
        const Vec g = (v[0] + v[1] + v[2]) * (1.0 / 3.0);
        double g2 = 0.0;
        for (int corner = 0; corner < 8; ++corner) {
            const Vec c{corner & 1 ? x[0].hi : x[0].lo, corner & 2 ? x[1].hi : x[1].lo,
                        corner & 4 ? x[2].hi : x[2].lo};
            g2 = std::max(g2, norm2(c - g));
        }
        const double toCentroid = std::sqrt(g2 * (1.0 + 8.0 * kEta)) * (1.0 + 2.0 * kEta) + slack;
        double spread2 = 0.0; // of the exact piece, whose edges may be 2 slack longer
        for (int i = 0; i < 3; ++i) {
            const double edge = std::sqrt(norm2(v[i] - v[(i + 1) % 3])) + 2.0 * slack;
            spread2 += edge * edge / 36.0;
        }
        const double mean2 = std::min((toCentroid * toCentroid + spread2) * (1.0 + 16.0 * kEta),
                                      (far + slack) * (far + slack) * (1.0 + 4.0 * kEta));
        const double nearKernel = std::max(near * near * (1.0 - 4.0 * kEta) - errD, c0);
        const double farKernel = (mean2 + errD) * (1.0 + 4.0 * kEta);
        const double spread = (1.0 + sHi * sHi * farKernel) / (1.0 + sHi * sHi * nearKernel);
        if (depth < 2 && !(spread * spread < 1.5)) {
            const Vec m01 = (v[0] + v[1]) * 0.5, m12 = (v[1] + v[2]) * 0.5,
                      m20 = (v[2] + v[0]) * 0.5;
            const Vec quarters[4][3] = {
                {v[0], m01, m20}, {m01, v[1], m12}, {m20, m12, v[2]}, {m12, m20, m01}};
            for (const auto& q : quarters)
                if (!add(q, depth + 1)) return false;
            return true;
        }
        const double share = std::ldexp(area, -2 * depth);
        double high = 0.0;
        if (!kernelMax(sLo, sHi, nearKernel, high)) return false;
        top += share * high;
        bottom += share * std::min(kernelBelow(sLo, farKernel), kernelBelow(sHi, farKernel));
        return true;
    }
};

// Error of the closed form's two right-triangle terms (E1 or E2), as derived above.
double termError(double epsM, double sqrtKappa, double shape, bool& ok) {
    const double rho = (epsM + 4.0 * kEta) * shape;
    const double zeta = 0.55 * rho + 2.0 * kEta;
    const double dA = (epsM + 3.0 * kEta) * sqrtKappa, dB = 6.0 * kEta * sqrtKappa, dC = dA;
    ok = ok && rho <= 0.125 && dA <= 0.125;
    const double dT = 1.15 * (dA + dB) + 1.4 * zeta + 22.0 * kEta;
    const double dCZ = 1.15 * (dC + zeta) + 2.0 * kEta;
    return dT + kPi * dCZ + dT * dCZ + 8.0 * kEta;
}

bool finiteBox(const Interval x[3]) {
    for (int k = 0; k < 3; ++k)
        if (!(std::fabs(x[k].lo) <= kHuge && std::fabs(x[k].hi) <= kHuge)) return false;
    return true;
}

// What the bound needs to know of the box against the triangle's frame (names as above).
struct Measures {
    double L = 0.0;     // max(a, b, h)
    double W = 0.0;     // |w| <= W, |u| <= U over the box
    double U = 0.0;
    double c0 = 0.0;    // n - 1/s^2 >= c0
    double nLo = 0.0;   // n >= nLo for every strength
    double kappa = 0.0; // Q / nLo
    double errD = 0.0;  // |D| <= errD
};

bool measure(const Frame& f, const Interval x[3], double sLo, double sHi, Measures& m) {
    m.L = std::max({f.a, f.b, f.h});
    const double Lw = std::max(f.a, f.b);
    if (!(f.h >= 0x1p-30) || !(m.L <= kHuge)) return false;
    // |q| over the box, the frame's defects, and the distance to the plane along en.
    double q2 = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double lo = x[k].lo - f.F[k], hi = x[k].hi - f.F[k];
        q2 += std::max(lo * lo, hi * hi);
    }
    q2 *= 1.0 + 8.0 * kEta;
    const double q = std::sqrt(q2) * (1.0 + 2.0 * kEta);
    const double ew2 = norm2(f.ew), eu2 = norm2(f.eu);
    const double ewN = std::sqrt(ew2 * (1.0 + 8.0 * kEta));
    const double euN = std::sqrt(eu2 * (1.0 + 8.0 * kEta));
    const Vec normal = cross(f.ew, f.eu);
    const double normalLength = std::sqrt(norm2(normal));
    if (!(normalLength > 0.0)) return false;
    const Vec en = normal * (1.0 / normalLength);
    double defect2 = 0.0; // |I - ew ew' - eu eu' - en en'|^2 (Frobenius)
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double e = (i == j ? 1.0 : 0.0) - f.ew[i] * f.ew[j] - f.eu[i] * f.eu[j] -
                             en[i] * en[j];
            defect2 += e * e;
        }
    const double defect = std::sqrt(defect2) + 64.0 * kEta * (1.0 + ew2 + eu2);
    double tLo = 0.0, tHi = 0.0, tReach = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double lo = en[k] * (x[k].lo - f.F[k]), hi = en[k] * (x[k].hi - f.F[k]);
        tLo += std::min(lo, hi);
        tHi += std::max(lo, hi);
        tReach += std::max(std::fabs(lo), std::fabs(hi));
    }
    tLo -= 8.0 * kEta * tReach;
    tHi += 8.0 * kEta * tReach;
    const double tMin = tLo > 0.0 ? tLo : tHi < 0.0 ? -tHi : 0.0;
    const double tMax = std::max(std::fabs(tLo), std::fabs(tHi));

    // n over the box, and the magnitudes of part 2.
    const double dw = (kEps + 7.0 * kEta) * q * ewN + kFloatTiny; // |w - q.ew|
    const double du = (kEps + 7.0 * kEta) * q * euN + kFloatTiny;
    m.W = q * ewN + dw;
    m.U = q * euN + du;
    const double invS2Lo = 1.0 / (sHi * sHi) * (1.0 - 4.0 * kEta);
    const double invS2Hi = 1.0 / (sLo * sLo) * (1.0 + 4.0 * kEta);
    const double roundN = 8.0 * kEta * (q2 + invS2Hi + m.W * m.W + m.U * m.U);
    const double errN = (defect * q2 + dw * (2.0 * q * ewN + dw) + du * (2.0 * q * euN + du) +
                         roundN) *
                        (1.0 + 8.0 * kEta);
    m.c0 = tMin * tMin * (1.0 - 4.0 * kEta) - errN;
    m.nLo = (invS2Lo + m.c0) * (1.0 - 4.0 * kEta) - 4.0 * kEta * std::fabs(m.c0);
    if (!(m.nLo >= 0x1p-60)) return false;
    const double nHi = invS2Hi + tMax * tMax + errN;
    const double Q =
        (nHi + (m.W + m.L) * (m.W + m.L) + (m.U + m.L) * (m.U + m.L)) * (1.0 + 8.0 * kEta);
    if (!(Q <= 0x1p100)) return false;
    m.kappa = Q / m.nLo * (1.0 + 2.0 * kEta);

    const double ewDot = std::fabs(dot(f.ew, f.eu)) + 6.0 * kEta * ewN * euN;
    m.errD = (Lw * Lw * (std::fabs(1.0 - ew2) + 6.0 * kEta * ew2) +
              f.h * f.h * (std::fabs(1.0 - eu2) + 6.0 * kEta * eu2) + 2.0 * Lw * f.h * ewDot +
              2.0 * Lw * dw + 2.0 * f.h * du + roundN) *
             (1.0 + 8.0 * kEta);
    return true;
}

// Part 2: the closed form's rounding, over 2 |s| n at its least; false where it is not small.
bool roundingAllowance(const Frame& f, const Measures& m, double sLo, double sHi, double& err) {
    const double sqrtKappa = std::sqrt(m.kappa) * (1.0 + kEta);
    const double epsM = kEps + 3.0 * kEta * m.kappa + 4.0 * kEta;
    const double Ymax = m.U + f.h;
    const double shape =
        2.0 + 8.0 * std::min(m.W * m.W, Ymax * Ymax) / m.nLo * (1.0 + 4.0 * kEta);
    bool ok = true;
    const double dE12 = 2.0 * termError(epsM, sqrtKappa, shape, ok);
    if (!ok) return false;
    const double dE = dE12 + 8.0 * kEta * sqrtKappa + 88.0 * kEta;
    const double c0 = m.c0;
    const double sAtLeast = c0 > 0.0 ? std::clamp(1.0 / std::sqrt(c0), sLo, sHi) : sHi;
    const double sn = (1.0 / sAtLeast + sAtLeast * c0) * (1.0 - 0x1p-40) -
                      4.0 * kEta * (1.0 / sAtLeast + sAtLeast * std::fabs(c0));
    if (!(sn > 0.0)) return false;
    err = 2.0 * dE / (2.0 * sn) * (1.0 + 8.0 * kEta);
    return true;
}

} // namespace

bool triangleFieldRange(const Interval x[3], const float vertices[9], Interval strength,
                        Interval& out) {
    for (int i = 0; i < 9; ++i)
        if (!(std::fabs(vertices[i]) <= kHuge)) return false;
    if (!finiteBox(x)) return false;
    const Frame f = frameOf(vertices);
    if (f.flat) {
        out = {0.0f, 0.0f};
        return true;
    }
    const bool negative = strength.hi < 0.0f;
    if (!(strength.lo > 0.0f || negative) || !std::isfinite(strength.lo) ||
        !std::isfinite(strength.hi))
        return false;
    const double sLo = negative ? -double(strength.hi) : strength.lo;
    const double sHi = negative ? -double(strength.lo) : strength.hi;
    Measures m;
    double errClosed = 0.0;
    if (!measure(f, x, sLo, sHi, m) || !roundingAllowance(f, m, sLo, sHi, errClosed))
        return false;
    const Vec corners[3] = {f.F + f.ew * -f.a, f.F + f.ew * f.b, f.F + f.eu * f.h};
    // The corners' rounding, and that of the midpoints of up to two halvings.
    const double slack = 4.0 * kEta * (sumAbs(f.F) + m.L * (sumAbs(f.ew) + sumAbs(f.eu))) * 4.0;
    PieceBounds pieces{x, sLo, sHi, m.errD, m.c0, slack, (f.a + f.b) * f.h / 2.0};
    if (!pieces.add(corners, 0)) return false;
    const double lo = pieces.bottom * (1.0 - 4.0 * kEta) - errClosed;
    const double hi = pieces.top * (1.0 + 4.0 * kEta) + errClosed;
    if (!std::isfinite(lo) || !std::isfinite(hi)) return false;
    out = negative ? Interval{down(-hi), up(-lo)} : Interval{down(lo), up(hi)};
    return std::isfinite(out.lo) && std::isfinite(out.hi);
}

} // namespace lv::lang
