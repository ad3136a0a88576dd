#pragma once
// Interval bound of the convolution field of one triangle: the closed form that the triangle
// and mesh convolution primitives evaluate for each element (double arithmetic with some
// intermediate values stored as floats) and round to float before adding.
#include "lang/interval.h"

namespace lv::lang {

// The range of every float that one triangle's field (s^3 times the integral of
// 1 / (1 + s^2 r^2)^2 over the triangle, as the primitive computes it and rounds to float)
// takes at points of the box x and strengths in strength, for the triangle with the fixed
// vertices (x, y, z of three points). False where nothing is proven: a strength range that
// holds 0 or both signs, non-finite or huge values, a sliver too thin to bound, or a box where
// the allowance for the primitive's rounding would not be small.
bool triangleFieldRange(const Interval x[3], const float vertices[9], Interval strength,
                        Interval& out);

} // namespace lv::lang
