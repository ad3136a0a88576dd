#pragma once
// Interval bounds of a model object over a box of sample positions, for pruned polygonizing.
#include "lang/interval.h"
#include "model/model.h"

namespace lv::model {

// The range of every value evaluateAt(slot, x, y, z) can return for (x, y, z) in the box
// [lo, hi] (lo[k] <= hi[k]), with slot's other x and a values as they stand. False where no
// range is proven (then nothing may be concluded, not even that an evaluation succeeds). Uses
// and changes nothing of slot.
bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out);

} // namespace lv::model
