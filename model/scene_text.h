#pragma once
// The ray-tracing scene text: a camera, one light, the background and one isosurface per
// object whose function is the object's evaluation slot in an external function library.
// Lines end with LF; numbers are written with three decimals and a period in every locale.
#include <string>

#include "model/model.h"

namespace lv::model {

// value with "%.3f", the first comma (a locale's decimal comma) turned into a period.
std::string sceneNumber(float value);
// The same conversion on an already formatted number.
std::string fixDecimalComma(std::string formatted);

// The header: includes, camera, light and background.
std::string sceneHeader(const ModelSettings& settings);
// The isosurface block of object at 0-based slot index in box.
std::string sceneObjectBlock(const ModelObject& object, int index, const BoundingBox& box);

} // namespace lv::model
