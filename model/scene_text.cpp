#include "model/scene_text.h"

#include <cmath>
#include <cstdio>

namespace lv::model {

namespace {

std::string vector3(const char* keyword, float x, float y, float z) {
    return std::string(keyword) + " <" + sceneNumber(x) + ", " + sceneNumber(y) + ", " +
           sceneNumber(z) + ">";
}

std::string vector3(const char* keyword, const Vec3& v) { return vector3(keyword, v.x, v.y, v.z); }

std::string vector3(const char* keyword, const std::array<float, 3>& v) {
    return vector3(keyword, v[0], v[1], v[2]);
}

std::string colour(const char* keyword, const Rgb& c) {
    auto value = [](int component) {
        return sceneNumber(static_cast<float>(channel(component)));
    };
    return std::string(keyword) + " {color red " + value(c.red) + " green " + value(c.green) +
           " blue " + value(c.blue) + "}";
}

} // namespace

std::string fixDecimalComma(std::string formatted) {
    std::size_t comma = formatted.find(',');
    if (comma != std::string::npos) formatted[comma] = '.';
    return formatted;
}

std::string sceneNumber(float value) {
    // Enough room for any float with three decimals (FLT_MAX has 39 integer digits).
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", static_cast<double>(value));
    return fixDecimalComma(buffer);
}

std::string sceneHeader(const ModelSettings& s) {
    std::string t;
    t += "\n";
    t += "  #include \"colors.inc\"\n";
    t += "  #include \"textures.inc\"\n";
    t += "\n";
    t += "  camera\n";
    t += "  {\n";
    t += "    " + vector3("location", s.cameraPosition) + "\n";
    t += "    right<-1.33, 0, 0>\n";
    t += "    " + vector3("sky", s.sky) + "\n";
    t += "    " + vector3("look_at", s.lookAt) + "\n";
    t += "  }\n";
    t += "\n";
    t += "  light_source{" + vector3("", 15.0f, 15.0f, 15.0f) + " color White}\n";
    t += "\n";
    t += "  " + colour("background", s.rayBackground) + "\n";
    t += "\n";
    return t;
}

std::string sceneObjectBlock(const ModelObject& o, int index, const BoundingBox& b) {
    const Transform& tr = o.transform;
    std::array<float, 3> scale{std::fabs(tr.scale[0]), std::fabs(tr.scale[1]),
                               std::fabs(tr.scale[2])};
    std::string t;
    t += "\n";
    t += "  isosurface\n";
    t += "  {\n";
    t += "    bounded_by {box {" + vector3("", b.xmin, b.ymin, b.zmin) + "," +
         vector3("", b.xmax, b.ymax, b.zmax) + "}}\n";
    t += "    function {\"Lumovar\", <" + std::to_string(index) + ">}\n";
    t += "    accuracy " + sceneNumber(o.accuracy) + "\n";
    t += "    sign -1\n";
    t += o.autoMaxGradient != 0 ? std::string("    eval\n")
                                : "    max_gradient " + sceneNumber(o.maxGradient) + "\n";
    t += "    " + colour("pigment", o.rayColour) + "\n";
    t += "    " + vector3("scale", scale) + "\n";
    t += "    " + vector3("rotate", tr.rotate) + "\n";
    t += "    " + vector3("translate", tr.translate) + "\n";
    t += "  }\n";
    t += "\n";
    return t;
}

} // namespace lv::model
