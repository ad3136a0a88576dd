#pragma once
// Interval bounds of a model object over a box of sample positions, for pruned polygonizing.
#include <cstdint>
#include <memory>
#include <vector>

#include "lang/interval.h"
#include "model/model.h"

namespace lv::model {

// A proven bound that later bounds of boxes inside it build on: the min and max instructions
// it decided, and the program shortened by them (made when first asked for). That program
// gives the object's values bit for bit at every point of the box, and no point there fails.
struct BoundLevel {
    const lang::CompiledObject* object = nullptr;
    std::shared_ptr<const lang::DecodedProgram> root; // the object's code, kept alive
    std::shared_ptr<const BoundLevel> outer; // the level whose program base is, kept alive
    std::vector<lang::Interval> ranges;  // the inputs it was proven for
    const lang::DecodedProgram* base = nullptr; // the program that was bounded
    std::vector<std::int8_t> decisions;
    bool made = false;      // whether shortened holds the shortened program
    bool shorter = false;   // whether anything was left out of it
    lang::DecodedProgram shortened;

    // The program that evaluates the object at the points of the box: shortened where
    // anything was left out, else base. Makes it on the first call (not thread-safe; later
    // calls only read).
    const lang::DecodedProgram& program();
};

// Storage that boundAt keeps from one call to the next: one per thread. It also keeps the
// proven bounds of the boxes that hold the latest box, nested, so that a box inside them is
// bounded with the shortest of their programs (exact there, and cheaper). A level handed out
// by boundAt stays as it is while the caller holds it.
struct BoundScratch {
    std::vector<lang::Interval> ranges;
    lang::IntervalScratch interval;
    std::vector<std::shared_ptr<BoundLevel>> levels; // reused where no one else holds them
    std::size_t depth = 0;         // levels in use
    std::vector<std::int8_t> decisions;
};

// Most nested levels BoundScratch keeps.
constexpr std::size_t kMaxBoundLevels = 6;

// The range of every value evaluateAt(slot, x, y, z) can return for (x, y, z) in the box
// [lo, hi] (lo[k] <= hi[k]), with slot's other x and a values those evaluateAt starts from
// (the frame's, not what an earlier evaluation left in the workspace). False where no
// range is proven (then nothing may be concluded, not even that an evaluation succeeds). Uses
// and changes nothing of slot.
bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out);
// The same, reusing scratch's storage instead of allocating its own. When the box lies inside
// the box of an earlier call whose bound was proven (with the same other values), the program
// shortened by that bound's decided min and max instructions is bounded instead: the same
// values at every point there, so the result stays sound.
// With level, where the bound is proven, it is also given a level whose program() evaluates
// the object exactly at every point of the box: the box's own (kMaxBoundLevels allowing one
// more), or that of the program it was bounded with where it decides nothing; null where
// that is the object's own code.
bool boundAt(const EvalSlot& slot, const float lo[3], const float hi[3], lang::Interval& out,
             BoundScratch& scratch, std::shared_ptr<BoundLevel>* level = nullptr);

} // namespace lv::model
