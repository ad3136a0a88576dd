#pragma once
// Evaluates a compiled object at a block of points at once: every instruction is dispatched
// once for the whole block and runs over its points, which gives the same value or the same
// run-time error for each point as executeObject gives for that point alone.
#include <cstdint>
#include <memory>

#include "lang/compiled_object.h"
#include "lang/decoded.h"

namespace lv::eval {

// Most points one batch run evaluates.
constexpr int kMaxBatchPoints = 64;

// The memory the batch runs of one object need on one thread; reusable across runs. Slots are
// laid out point-fastest: slot s of point p is at s * points() + p.
class BatchWorkspace {
public:
    // Sized for object and its callees; large objects get fewer points per run, so that the
    // memory stays bounded. Slots the code never touches are never written.
    explicit BatchWorkspace(const lang::CompiledObject& object);
    ~BatchWorkspace();
    BatchWorkspace(const BatchWorkspace&) = delete;
    BatchWorkspace& operator=(const BatchWorkspace&) = delete;

    // Points per run (1..kMaxBatchPoints).
    int points() const { return points_; }
    // The values of x or a component slot (0 <= slot < xSize + aSize), one per point; the caller
    // writes all of them for the points of a run before each run (a run may change them).
    float* input(int slot) { return values_.get() + static_cast<std::size_t>(slot) * points_; }

private:
    friend struct BatchAccess;
    friend int executeBatch(BatchWorkspace&, int, float*, std::uint8_t*, lang::RuntimeError*);
    friend int executeBatch(BatchWorkspace&, const lang::DecodedProgram&, int, float*,
                            std::uint8_t*, lang::RuntimeError*);
    struct FreeDeleter {
        void operator()(void* p) const;
    };
    const lang::CompiledObject* object_;
    std::shared_ptr<const lang::DecodedProgram> program_; // the object's, or decoded here
    int points_;
    std::unique_ptr<float[], FreeDeleter> values_; // workspaceSize() slots
    std::unique_ptr<int[], FreeDeleter> flags_;    // parallel to values_: the assigning run
    std::unique_ptr<float[], FreeDeleter> stack_;  // value rows, one value per point
    std::unique_ptr<float[], FreeDeleter> scratch_; // one point's frame, for primitive calls
    // Per slot: the run number of the evaluation in which every point still running stored
    // the same value there (anything else: unknown). Such values are worked on once.
    std::unique_ptr<int[], FreeDeleter> same_;
    std::unique_ptr<std::uint8_t[], FreeDeleter> sameRows_; // per value row, likewise
    int stamp_ = 0;                                 // the last run number handed out
};

// Evaluates workspace's object at count points (1..points()), whose inputs were written.
// For every point p: ok[p] = 1 and results[p] = F, or ok[p] = 0 and errors[p] filled exactly
// as executeObject reports that point's error. Returns the number of points that failed.
// Honours evaluationStop() as executeObject does.
int executeBatch(BatchWorkspace& workspace, int count, float* results, std::uint8_t* ok,
                 lang::RuntimeError* errors);
// The same, running program instead of the object's own code: program must compute what the
// object computes for these inputs (such as its code shortened for a box that holds them) and
// need no more stack than the object's code; one that needs more runs the object's own code.
int executeBatch(BatchWorkspace& workspace, const lang::DecodedProgram& program, int count,
                 float* results, std::uint8_t* ok, lang::RuntimeError* errors);

} // namespace lv::eval
