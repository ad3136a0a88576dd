#pragma once
// Interval evaluation of a compiled object: a range that holds every value the interpreter can
// return for x and a anywhere in given ranges, or no range at all where none is proven.
#include <cstdint>
#include <deque>
#include <vector>

#include "lang/compiled_object.h"
#include "lang/decoded.h"

namespace lv::lang {

// The closed range [lo, hi] of single-precision values.
struct Interval {
    float lo = 0.0f, hi = 0.0f;
};

// Storage that boundObject keeps from one call to the next (frames, flags, the value stack of
// every call depth) instead of allocating it anew: one per thread. What it holds between calls
// has no effect on any result.
struct IntervalScratch {
    std::vector<Interval> frame;
    std::vector<int> flags;
    std::deque<std::vector<Interval>> stacks; // by call depth; a deque keeps them in place
};

// Interval rules: each returns false when it proves nothing (a value may be non-finite or an
// evaluation may fail), else the range of every result that the interpreter's operation can
// produce for operands in the given ranges. Results are rounded outward by one ulp past the
// nearest float; the C library's transcendental functions get a further allowance.
bool intervalAdd(Interval l, Interval r, Interval& out);
bool intervalSub(Interval l, Interval r, Interval& out);
bool intervalMul(Interval l, Interval r, Interval& out);
bool intervalDiv(Interval l, Interval r, float eps, Interval& out);
bool intervalSquare(Interval l, float eps, Interval& out);
// The set operations &, @ (word kWordIntersect or kWordAt), | and \ for ALPHA in [0, 1].
bool intervalSetOperation(int word, Interval l, Interval r, float alpha, Interval& out);
// Math built-in rows, row < kMathBuiltinCount (args[0] is the last argument, as on the
// interpreter's stack).
bool intervalMath(int row, const Interval* args, float eps, Interval& out);

// The range of object's result with x and a (xSize + aSize values, in workspace order) in the
// given ranges, under the process-wide EPS and ALPHA. False when no range is proven: a
// condition or index not decided for the whole range, a possible run-time error, a built-in
// without an interval rule, more than stepLimit loop steps and calls, or a non-finite value.
bool boundObject(const CompiledObject& object, const Interval* inputs, Interval& result,
                 long long stepLimit = 100000);
// The same, reusing scratch's storage instead of allocating its own.
bool boundObject(const CompiledObject& object, const Interval* inputs, Interval& result,
                 IntervalScratch& scratch, long long stepLimit = 100000);

// What the bound learnt about one min, max or conditional jump over the whole range.
enum Decision : std::int8_t {
    kUnseen = 0,     // never run
    kFirstWins = 1,  // every run returns its first argument (the top of the stack), strictly
    kSecondWins = 2, // every run returns its second argument, strictly
    kUndecided = 3,
    kJumps = 4,        // every run of a conditional jump jumps (its condition is false)
    kFallsThrough = 5, // every run of a conditional jump goes on to the next instruction
};

// The same, running program (object's own decoded code when null), which must compute what
// object computes. With decisions, it is resized to program's length and, where the result
// is true, tells for each kDMax and kDMin what every run of it returned over the whole range
// (ties and NaN are never decided), and for each kDJumpIfFalse whether every run of it jumped
// or every run went on. Without a proven range the decisions mean nothing.
bool boundObject(const CompiledObject& object, const DecodedProgram* program,
                 const Interval* inputs, Interval& result, IntervalScratch& scratch,
                 std::vector<std::int8_t>* decisions, long long stepLimit = 100000);

} // namespace lv::lang
