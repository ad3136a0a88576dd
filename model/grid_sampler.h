#pragma once
// Samples an object's F over blocks of grid points: points are evaluated in batches, and a block
// is split over worker threads. Values, failure counts and the first error are those of
// evaluateAt called point by point in the block's order, for any number of threads.
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "eval/batch_interpreter.h"
#include "model/eval_bound.h"
#include "model/model.h"
#include "polygonize/pruned_polygonizer.h"

namespace lv::model {

// Threads the samplers use when not told otherwise: the machine's cores at start-up.
int samplingThreads();
// Sets that number; values below 1 are taken as 1.
void setSamplingThreads(int threads);
// Whether the renderer, the application's mesh export and its ray tracing leave unsampled the
// blocks that interval bounds prove (the same output, fewer evaluations): true at start-up.
bool samplingPrunes();
// Sets it, for every thread.
void setSamplingPrunes(bool prune);

// A fixed set of worker threads that run the indexes of one job at a time; the calling thread
// works too, so one thread means no worker at all.
class WorkerPool {
public:
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int threads() const { return threads_; }
    // Runs task(index, thread) for every index in [0, count) and returns when all have run;
    // thread (0..threads()-1) names the thread running it, 0 being the caller. The first
    // exception a task throws is rethrown here once every task has ended.
    void run(int count, const std::function<void(int index, int thread)>& task);

private:
    struct Shared;
    int threads_;
    std::unique_ptr<Shared> shared_;
};

class GridSampler {
public:
    // Samples slot's object (the slot must outlive the sampler) on threads threads.
    GridSampler(EvalSlot& slot, int threads = samplingThreads());
    ~GridSampler();

    // F at every combination of xs[0..cols), ys[0..rows), zs[0..planes) into
    // values[(r * cols + c) * planes + p]; failed points get failedEvaluationValue() and are
    // counted in the slot as evaluateAt counts them. With points, only the count points whose
    // indexes (increasing) are points[0..count) are sampled, the others left as they are: the
    // failures and the first error are those of evaluateAt over the listed points in order.
    // tokens (one per listed point, or per point without points) may hold, for some points, a
    // token that valueBound of this sampler gave for a box holding the point and that is still
    // held: those points run the program of that box (the same values, no failures) in any
    // order, grouped by token; the others (null) keep the full program and their order.
    void sample(const float* xs, int cols, const float* ys, int rows, const float* zs,
                int planes, float* values, const std::size_t* points = nullptr,
                std::size_t count = 0, const void* const* tokens = nullptr);

    // The polygonizer's block callback: sample over the block's grid, listed points and tokens.
    void sample(const poly::SampleBlock& b) {
        sample(b.xs, b.cols, b.ys, b.rows, b.zs, b.planes, b.values, b.points, b.count,
               b.tokens);
    }

    // boundAt for the slot, reusing the sampler's storage from call to call (one thread).
    bool bound(const float lo[3], const float hi[3], lang::Interval& out);
    // The polygonizer's bound callback: an unproven bound where bound fails; a proven one
    // carries as token the box's level (eval_bound.h), for sample.
    poly::ValueBound valueBound(const float lo[3], const float hi[3]);

private:
    struct Part;
    struct Piece;
    struct Block;
    void samplePart(Part& part, int thread, const Block& block);
    // order_ and pieces_ for points grouped by tokens (the untokened ones first, in order).
    void groupByToken(const std::size_t* points, std::size_t total, const void* const* tokens);

    EvalSlot& slot_;
    WorkerPool pool_;
    std::vector<std::unique_ptr<eval::BatchWorkspace>> workspaces_; // one per thread, made lazily
    std::vector<Part> parts_;
    std::vector<Piece> pieces_;       // runs of order_ evaluated by one program
    std::vector<std::size_t> order_;  // indexes into values, in the order they are evaluated
    std::vector<std::size_t> groupOf_; // per point: its group (0: no token)
    std::vector<std::size_t> groupStart_;
    std::vector<const lang::DecodedProgram*> groupPrograms_; // per group (0: null)
    std::unordered_map<const void*, std::size_t> tokenGroups_;
    std::unordered_map<const lang::DecodedProgram*, std::size_t> programGroups_;
    BoundScratch boundScratch_;
};

} // namespace lv::model
