#include "model/eval_bound.h"

#include "lang/program_shortening.h"

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
    // Leave the levels whose box does not hold this one.
    auto holds = [&](const BoundLevel& level) {
        if (level.object != &object || level.root != object.decoded ||
            level.ranges.size() != inputs)
            return false;
        for (std::size_t i = 0; i < inputs; ++i)
            if (!(level.ranges[i].lo <= ranges[i].lo && ranges[i].hi <= level.ranges[i].hi))
                return false;
        return true;
    };
    while (scratch.depth > 0 && !holds(scratch.levels[scratch.depth - 1])) --scratch.depth;
    const lang::DecodedProgram* program = object.decoded.get();
    for (std::size_t d = scratch.depth; d > 0; --d) { // the innermost shortened program
        BoundLevel& level = scratch.levels[d - 1];
        if (!level.made) {
            level.made = true;
            level.shorter = lang::shortenProgram(*level.base, level.decisions, level.shortened);
        }
        if (level.shorter) {
            program = &level.shortened;
            break;
        }
    }
    if (program == nullptr)
        return lang::boundObject(object, ranges.data(), out, scratch.interval);
    const bool proven = lang::boundObject(object, program, ranges.data(), out, scratch.interval,
                                          &scratch.decisions);
    if (proven && scratch.depth < kMaxBoundLevels) {
        if (scratch.levels.size() <= scratch.depth) scratch.levels.emplace_back();
        BoundLevel& level = scratch.levels[scratch.depth++];
        level.object = &object;
        level.root = object.decoded;
        level.ranges.assign(ranges.begin(), ranges.end());
        level.base = program;
        level.decisions.swap(scratch.decisions);
        level.made = false;
        level.shorter = false;
    }
    return proven;
}

} // namespace lv::model
