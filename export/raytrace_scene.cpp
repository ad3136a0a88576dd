#include "export/raytrace_scene.h"

#include <charconv>
#include <cmath>

namespace lv::exporter {

namespace {

// value with 8 significant digits (more than a float holds), with a period in every locale.
std::string number(double value) {
    if (!std::isfinite(value)) value = 0.0;
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 8);
    return std::string(buffer, result.ptr);
}

// A float's shortest text that reads back as the same float.
std::string number(float value) {
    if (!std::isfinite(value)) value = 0.0f;
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
    return std::string(buffer, result.ptr);
}

template <class Real>
std::string vector3(Real x, Real y, Real z) {
    return "<" + number(x) + ", " + number(y) + ", " + number(z) + ">";
}

std::string vector3(const model::Vec3& v) { return vector3(v.x, v.y, v.z); }

std::string vector3(const std::array<float, 3>& v) { return vector3(v[0], v[1], v[2]); }

std::string rgb(const model::Rgb& c) {
    return "color rgb " + vector3(model::channel(c.red), model::channel(c.green),
                                  model::channel(c.blue));
}

// name with anything but printable ASCII replaced, safe inside a line comment.
std::string commentText(const std::string& name) {
    std::string text = name;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    return text;
}

// A file name inside a quoted string: quotes and backslashes would end or escape it.
std::string quoted(const std::string& name) {
    std::string text;
    for (char c : name)
        if (c != '"' && c != '\\') text += c;
    return "\"" + text + "\"";
}

std::string header(const model::ModelSettings& s, int width, int height) {
    const double aspect = height > 0 ? static_cast<double>(width) / height : 4.0 / 3.0;
    std::string t;
    t += "// Rendered by lumovar raytrace: every object is an isosurface of a density volume\n";
    t += "// sampled from its function. Render it again with: povray scene.ini\n";
    t += "#version 3.7;\n";
    t += "global_settings { assumed_gamma 2.2 }\n\n";
    t += "camera {\n";
    t += "  location " + vector3(s.cameraPosition) + "\n";
    t += "  right <" + number(-aspect) + ", 0, 0>\n";
    t += "  sky " + vector3(s.sky) + "\n";
    t += "  look_at " + vector3(s.lookAt) + "\n";
    t += "}\n\n";
    t += "light_source { <15, 15, 15> color rgb <1, 1, 1> }\n\n";
    t += "background { " + rgb(s.rayBackground) + " }\n";
    return t;
}

std::string objectBlock(const RayObject& o, int ordinal) { // ordinal counts from 1
    const SampleGrid& g = o.grid;
    const double hx = (g.xmax - g.xmin) / g.nx, hy = (g.ymax - g.ymin) / g.ny;
    const double hz = (g.zmax - g.zmin) / g.nz;
    // Sample point i sits at i / points of the density's unit cube.
    const std::string stretch = vector3(hx * g.pointsX(), hy * g.pointsY(), hz * g.pointsZ());
    const double ix = hx * kContainerInset, iy = hy * kContainerInset, iz = hz * kContainerInset;
    const model::Transform& tr = o.transform;
    const std::string density = "Density" + std::to_string(ordinal);
    std::string t;
    t += "\n// " + commentText(o.name) + "\n";
    t += "#declare " + density + " = function {\n";
    t += "  pattern { density_file df3 " + quoted(o.densityFile) + " interpolate 1\n";
    t += "            scale " + stretch + " translate " + vector3(g.xmin, g.ymin, g.zmin) +
         " }\n";
    t += "}\n";
    t += "isosurface {\n";
    t += "  function { " + number(kDensityThreshold) + " - " + density + "(x, y, z) }\n";
    t += "  contained_by { box { " + vector3(g.xmin + ix, g.ymin + iy, g.zmin + iz) + ", " +
         vector3(g.xmax - ix, g.ymax - iy, g.zmax - iz) + " } }\n";
    t += "  threshold 0\n";
    t += "  accuracy " + number(o.accuracy) + "\n";
    t += "  max_gradient " + number(o.maxGradient) + "\n";
    t += "  pigment { " + rgb(o.colour) + " }\n";
    t += "  scale " + vector3(std::fabs(tr.scale[0]), std::fabs(tr.scale[1]),
                              std::fabs(tr.scale[2])) + "\n";
    t += "  rotate " + vector3(tr.rotate) + "\n";
    t += "  translate " + vector3(tr.translate) + "\n";
    t += "}\n";
    return t;
}

} // namespace

std::string rayScene(const model::ModelSettings& settings, int width, int height,
                     const std::vector<RayObject>& objects) {
    std::string text = header(settings, width, height);
    for (std::size_t i = 0; i < objects.size(); ++i)
        text += objectBlock(objects[i], static_cast<int>(i) + 1);
    return text;
}

std::string rayOptions(const RayImageOptions& o) {
    std::string t;
    t += "; Options of lumovar raytrace's picture: run povray with this file in its folder.\n";
    t += "Input_File_Name=" + o.sceneFile + "\n";
    t += "Output_File_Name=" + o.outputFile + "\n";
    t += std::string("Output_File_Type=") + (o.format == RayImageFormat::Png ? "N" : "B") + "\n";
    t += "Output_Alpha=Off\n";
    t += "Width=" + std::to_string(o.width) + "\n";
    t += "Height=" + std::to_string(o.height) + "\n";
    t += std::string("Antialias=") + (o.antialias ? "On" : "Off") + "\n";
    t += "Display=Off\n";
    t += "Pause_When_Done=Off\n";
    t += "File_Gamma=2.2\n";
    return t;
}

} // namespace lv::exporter
