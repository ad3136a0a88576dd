#include "model/eval_bound.h"

#include <vector>

namespace lv::model {

bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out) {
    if (!slot.object || slot.workspace.empty()) return false;
    const lang::CompiledObject& object = *slot.object;
    const std::size_t inputs = static_cast<std::size_t>(object.xSize + object.aSize);
    if (inputs > slot.workspace.size()) return false;
    std::vector<lang::Interval> ranges(inputs);
    for (std::size_t i = 0; i < inputs; ++i) ranges[i] = {slot.workspace[i], slot.workspace[i]};
    const int axes[3] = {slot.xIndex, slot.yIndex, slot.zIndex};
    for (int k = 0; k < 3; ++k) {
        if (axes[k] < 0) continue;
        if (static_cast<std::size_t>(axes[k]) >= inputs) return false;
        ranges[static_cast<std::size_t>(axes[k])] = {lo[k], hi[k]};
    }
    return lang::boundObject(object, ranges.data(), out);
}

} // namespace lv::model
