#pragma once
// A ray-traced picture of one frame of a model, drawn by a stock POV-Ray: each object's F is
// sampled over its box through the model's own evaluation, clamped into a density volume, and
// the ray tracer draws the density's isosurface with the model's camera, light, background and
// each object's ray-tracing colour, accuracy and maximum gradient.
#include <functional>
#include <string>
#include <vector>

#include "model/model.h"

namespace lv::exporter {

struct RaytraceRequest {
    int frameIndex = 0;           // as prepareFrame: 0 uses the model's time defaults
    float t1 = 0.0f, t2 = 0.0f, t3 = 0.0f;
    int width = 0, height = 0;    // picture size; 0 takes the model's ray-tracing image size
    int resolution = 0;           // cells per axis of every density; 0 takes each object's grid
    int threads = 1;              // sampling threads
    bool prune = true;            // leave unsampled the points whose density bounds prove
                                  // (the same density files, fewer evaluations)
    std::string output;           // the picture: PNG when it ends in ".png", else a bitmap
    std::string keepDir;          // where the scene, options and densities stay; empty: nowhere
    bool refuseFailures = false;  // fail when a sample point's evaluation failed
    std::function<void(const std::string& step)> progress; // called before each step
    // Asked between the steps and, every few milliseconds, while the ray tracer runs (from the
    // calling thread); true ends the work there with no picture. Sampling itself ends early on
    // lang::evaluationStop(), which whoever stops should raise as well.
    std::function<bool()> stopRequested;
    // Words a failed evaluation of object o; empty: "FILE:LINE:COLUMN: error: MESSAGE" at o's
    // file, naming the called object where the failure lies in another one.
    std::function<std::string(const model::ModelObject& o, const lang::RuntimeError& e)>
        describeFailure;
};

struct RaytraceResult {
    int width = 0, height = 0;     // of the picture written
    std::string warnings;          // the ray tracer's warnings and objects left out, one a line
    std::vector<std::string> kept; // the files left in keepDir
    long long failures = 0;        // sample points whose evaluation failed
    std::string firstFailure;      // the first as FILE:LINE:COLUMN: error: MESSAGE
    bool stopped = false;          // stopRequested ended the work
    std::string stoppedObject;     // the object being sampled then; empty while tracing
};

// The error of a stopped ray trace.
constexpr const char* kRaytraceStopped = "stopped before the picture was finished";

// The names of the files in the ray tracer's folder.
constexpr const char* kRaySceneFile = "scene.pov";
constexpr const char* kRayOptionsFile = "scene.ini";
constexpr const char* kRayLogFile = "povray.log";
// The density file of the object at 0-based index i: "object1.df3" for i = 0.
std::string rayDensityFile(int i);

// Prepares the request's frame of model, samples every object (its box as for polygonizing, the
// request's or the object's cells; an object with an empty box is left out with a warning),
// writes the densities, scene and options into keepDir or a temporary folder, runs the ray
// tracer there (findPovray) and copies its picture to output through a temporary file. The
// frame is released again and a temporary folder removed on every path. False, with error set
// and output untouched, when the ray tracer is missing or fails (error then holds its own
// messages), a file cannot be written, the size is not positive or memory runs out, or when
// a sample point failed and refuseFailures is set (error then gives their count, and the result
// the first). Failures are otherwise reported among the warnings. A stop (request.stopRequested)
// ends the ray tracer's process group and fails the same way, with result.stopped set and error
// kRaytraceStopped.
bool raytraceModel(model::Model& model, const RaytraceRequest& request, RaytraceResult& result,
                   std::string& error);

} // namespace lv::exporter
