#include "app/command_guards.h"

namespace lv::app {

Refusal refusalOf(AppMessage message, RefusalIcon icon) {
    return Refusal{appMessage(message), icon, message};
}

GuardState modelGuardState(const model::Model& model, int timeCurveRows) {
    GuardState state;
    state.modelObjects = model.count();
    state.timeUsage = model.timeUsage();
    state.timeCurveRows = timeCurveRows;
    return state;
}

bool usesTime(const model::TimeUsage& usage) { return usage.t1 || usage.t2 || usage.t3; }

std::optional<Refusal> renderGuard(const GuardState& state) {
    if (!state.workerIdle) return refusalOf(AppMessage::RenderBusy, RefusalIcon::None);
    if (state.modelObjects <= 0) return refusalOf(AppMessage::NoObjects, RefusalIcon::None);
    return std::nullopt;
}

std::optional<Refusal> animationGuard(const GuardState& state) {
    if (auto refusal = renderGuard(state)) return refusal;
    if (!usesTime(state.timeUsage))
        return refusalOf(AppMessage::NoTimeParameters, RefusalIcon::None);
    if (state.timeCurveRows <= 0) return refusalOf(AppMessage::NoTimeCurve, RefusalIcon::None);
    return std::nullopt;
}

std::optional<Refusal> timeVariableGuard(const GuardState& state) {
    if (!usesTime(state.timeUsage))
        return refusalOf(AppMessage::DefineTimeVariable, RefusalIcon::Information);
    return std::nullopt;
}

std::optional<Refusal> exitGuard(const GuardState& state) {
    if (!state.workerIdle) return refusalOf(AppMessage::ExitBusy, RefusalIcon::None);
    return std::nullopt;
}

std::optional<Refusal> exportGuard(const GuardState& state) {
    if (!state.workerIdle) return refusalOf(AppMessage::ExportBusy, RefusalIcon::Warning);
    return std::nullopt;
}

std::optional<Refusal> filmGuard(const GuardState& state) {
    if (auto refusal = exportGuard(state)) return refusal;
    if (!state.animationFrameReady)
        return refusalOf(AppMessage::NoAnimationFrames, RefusalIcon::Information);
    return std::nullopt;
}

std::optional<Refusal> frameSelectionGuard(const GuardState& state) {
    if (state.timeCurveRows <= 0)
        return refusalOf(AppMessage::DefineTimeCurve, RefusalIcon::Information);
    return std::nullopt;
}

} // namespace lv::app
