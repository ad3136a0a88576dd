#pragma once
// Interval rules of the geometric primitives beyond sphere, cylinders and block: quadrics,
// coordinate transforms, blends, blob families, spline volumes and convolution fields. Each
// rule mirrors the primitive's own computation (its float and double steps) and proves a range
// only where every value the primitive can return lies in it; anything else is unknown.
#include "lang/interval.h"

namespace lv::lang {

// One primitive call as the interval machine sees it.
struct PrimitiveCall {
    int row = 0;                     // built-in row
    const Interval* args = nullptr;  // reverse call order: args[0] is the last argument
    int argc = 0;
    float eps = 0.0f;                // EPS and ALPHA of the evaluation
    float alpha = 0.0f;
    // Resolves an array handle: the writable element ranges and their count, or null when the
    // handle is not one array whose elements are all assigned. A transform writes its new
    // coordinate ranges through it.
    Interval* (*resolve)(const void* machine, Interval handle, int& count) = nullptr;
    const void* machine = nullptr;

    Interval arg(int i) const { return args[argc - 1 - i]; } // i in call order, 0 = first
    Interval* array(int i, int& count) const { return resolve(machine, arg(i), count); }
};

// The range of every value the primitive of call.row returns for arguments in the given
// ranges; a transform also replaces its coordinate ranges by those of the moved point. False
// (and no array changed) where nothing is proven: an unknown row, a call that may fail its
// check or stop with an error, arguments that give the primitive's unusable-argument value or
// a non-finite one, or a convolution field of segments, arcs, triangles or meshes while
// convolution bounds are off.
bool boundPrimitive(const PrimitiveCall& call, Interval& out);

// Switch for the bounds of convolution fields of segments (lvconvline, lvconvcurve), arcs
// (lvconvarc) and triangles (lvconvtriangle, lvconvmesh): off unless turned on. The segment rule
// follows the closed form's single-precision steps in interval arithmetic; the arc rule bounds
// the integral itself and adds an allowance for the closed form's rounding that rests on an
// error estimate, not a proof; the triangle rule bounds the integral by the least and greatest
// distances and adds an allowance for the closed form's rounding derived in
// interval_triangle_field.cpp. Process-wide, like EPS.
void setConvolutionBounds(bool on);
bool convolutionBounds();

} // namespace lv::lang
