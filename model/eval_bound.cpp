#include "model/eval_bound.h"

namespace lv::model {

bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out) {
    BoundScratch scratch;
    return boundAt(slot, lo, hi, out, scratch);
}

bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out,
             BoundScratch& scratch) {
    if (!slot.object || slot.workspace.empty()) return false;
    const lang::CompiledObject& object = *slot.object;
    const std::size_t inputs = static_cast<std::size_t>(object.xSize + object.aSize);
    if (inputs > slot.workspace.size()) return false;
    std::vector<lang::Interval>& ranges = scratch.ranges;
    ranges.resize(inputs);
    // The values every evaluation starts from: the frame's, where the slot holds them.
    for (std::size_t i = 0; i < inputs; ++i) {
        const float v = i < slot.inputs.size() ? slot.inputs[i] : slot.workspace[i];
        ranges[i] = {v, v};
    }
    const int axes[3] = {slot.xIndex, slot.yIndex, slot.zIndex};
    for (int k = 0; k < 3; ++k) {
        if (axes[k] < 0) continue;
        if (static_cast<std::size_t>(axes[k]) >= inputs) return false;
        ranges[static_cast<std::size_t>(axes[k])] = {lo[k], hi[k]};
    }
    return lang::boundObject(object, ranges.data(), out, scratch.interval);
}

} // namespace lv::model
