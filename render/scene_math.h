#pragma once
// The little vector and matrix algebra of the scene: right-handed model space, column vectors,
// 4x4 matrices stored column by column as OpenGL loads them.
#include <array>
#include <cmath>

#include "geometry/vec3.h"

namespace lv::render {

using geom::Vec3;

// Column-major 4x4 matrix: element (row r, column c) is m[c * 4 + r].
struct Mat4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    double& at(int row, int column) { return m[static_cast<std::size_t>(column * 4 + row)]; }
    double at(int row, int column) const { return m[static_cast<std::size_t>(column * 4 + row)]; }
};

Mat4 operator*(const Mat4& a, const Mat4& b);
// The point p transformed by m (w = 1, divided by the resulting w when it is not 0).
Vec3 transformPoint(const Mat4& m, Vec3 p);
// The direction d transformed by m's upper 3x3 part.
Vec3 transformDirection(const Mat4& m, Vec3 d);

Mat4 translation(Vec3 offset);
Mat4 scaling(Vec3 factors);
// Rotation by angle radians about axis (any length but 0), counterclockwise when the axis points
// at the viewer (right-hand rule).
Mat4 rotation(Vec3 axis, double angle);
// The view matrix of a camera at eye looking along direction with the given up vector (need not
// be perpendicular to the direction). A zero direction looks down -Z; an up vector parallel to
// the direction is replaced by a perpendicular one, so the matrix is always a proper rotation.
Mat4 viewMatrix(Vec3 eye, Vec3 direction, Vec3 up);
// Perspective projection of the frustum with the near plane rectangle (-right..right) x
// (-top..top) at distance nearPlane and the far plane at farPlane.
Mat4 frustum(double right, double top, double nearPlane, double farPlane);
// The inverse of m's upper 3x3 part, transposed: transforms normals. Identity when singular.
std::array<double, 9> normalMatrix(const Mat4& m);

} // namespace lv::render
