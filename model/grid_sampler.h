#pragma once
// Samples an object's F over blocks of grid points: points are evaluated in batches, and a block
// is split over worker threads. Values, failure counts and the first error are those of
// evaluateAt called point by point in the block's order, for any number of threads.
#include <functional>
#include <memory>
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
    void sample(const float* xs, int cols, const float* ys, int rows, const float* zs,
                int planes, float* values, const std::size_t* points = nullptr,
                std::size_t count = 0);

    // The polygonizer's block callback: sample over the block's grid and listed points.
    void sample(const poly::SampleBlock& b) {
        sample(b.xs, b.cols, b.ys, b.rows, b.zs, b.planes, b.values, b.points, b.count);
    }

    // boundAt for the slot, reusing the sampler's storage from call to call (one thread).
    bool bound(const float lo[3], const float hi[3], lang::Interval& out);
    // The same as the polygonizer's bound callback: an unproven bound where bound fails.
    poly::ValueBound valueBound(const float lo[3], const float hi[3]) {
        lang::Interval range;
        if (!bound(lo, hi, range)) return {};
        return {range.lo, range.hi, true};
    }

private:
    struct Part;
    struct Block;
    void samplePart(Part& part, int thread, const Block& block);

    EvalSlot& slot_;
    WorkerPool pool_;
    std::vector<std::unique_ptr<eval::BatchWorkspace>> workspaces_; // one per thread, made lazily
    std::vector<Part> parts_;
    BoundScratch boundScratch_;
};

} // namespace lv::model
