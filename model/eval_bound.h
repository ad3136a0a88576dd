#pragma once
// Interval bounds of a model object over a box of sample positions, for pruned polygonizing.
#include <vector>

#include "lang/interval.h"
#include "model/model.h"

namespace lv::model {

// Storage that boundAt keeps from one call to the next: one per thread.
struct BoundScratch {
    std::vector<lang::Interval> ranges;
    lang::IntervalScratch interval;
};

// The range of every value evaluateAt(slot, x, y, z) can return for (x, y, z) in the box
// [lo, hi] (lo[k] <= hi[k]), with slot's other x and a values those evaluateAt starts from
// (the frame's, not what an earlier evaluation left in the workspace). False where no
// range is proven (then nothing may be concluded, not even that an evaluation succeeds). Uses
// and changes nothing of slot.
bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out);
// The same, reusing scratch's storage instead of allocating its own.
bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out,
             BoundScratch& scratch);

} // namespace lv::model
