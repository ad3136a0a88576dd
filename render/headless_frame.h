#pragma once
// One frame of a model drawn headless: polygonized with the run-time failures of its sample
// points counted, framed by the camera when asked, drawn offscreen. Qt-free.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "export/packed_dib.h"
#include "model/model.h"

namespace lv::render {

// The space the polygonized objects of one or more frames take, in model coordinates: the box
// around every vertex and a sphere holding every vertex. Each frame's sphere is centred on its
// box; the spheres of several frames merge into the smallest sphere holding them all.
struct FrameBounds {
    bool empty = true;
    std::array<double, 3> min{0.0, 0.0, 0.0}, max{0.0, 0.0, 0.0};
    std::array<double, 3> centre{0.0, 0.0, 0.0};
    double radius = 0.0;

    // Grows the box and the sphere to hold other too.
    void merge(const FrameBounds& other);
};

struct FrameOutcome {
    long long polygons = 0;     // polygons of every object
    long long failures = 0;     // sample points whose evaluation failed
    std::string firstError;     // the first failure, worded by the caller's FailureText
    std::string failedObject;   // the model object it happened in (the first one when none)
    std::optional<exporter::PackedDib> image; // the picture, when one was drawn
    std::string drawError;      // why nothing was drawn, when it was not
};

// Words the first failed sample point of an object (called while the frame is prepared).
using FailureText =
    std::function<std::string(const model::ModelObject& object, const lang::RuntimeError& error)>;

// Polygonizes every object of m for frame frameIndex (0: the time defaults) at t1, t2, t3,
// calling sliceDone(done, total) after each slice. Adds the vertices to bounds when given and
// draws the picture at the model's image size when draw is set. describe words the first
// failure.
FrameOutcome renderFrame(model::Model& m, int frameIndex, double t1, double t2, double t3,
                         bool draw, FrameBounds* bounds,
                         const std::function<void(int done, int total)>& sliceDone,
                         const FailureText& describe);

// Places the camera so that bounds fill the picture of settings' image size: it looks at the
// centre from the model's viewing direction (look-at minus position; the diagonal (-1,-1,-1)
// when they coincide) at the distance where the sphere of bounds' radius just fits the
// picture's shorter side with a tenth to spare. Nothing changes for empty bounds.
void fitCamera(model::ModelSettings& settings, const FrameBounds& bounds);

// Shrinks object's box to bounds (of the object alone, untransformed) grown by one grid cell of
// the box it was polygonized in on every side, within that box, so that the same grid resolves
// the object finer. Nothing changes for empty bounds.
void tightenBox(model::ModelObject& object, const model::ModelSettings& settings,
                const FrameBounds& bounds);

} // namespace lv::render
