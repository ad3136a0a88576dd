#pragma once
// A scene that a stock POV-Ray 3.7 renders with nothing but its own program: the model's
// camera, light and ray-tracing background, and each object as an isosurface of the density
// volume sampled from its F, in the object's ray-tracing colour and transform. Also the options
// file that renders it without a display.
#include <string>
#include <vector>

#include "export/density_grid.h"
#include "model/model.h"

namespace lv::exporter {

// One object of the scene.
struct RayObject {
    std::string name;        // shown in a comment
    std::string densityFile; // the df3 file's name, relative to the scene's folder
    SampleGrid grid;         // where the density was sampled
    model::Rgb colour;
    float accuracy = 0.001f;   // along a ray, in the object's own space
    double maxGradient = 1.0;  // of the density, per unit of the object's own space
    model::Transform transform;
};

// The density's container is this fraction of a cell inside the sampled box on every side: at
// the box's faces the ray tracer's interpolation wraps to the opposite face or drops to 0, which
// would be false gradients and holes.
constexpr double kContainerInset = 0.01;

// The scene text. The camera's right vector has the length width / height (negative: model
// space is right-handed), so pixels are square at any picture size. Numbers are written with a
// period whatever the locale. Each object's isosurface is where the density crosses
// kDensityThreshold, the density's unit cube stretched over the sampled box so that sample
// point (i, j, k) lies at its grid position, then scaled by the absolute scale factors, rotated
// about X, Y and Z and translated.
std::string rayScene(const model::ModelSettings& settings, int width, int height,
                     const std::vector<RayObject>& objects);

enum class RayImageFormat { Png, Bitmap };

struct RayImageOptions {
    std::string sceneFile;  // relative to the folder the ray tracer runs in
    std::string outputFile; // likewise
    RayImageFormat format = RayImageFormat::Png;
    int width = 160, height = 120;
    bool antialias = false;
};

// The options file: input, output, size and format, no display, no pause, colours written as
// the scene gives them (gamma 2.2 in and out).
std::string rayOptions(const RayImageOptions& options);

} // namespace lv::exporter
