#pragma once
// What the camera dialog shows, accepts and stores, and where "View All" puts the camera,
// without widgets. Fields 0..8: position X, Y, Z, look-at X, Y, Z, sky X, Y, Z.
#include <array>
#include <optional>
#include <string>

#include "dialogs/settings_rules.h"
#include "model/model.h"

namespace lv::dialogs {

inline constexpr double kMinCameraDistance = 1.0;
inline constexpr double kMaxCameraDistance = 100.0;
inline constexpr const char* kCollinearSkyMessage =
    "The vectors camera direction and sky are not allowed to be collinear";
// "Distance between Look At Point and Camera Position must be in range: 1.000 .. 100.000".
std::string cameraDistanceMessage();

inline constexpr int kPositionXField = 0;
inline constexpr int kSkyXField = 6;

std::array<std::string, 9> cameraTexts(const model::ModelSettings& settings);
// Reads the nine fields (non-finite values refused at their field), then checks the distance
// (focus on position X) and that the view direction is not collinear with the sky, a zero sky
// included (focus on sky X). Stores the nine values as floats only when all checks pass.
std::optional<Notice> storeCamera(const std::array<std::string, 9>& texts,
                                  model::ModelSettings& settings);

// The nine texts with the look-at point at the centre of all objects' boxes (as placed by their
// transforms; the default box when the model has no objects) and the camera on its current side
// of that point at a distance that frames them in a picture of the model's polygonization size,
// held within the dialog's distance limits. The sky is kept; a current direction that is zero or
// collinear with the sky is replaced by one that is not. Fields that do not read as finite
// numbers count as 0.
std::array<std::string, 9> viewAllTexts(const model::Model& model,
                                        const std::array<std::string, 9>& texts);

} // namespace lv::dialogs
