#pragma once
// The refusals that commands apply before they act, with their exact messages. Qt-free: each
// guard reads a plain GuardState and returns the refusal to show, or nothing when the command
// may go on. Handlers ask again when they run, since shortcuts bypass the menu's enabling.
#include <optional>

#include "model/model.h"

namespace lv::app {

inline constexpr const char* kMsgRenderBusy =
    "This function is disallowed when the rendering proccess active";
inline constexpr const char* kMsgNoObjects = "Model must contain at least one object to render";
inline constexpr const char* kMsgNoTimeParameters =
    "Some objects in model must have some time dependent parameters";
inline constexpr const char* kMsgNoTimeCurve = "Animation Time Curve must be defined";
inline constexpr const char* kMsgDefineTimeVariable =
    "Lumovar expects you to define one of parameters for objects as having T1, T2 or T3 type, "
    "at first";
inline constexpr const char* kMsgExitBusy =
    "The exit function is disallowed when the rendering proccess active";
inline constexpr const char* kMsgExportBusy =
    "The exporting function is disallowed when the rendering proccess active";
inline constexpr const char* kMsgNoAnimationFrames =
    "There are no ready animation frames.\nOperation canceled.";
inline constexpr const char* kMsgDefineTimeCurve =
    "Lumovar expects you to  define Time Curve, at first"; // two blanks, as the item shows it
inline constexpr const char* kMsgFilmBuilt =
    "The animated film has been built successfuly.\nUse \"View\" menu to access it.";
inline constexpr const char* kMsgFilmFailed = "Make film operation failed.";

// The icon a refusal's box carries.
enum class RefusalIcon { None, Information, Warning };

struct Refusal {
    const char* text;
    RefusalIcon icon;
};

struct GuardState {
    bool workerIdle = true;
    int modelObjects = 0;
    model::TimeUsage timeUsage;
    int timeCurveRows = 0;
    bool animationFrameReady = false; // some time-curve row has a rendered frame
};

// Whether any time variable is bound somewhere in the model.
bool usesTime(const model::TimeUsage& usage);

// Render guard: worker busy, then an empty model (plain boxes).
std::optional<Refusal> renderGuard(const GuardState& state);
// Animation guard: the render guard, then no time variable used, then an empty time curve.
std::optional<Refusal> animationGuard(const GuardState& state);
// Time-variable guard: no time variable used (information).
std::optional<Refusal> timeVariableGuard(const GuardState& state);
// Closing the main window while the worker renders (plain).
std::optional<Refusal> exitGuard(const GuardState& state);
// Export while the worker renders (warning).
std::optional<Refusal> exportGuard(const GuardState& state);
// Compile Frames to AVI: the export guard, then no rendered animation frame (information).
std::optional<Refusal> filmGuard(const GuardState& state);
// Rendering > Animation: an empty time curve (information).
std::optional<Refusal> frameSelectionGuard(const GuardState& state);

} // namespace lv::app
