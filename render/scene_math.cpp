#include "render/scene_math.h"

namespace lv::render {

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a.at(row, k) * b.at(k, column);
            r.at(row, column) = sum;
        }
    return r;
}

Vec3 transformPoint(const Mat4& m, Vec3 p) {
    double v[4] = {p.x, p.y, p.z, 1.0};
    double out[4] = {0, 0, 0, 0};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k) out[row] += m.at(row, k) * v[k];
    if (out[3] != 0.0 && out[3] != 1.0) return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
    return {out[0], out[1], out[2]};
}

Vec3 transformDirection(const Mat4& m, Vec3 d) {
    return {m.at(0, 0) * d.x + m.at(0, 1) * d.y + m.at(0, 2) * d.z,
            m.at(1, 0) * d.x + m.at(1, 1) * d.y + m.at(1, 2) * d.z,
            m.at(2, 0) * d.x + m.at(2, 1) * d.y + m.at(2, 2) * d.z};
}

Mat4 translation(Vec3 offset) {
    Mat4 r;
    r.at(0, 3) = offset.x;
    r.at(1, 3) = offset.y;
    r.at(2, 3) = offset.z;
    return r;
}

Mat4 scaling(Vec3 factors) {
    Mat4 r;
    r.at(0, 0) = factors.x;
    r.at(1, 1) = factors.y;
    r.at(2, 2) = factors.z;
    return r;
}

Mat4 rotation(Vec3 axis, double angle) {
    Vec3 a = normalized(axis);
    double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    Mat4 r;
    r.at(0, 0) = t * a.x * a.x + c;
    r.at(0, 1) = t * a.x * a.y - s * a.z;
    r.at(0, 2) = t * a.x * a.z + s * a.y;
    r.at(1, 0) = t * a.x * a.y + s * a.z;
    r.at(1, 1) = t * a.y * a.y + c;
    r.at(1, 2) = t * a.y * a.z - s * a.x;
    r.at(2, 0) = t * a.x * a.z - s * a.y;
    r.at(2, 1) = t * a.y * a.z + s * a.x;
    r.at(2, 2) = t * a.z * a.z + c;
    return r;
}

namespace {

bool usable(Vec3 v) { return std::isfinite(length(v)) && length(v) > 1e-12; }

// A unit vector perpendicular to unit vector f.
Vec3 anyPerpendicular(Vec3 f) {
    Vec3 trial = std::fabs(f.y) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    return normalized(cross(cross(f, trial), f));
}

} // namespace

Mat4 viewMatrix(Vec3 eye, Vec3 direction, Vec3 up) {
    Vec3 f = usable(direction) ? normalized(direction) : Vec3{0, 0, -1};
    Vec3 u = cross(cross(f, up), f);
    u = usable(u) ? normalized(u) : anyPerpendicular(f);
    Vec3 s = cross(f, u);
    Mat4 r;
    r.at(0, 0) = s.x, r.at(0, 1) = s.y, r.at(0, 2) = s.z;
    r.at(1, 0) = u.x, r.at(1, 1) = u.y, r.at(1, 2) = u.z;
    r.at(2, 0) = -f.x, r.at(2, 1) = -f.y, r.at(2, 2) = -f.z;
    if (!std::isfinite(length(eye))) eye = {};
    r.at(0, 3) = -dot(s, eye);
    r.at(1, 3) = -dot(u, eye);
    r.at(2, 3) = dot(f, eye);
    return r;
}

Mat4 frustum(double right, double top, double nearPlane, double farPlane) {
    Mat4 r;
    r.at(0, 0) = nearPlane / right;
    r.at(1, 1) = nearPlane / top;
    r.at(2, 2) = -(farPlane + nearPlane) / (farPlane - nearPlane);
    r.at(2, 3) = -2.0 * farPlane * nearPlane / (farPlane - nearPlane);
    r.at(3, 2) = -1.0;
    r.at(3, 3) = 0.0;
    return r;
}

std::array<double, 9> normalMatrix(const Mat4& m) {
    double a = m.at(0, 0), b = m.at(0, 1), c = m.at(0, 2);
    double d = m.at(1, 0), e = m.at(1, 1), f = m.at(1, 2);
    double g = m.at(2, 0), h = m.at(2, 1), i = m.at(2, 2);
    double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (det == 0.0 || !std::isfinite(det)) return {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double k = 1.0 / det;
    // Column-major inverse-transpose = the cofactor matrix divided by det, column by column.
    return {(e * i - f * h) * k, (c * h - b * i) * k, (b * f - c * e) * k,
            (f * g - d * i) * k, (a * i - c * g) * k, (c * d - a * f) * k,
            (d * h - e * g) * k, (b * g - a * h) * k, (a * e - b * d) * k};
}

} // namespace lv::render
