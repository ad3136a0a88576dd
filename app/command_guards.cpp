#include "app/command_guards.h"

namespace lv::app {

bool usesTime(const model::TimeUsage& usage) { return usage.t1 || usage.t2 || usage.t3; }

std::optional<Refusal> renderGuard(const GuardState& state) {
    if (!state.workerIdle) return Refusal{kMsgRenderBusy, RefusalIcon::None};
    if (state.modelObjects <= 0) return Refusal{kMsgNoObjects, RefusalIcon::None};
    return std::nullopt;
}

std::optional<Refusal> animationGuard(const GuardState& state) {
    if (auto refusal = renderGuard(state)) return refusal;
    if (!usesTime(state.timeUsage)) return Refusal{kMsgNoTimeParameters, RefusalIcon::None};
    if (state.timeCurveRows <= 0) return Refusal{kMsgNoTimeCurve, RefusalIcon::None};
    return std::nullopt;
}

std::optional<Refusal> timeVariableGuard(const GuardState& state) {
    if (!usesTime(state.timeUsage))
        return Refusal{kMsgDefineTimeVariable, RefusalIcon::Information};
    return std::nullopt;
}

std::optional<Refusal> exitGuard(const GuardState& state) {
    if (!state.workerIdle) return Refusal{kMsgExitBusy, RefusalIcon::None};
    return std::nullopt;
}

std::optional<Refusal> exportGuard(const GuardState& state) {
    if (!state.workerIdle) return Refusal{kMsgExportBusy, RefusalIcon::Warning};
    return std::nullopt;
}

std::optional<Refusal> filmGuard(const GuardState& state) {
    if (auto refusal = exportGuard(state)) return refusal;
    if (!state.animationFrameReady)
        return Refusal{kMsgNoAnimationFrames, RefusalIcon::Information};
    return std::nullopt;
}

std::optional<Refusal> frameSelectionGuard(const GuardState& state) {
    if (state.timeCurveRows <= 0) return Refusal{kMsgDefineTimeCurve, RefusalIcon::Information};
    return std::nullopt;
}

} // namespace lv::app
