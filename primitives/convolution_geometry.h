#pragma once
// Closed-form fields of single convolution elements: the integral of the kernel
// K_s(r) = 1 / (1 + s^2 r^2)^2 over a segment (by length), a triangle (by area, times s^3) and a
// circular arc (by angle). Header-only so that the tests can compare each element on its own.
#include <cmath>

#include "geometry/vec3.h"

namespace lv::prim {

using geom::Vec3;

// Point i of a flat array of coordinate triples.
inline Vec3 pointAt(const float* data, long long i) {
    return {data[3 * i], data[3 * i + 1], data[3 * i + 2]};
}

// Each component rounded to single precision.
inline Vec3 toFloat(Vec3 a) {
    return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)};
}

// Field of the segment q0..q1 at p with strength s. Returns false (field untouched) when the
// segment has zero length.
inline bool segmentField(Vec3 p, Vec3 q0, Vec3 q1, double s, double& field) {
    const Vec3 dir = q1 - q0;
    const double L = static_cast<float>(length(dir));
    if (L == 0.0) return false;
    const Vec3 dp = p - q0;
    const double d = static_cast<float>(dot(dp, dir) / L); // foot of the perpendicular
    const double g = norm2(dp);
    const double s2 = s * s;
    // Squared distance to the segment's line. The rounded d can make g - d^2 slightly
    // negative for points on that line; it is never below zero.
    const double h2 = std::fmax(0.0, g - d * d);
    const double l = static_cast<float>(std::sqrt(s2 * h2 + 1.0));
    const double l2 = l * l;
    const double m2 = s2 * (g + L * L - 2.0 * L * d) + 1.0;
    field = (std::atan(s * (L - d) / l) + std::atan(s * d / l)) / (2.0 * s * l2 * l) +
            d / (2.0 * l2 * (l2 + s2 * d * d)) + (L - d) / (2.0 * l2 * m2);
    return true;
}

// s^3 times the field of the triangle (A, B, C) at p: the triangle is split at the foot F of
// the altitude onto its longest edge V1V2 into two right triangles, integrated in closed form.
inline double triangleField(Vec3 p, Vec3 A, Vec3 B, Vec3 C, double s) {
    const float ab = static_cast<float>(length(B - A));
    const float bc = static_cast<float>(length(C - B));
    const float ca = static_cast<float>(length(A - C));
    Vec3 v1 = A, v2 = B, v3 = C;
    if (bc >= ca && bc > ab) {
        v1 = B, v2 = C, v3 = A;
    } else if (ca >= bc && ca > ab) {
        v1 = C, v2 = A, v3 = B;
    }
    const Vec3 edge = v2 - v1;
    const double edge2 = norm2(edge);
    if (!(edge2 > 0.0)) return 0.0; // all three vertices coincide: no area
    const Vec3 F = toFloat(v1 + edge * (dot(v3 - v1, edge) / edge2));
    const double a = static_cast<float>(length(v1 - F));
    const double b = static_cast<float>(length(v2 - F));
    const double h = static_cast<float>(length(v3 - F));
    if (!(h > 0.0)) return 0.0; // collinear vertices: no area
    // F coincides with V2 only for a sliver whose apex V3 lies over V2; the edge direction is
    // then the direction of V1V2 itself.
    const Vec3 ew = b > 0.0 ? (v2 - F) * (1.0 / b) : edge * (1.0 / std::sqrt(edge2));
    const Vec3 eu = (v3 - F) * (1.0 / h);

    const Vec3 q = p - F;
    const double w = static_cast<float>(dot(q, ew));
    const double u = static_cast<float>(dot(q, eu));
    const double X = norm2(q) + 1.0 / (s * s) - w * w;
    const double n = X - u * u; // squared distance to the plane plus 1 / s^2

    const double Y = static_cast<float>(u - h);
    const double m1 = static_cast<float>(X - 2.0 * h * u + h * h);
    const double m2 = static_cast<float>((n + w * w) * h * h);
    const double Z1 = std::sqrt(m1 * b * b + m2 + 2.0 * Y * b * h * w);
    const double Z2 = std::sqrt(m1 * a * a + m2 - 2.0 * Y * a * h * w);
    const double R0 = std::sqrt(X);

    const double E1 = (std::atan((Y * h - b * w) / Z1) + std::atan((-(b - w) * b - h * u) / Z1)) *
                      (Y * b + h * w) / Z1;
    const double E2 = (std::atan((-Y * h - a * w) / Z2) + std::atan(((a + w) * a + h * u) / Z2)) *
                      (h * w - Y * a) / Z2;
    const double E3 = (std::atan((b - w) / R0) + std::atan((a + w) / R0)) * u / R0;
    return (E1 + E2 + E3) / (2.0 * s * n);
}

// Field over the angle t in [0, alpha] of the circle q(t) = (r cos t, r sin t, 0) at the local
// point b, for alpha up to a half turn. The substitution v = tan(t / 2) gives an arctangent
// term and a rational term. The rational term is written over the common denominator
// D (H - F)(M - F), where the factor Bx of both partial fractions cancels: the usual form
// divides by Bx and breaks down on the plane Bx = 0, where the integral is finite.
inline double arcPieceField(Vec3 b, double r, double alpha, double s) {
    const double s2 = s * s;
    const double rho2 = b.x * b.x + b.y * b.y;
    const double d2 = rho2 + b.z * b.z;
    const double F = 1.0 + s2 * (r * r + d2);
    const double G = 2.0 * r * s2;
    const double base = 1.0 + s2 * d2;
    const double D = 2.0 * r * r * s2 * (s2 * (rho2 - b.z * b.z) - 1.0) - r * r * r * r * s2 * s2 -
                     base * base; // = (G rho)^2 - F^2, negative for every finite point
    const double k = std::sqrt(std::fabs(D));
    const double sa = std::sin(alpha);
    const double ca = std::cos(alpha);
    const double H = (b.x * ca + b.y * sa) * G;
    const double M = b.x * G;
    const double U =
        G * (rho2 * G * sa - b.x * F * sa + b.y * F * (ca - 1.0)) / (D * (H - F) * (M - F));
    const double v = std::tan(alpha / 2.0);
    const double byG = b.y * G;
    const double W = D >= 0.0 ? std::atanh((v * (M + F) - byG) / k) + std::atanh(byG / k)
                              : std::atan((byG - v * (M + F)) / k) + std::atan(-byG / k);
    return 2.0 * F * W / (k * D) + U;
}

} // namespace lv::prim
