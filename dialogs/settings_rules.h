#pragma once
// What the model-wide settings dialogs show, accept and store, without widgets: model space,
// time variables, image size, background colour, rendering quality and the EPS and ALPHA
// values. Every function that reads texts stores all of its values or, when it refuses, none.
#include <array>
#include <optional>
#include <string>

#include "dialogs/notice.h" // Notice and kNotFiniteMessage, shared with the object dialogs
#include "model/model.h"

namespace lv::dialogs {

// A refused input comes back as a Notice: its message, its icon (Error unless a function says
// otherwise) and the field (numbered per dialog, as each function says) to focus, -1 for none.

// Shown when a field read by the strict exchange holds something that is not one number.
inline constexpr const char* kNotANumberMessage = "Please enter a number.";

// Reads text with the run-time conversion (a non-number reads as 0) into out; refuses, naming
// field and leaving out alone, a value that is not finite or beyond single precision.
std::optional<Notice> readLooseFloat(const std::string& text, int field, float& out);
// Reads text with the strict exchange (the whole text one number) into out; refuses invalid
// text and values that a float cannot hold, naming field and leaving out alone.
std::optional<Notice> readStrictFloat(const std::string& text, int field, float& out);

// Which setting the size and colour dialogs store into; also the menu branch they open from.
enum class SettingsTarget { Polygonization = 0, Raytracing = 1, Both = 2 };

// --- Model Space. Fields 0..5: X from, X to, Y from, Y to, Z from, Z to.
std::array<std::string, 6> modelSpaceTexts(const model::BoundingBox& box);
// Stores the six values into box. Only non-finite values are refused; "from" may exceed "to".
std::optional<Notice> storeModelSpace(const std::array<std::string, 6>& texts,
                                      model::BoundingBox& box);

// --- Time Variables. Fields 0..2: T1, T2, T3.
inline constexpr const char* kNoTimeVariablesMessage =
    "Lumovar expects you to define one of parameters for objects as having T1, T2 or T3 type, "
    "at first";
// The refusal (information icon) of the command when no binding uses a time variable.
std::optional<Notice> timeVariablesGuard(const model::TimeUsage& usage);
std::array<std::string, 3> timeVariableTexts(const std::array<float, 3>& values);
// Field i is enabled when some binding uses time variable i + 1.
std::array<bool, 3> timeVariableEnabled(const model::TimeUsage& usage);
// Reads the three fields strictly and stores them into values.
std::optional<Notice> storeTimeVariables(const std::array<std::string, 3>& texts,
                                         std::array<float, 3>& values);

// --- Image size. Fields 0 horizontal, 1 vertical.
inline constexpr int kMinImageWidth = 20, kMaxImageWidth = 1600;
inline constexpr int kMinImageHeight = 15, kMaxImageHeight = 1200;
// "Polygonized image size" or "Raytraced image size".
std::string imageSizeCaption(SettingsTarget branch);
// The size of the branch's window (Both reads as polygonization).
model::ImageSize imageSizeOf(const model::ModelSettings& settings, SettingsTarget branch);
// Checks horizontal, then vertical, and stores the size into the chosen setting(s).
std::optional<Notice> storeImageSize(const std::string& horizontal, const std::string& vertical,
                                     SettingsTarget choice, model::ModelSettings& settings);

// --- Background color.
model::Rgb backgroundOf(const model::ModelSettings& settings, SettingsTarget branch);
void storeBackground(const model::Rgb& colour, SettingsTarget choice,
                     model::ModelSettings& settings);

// --- Rendering quality.
struct QualityChoice {
    int surfaceKind = model::SurfaceSolid; // 0 points, 1 wireframe, 2 solid
    bool flat = true;                      // false: Gouraud
    bool lighting = true;
    bool dithering = false;
    bool antialiasing = false;
};
// A stored kind other than 1 or 2 shows as points; a shading flag other than 0 as flat.
QualityChoice qualityOf(const model::ModelSettings& settings);
void storeQuality(const QualityChoice& choice, model::ModelSettings& settings);

// --- Lumovar Properties. Fields 0 EPS, 1 ALPHA.
std::array<std::string, 2> epsAlphaTexts(float eps, float alpha);
// The confirmation question for the two texts as they will be read.
std::string epsAlphaQuestion(const std::string& epsText, const std::string& alphaText);
// Checks EPS, then ALPHA, and only when both are in range stores both (lang::setEps,
// lang::setAlpha); a refusal stores neither.
std::optional<Notice> storeEpsAlpha(const std::string& epsText, const std::string& alphaText);

} // namespace lv::dialogs
