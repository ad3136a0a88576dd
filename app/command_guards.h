#pragma once
// The refusals that commands apply before they act, with their exact messages. Qt-free: each
// guard reads a plain GuardState and returns the refusal to show, or nothing when the command
// may go on. Handlers ask again when they run, since shortcuts bypass the menu's enabling.
#include <optional>

#include "app/app_messages.h"
#include "model/model.h"

namespace lv::app {

// The refusals' texts, by the names the desktop's code uses for them.
inline constexpr const char* kMsgRenderBusy = appMessage(AppMessage::RenderBusy);
inline constexpr const char* kMsgNoObjects = appMessage(AppMessage::NoObjects);
inline constexpr const char* kMsgNoTimeParameters = appMessage(AppMessage::NoTimeParameters);
inline constexpr const char* kMsgNoTimeCurve = appMessage(AppMessage::NoTimeCurve);
inline constexpr const char* kMsgDefineTimeVariable = appMessage(AppMessage::DefineTimeVariable);
inline constexpr const char* kMsgExitBusy = appMessage(AppMessage::ExitBusy);
inline constexpr const char* kMsgExportBusy = appMessage(AppMessage::ExportBusy);
inline constexpr const char* kMsgNoAnimationFrames = appMessage(AppMessage::NoAnimationFrames);
inline constexpr const char* kMsgDefineTimeCurve = appMessage(AppMessage::DefineTimeCurve);
inline constexpr const char* kMsgFilmBuilt = appMessage(AppMessage::FilmBuilt);
inline constexpr const char* kMsgFilmFailed = appMessage(AppMessage::FilmFailed);

// The icon a refusal's box carries.
enum class RefusalIcon { None, Information, Warning };

struct Refusal {
    const char* text;
    RefusalIcon icon;
    AppMessage message; // the row of text in the message table
};

// The refusal with message's text and icon.
Refusal refusalOf(AppMessage message, RefusalIcon icon);

struct GuardState {
    bool workerIdle = true;
    int modelObjects = 0;
    model::TimeUsage timeUsage;
    int timeCurveRows = 0;
    bool animationFrameReady = false; // some time-curve row has a rendered frame
};

// The state of model and its time curve of timeCurveRows rows with an idle worker: what the
// command line, which has no worker of its own, is guarded by.
GuardState modelGuardState(const model::Model& model, int timeCurveRows);

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
