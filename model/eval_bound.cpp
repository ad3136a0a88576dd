#include "model/eval_bound.h"

#include "lang/program_shortening.h"

namespace lv::model {

bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out) {
    BoundScratch scratch;
    return boundAt(slot, lo, hi, out, scratch);
}

const lang::DecodedProgram& BoundLevel::program() {
    if (!made) {
        made = true;
        shorter = lang::shortenProgram(*base, decisions, shortened);
        std::vector<std::int8_t>().swap(decisions); // no longer needed: the level may be held
    }
    return shorter ? shortened : *base;
}

bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out,
             BoundScratch& scratch, std::shared_ptr<BoundLevel>* level) {
    if (level) level->reset();
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
    while (scratch.depth > 0 && !holds(*scratch.levels[scratch.depth - 1])) --scratch.depth;
    const lang::DecodedProgram* program = object.decoded.get();
    std::size_t from = 0; // levels[from - 1] is the one whose program is bounded (0: none)
    for (std::size_t d = scratch.depth; d > 0; --d) { // the innermost shortened program
        BoundLevel& outer = *scratch.levels[d - 1];
        const lang::DecodedProgram& shortest = outer.program();
        if (outer.shorter) {
            program = &shortest;
            from = d;
            break;
        }
    }
    if (program == nullptr)
        return lang::boundObject(object, ranges.data(), out, scratch.interval);
    const bool proven = lang::boundObject(object, program, ranges.data(), out, scratch.interval,
                                          &scratch.decisions);
    if (!proven) return false;
    if (scratch.depth >= kMaxBoundLevels) {
        if (level) *level = scratch.levels[scratch.depth - 1];
        return true;
    }
    if (scratch.levels.size() <= scratch.depth) scratch.levels.emplace_back();
    std::shared_ptr<BoundLevel>& slotLevel = scratch.levels[scratch.depth];
    // A level someone still holds stays as it is: this box gets a new one.
    if (!slotLevel || slotLevel.use_count() > 1) slotLevel = std::make_shared<BoundLevel>();
    BoundLevel& made = *slotLevel;
    made.object = &object;
    made.root = object.decoded;
    made.outer = from > 0 ? scratch.levels[from - 1] : nullptr;
    made.ranges.assign(ranges.begin(), ranges.end());
    made.base = program;
    made.decisions.swap(scratch.decisions);
    made.made = false;
    made.shorter = false;
    ++scratch.depth;
    if (!level) return true;
    // Where this box decides nothing, its program is the one it was bounded with: the level of
    // that one serves (none for the object's own code).
    bool decides = false;
    for (std::int8_t d : made.decisions)
        if (d == lang::kFirstWins || d == lang::kSecondWins || d == lang::kJumps ||
            d == lang::kFallsThrough) {
            decides = true;
            break;
        }
    if (decides) *level = slotLevel;
    else if (from > 0) *level = scratch.levels[from - 1];
    return true;
}

} // namespace lv::model
