#include "model/grid_sampler.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "eval/batch_interpreter.h"

namespace lv::model {

namespace {

std::atomic<int> gThreads{std::max(1, static_cast<int>(std::thread::hardware_concurrency()))};
std::atomic<bool> gPrune{true};

// Blocks are cut into about this many parts per thread, so that uneven parts even out.
constexpr int kPartsPerThread = 8;

} // namespace

int samplingThreads() { return gThreads.load(std::memory_order_relaxed); }

void setSamplingThreads(int threads) {
    gThreads.store(std::max(1, threads), std::memory_order_relaxed);
}

bool samplingPrunes() { return gPrune.load(std::memory_order_relaxed); }

void setSamplingPrunes(bool prune) { gPrune.store(prune, std::memory_order_relaxed); }

// The job the workers share: guarded by mutex except the index counter.
struct WorkerPool::Shared {
    std::mutex mutex;
    std::condition_variable wake;     // a job is there, or the pool ends
    std::condition_variable finished; // the last index of the job has run
    const std::function<void(int, int)>* task = nullptr;
    int count = 0;
    std::atomic<int> next{0};
    int running = 0; // workers inside the current job
    int done = 0;    // indexes finished
    long generation = 0;
    bool stop = false;
    std::exception_ptr error;
    std::vector<std::thread> workers;

    // Takes indexes until none is left; thread names the runner.
    void work(int thread) {
        const std::function<void(int, int)>& f = *task;
        int finishedHere = 0;
        for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            try {
                f(i, thread);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex);
                if (!error) error = std::current_exception();
            }
            ++finishedHere;
        }
        std::lock_guard<std::mutex> lock(mutex);
        done += finishedHere;
        if (done == count) finished.notify_all();
    }
};

WorkerPool::WorkerPool(int threads)
    : threads_(std::max(1, threads)), shared_(std::make_unique<Shared>()) {
    Shared& s = *shared_;
    for (int t = 1; t < threads_; ++t) {
        s.workers.emplace_back([&s, t] {
            long seen = 0;
            for (;;) {
                {
                    std::unique_lock<std::mutex> lock(s.mutex);
                    s.wake.wait(lock, [&] { return s.stop || s.generation != seen; });
                    if (s.stop) return;
                    seen = s.generation;
                    if (s.task == nullptr) continue; // that job ended before this woke
                    ++s.running;
                }
                s.work(t);
                std::lock_guard<std::mutex> lock(s.mutex);
                if (--s.running == 0) s.finished.notify_all();
            }
        });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.notify_all();
    for (std::thread& t : shared_->workers) t.join();
}

void WorkerPool::run(int count, const std::function<void(int, int)>& task) {
    if (count <= 0) return;
    Shared& s = *shared_;
    if (threads_ == 1) {
        for (int i = 0; i < count; ++i) task(i, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.task = &task;
        s.count = count;
        s.next.store(0);
        s.done = 0;
        s.error = nullptr;
        ++s.generation;
    }
    s.wake.notify_all();
    s.work(0);
    std::exception_ptr error;
    {
        // Every index has run and no worker still reads the job before it may change.
        std::unique_lock<std::mutex> lock(s.mutex);
        s.finished.wait(lock, [&] { return s.done == s.count && s.running == 0; });
        error = s.error;
        s.task = nullptr;
    }
    if (error) std::rethrow_exception(error);
}

// A run of the points to sample (positions first..end of the block's order) evaluated by one
// program (null: the object's own).
struct GridSampler::Piece {
    std::size_t first = 0, end = 0;
    const lang::DecodedProgram* program = nullptr;
};

// The pieces one task samples, with what went wrong in them.
struct GridSampler::Part {
    std::size_t first = 0, end = 0; // pieces_[first..end)
    long long failures = 0;
    lang::RuntimeError firstError;
};

// The grid of one call and the order of the points to sample: order[n] is the index into
// values of the n-th (n itself when order is null).
struct GridSampler::Block {
    const float* xs;
    int cols;
    const float* ys;
    const float* zs;
    int planes;
    float* values;
    const std::size_t* order;
};

GridSampler::GridSampler(EvalSlot& slot, int threads)
    : slot_(slot), pool_(threads), workspaces_(static_cast<std::size_t>(pool_.threads())) {}

GridSampler::~GridSampler() = default;

bool GridSampler::bound(const float lo[3], const float hi[3], lang::Interval& out) {
    return boundAt(slot_, lo, hi, out, boundScratch_);
}

poly::ValueBound GridSampler::valueBound(const float lo[3], const float hi[3]) {
    lang::Interval range;
    std::shared_ptr<BoundLevel> level;
    if (!boundAt(slot_, lo, hi, range, boundScratch_, &level)) return {};
    return {range.lo, range.hi, true, std::move(level)};
}

void GridSampler::groupByToken(const std::size_t* points, std::size_t total,
                               const void* const* tokens) {
    // Group 0 holds the points without a token, in order; every other group one program.
    groupOf_.resize(total);
    groupPrograms_.assign(1, nullptr);
    tokenGroups_.clear();
    programGroups_.clear();
    const void* last = nullptr;
    std::size_t lastGroup = 0;
    for (std::size_t k = 0; k < total; ++k) {
        const void* token = tokens[k];
        if (token != last && token != nullptr) {
            last = token;
            auto [at, added] = tokenGroups_.try_emplace(token, 0);
            if (added) {
                // Made here, on the calling thread; the workers only read it.
                auto* level = static_cast<BoundLevel*>(const_cast<void*>(token));
                if (level->object == slot_.object.get() && level->root == slot_.object->decoded) {
                    const lang::DecodedProgram* program = &level->program();
                    auto [group, fresh] =
                        programGroups_.try_emplace(program, groupPrograms_.size());
                    if (fresh) groupPrograms_.push_back(program);
                    at->second = group->second;
                }
            }
            lastGroup = at->second;
        }
        groupOf_[k] = token == nullptr ? 0 : lastGroup;
    }
    groupStart_.assign(groupPrograms_.size() + 1, 0);
    for (std::size_t k = 0; k < total; ++k) ++groupStart_[groupOf_[k] + 1];
    for (std::size_t g = 1; g < groupStart_.size(); ++g) groupStart_[g] += groupStart_[g - 1];
    order_.resize(total);
    for (std::size_t k = 0; k < total; ++k)
        order_[groupStart_[groupOf_[k]]++] = points ? points[k] : k;
    // groupStart_[g] is now where group g ends.
}

void GridSampler::sample(const float* xs, int cols, const float* ys, int rows, const float* zs,
                         int planes, float* values, const std::size_t* points,
                         std::size_t count, const void* const* tokens) {
    if (cols < 1 || rows < 1 || planes < 1) return;
    const std::size_t total = points ? count
                                     : static_cast<std::size_t>(cols) *
                                           static_cast<std::size_t>(rows) *
                                           static_cast<std::size_t>(planes);
    if (total == 0) return;
    // As evaluateAt: an object that cannot run fails every point, not counted as failures.
    if (!slot_.object || slot_.workspace.empty() ||
        slot_.inputs.size() <
            static_cast<std::size_t>(slot_.object->xSize + slot_.object->aSize)) {
        if (!points) std::fill_n(values, total, failedEvaluationValue());
        for (std::size_t k = 0; points && k < total; ++k)
            values[points[k]] = failedEvaluationValue();
        return;
    }
    const std::size_t threads = static_cast<std::size_t>(pool_.threads());
    const std::size_t unit = eval::kMaxBatchPoints;
    std::size_t size = (total + threads * kPartsPerThread - 1) / (threads * kPartsPerThread);
    size = std::max(unit, (size + unit - 1) / unit * unit);
    pieces_.clear();
    parts_.clear();
    // Cuts [first, end) of the order into pieces of at most size points, each a part.
    auto cut = [&](std::size_t first, std::size_t end, const lang::DecodedProgram* program) {
        for (std::size_t at = first; at < end; at += size) {
            pieces_.push_back({at, std::min(end, at + size), program});
            parts_.push_back({pieces_.size() - 1, pieces_.size(), 0, {}});
        }
    };
    const std::size_t* order = points;
    if (!tokens) {
        cut(0, total, nullptr);
    } else {
        groupByToken(points, total, tokens);
        order = order_.data();
        cut(0, groupStart_[0], nullptr); // in order: the first error is the earliest point's
        // Groups gathered into parts of about size points; a larger one is cut.
        std::size_t begin = groupStart_[0];
        for (std::size_t g = 1; g < groupPrograms_.size(); ++g) {
            const std::size_t end = groupStart_[g];
            if (end - begin >= size) {
                cut(begin, end, groupPrograms_[g]);
            } else {
                // A new part after the in-order one, or once the last part is full.
                if (parts_.empty() || pieces_.back().program == nullptr ||
                    pieces_.back().end - pieces_[parts_.back().first].first >= size)
                    parts_.push_back({pieces_.size(), pieces_.size(), 0, {}});
                pieces_.push_back({begin, end, groupPrograms_[g]});
                parts_.back().end = pieces_.size();
            }
            begin = end;
        }
    }
    const Block block{xs, cols, ys, zs, planes, values, order};
    pool_.run(static_cast<int>(parts_.size()), [&](int index, int thread) {
        samplePart(parts_[static_cast<std::size_t>(index)], thread, block);
    });
    for (const Part& part : parts_) { // in point order: the first error is the earliest point's
        if (part.failures == 0) continue;
        if (slot_.failures == 0) slot_.firstError = part.firstError;
        slot_.failures += part.failures;
    }
}

void GridSampler::samplePart(Part& part, int thread, const Block& block) {
    auto& own = workspaces_[static_cast<std::size_t>(thread)];
    if (!own) own = std::make_unique<eval::BatchWorkspace>(*slot_.object);
    eval::BatchWorkspace& ws = *own;
    const lang::CompiledObject& object = *slot_.object;
    const int inputs = object.xSize + object.aSize;
    const int width = ws.points();
    const std::size_t planes = static_cast<std::size_t>(block.planes);
    const std::size_t cols = static_cast<std::size_t>(block.cols);
    float results[eval::kMaxBatchPoints];
    std::uint8_t ok[eval::kMaxBatchPoints];
    lang::RuntimeError errors[eval::kMaxBatchPoints];
    float px[eval::kMaxBatchPoints], py[eval::kMaxBatchPoints], pz[eval::kMaxBatchPoints];
    std::size_t at[eval::kMaxBatchPoints]; // index into values of each point of the batch
    for (std::size_t piece = part.first; piece < part.end; ++piece) {
        const Piece& run = pieces_[piece];
        // Grid position of the piece's first point of a whole block; advanced point by point
        // in block order.
        std::size_t cp = run.first / planes;
        std::size_t p = run.first % planes;
        std::size_t c = cp % cols;
        std::size_t r = cp / cols;
        for (std::size_t first = run.first; first < run.end;
             first += static_cast<std::size_t>(width)) {
            const int count = static_cast<int>(std::min<std::size_t>(width, run.end - first));
            if (block.order) {
                for (int k = 0; k < count; ++k) {
                    const std::size_t index = block.order[first + static_cast<std::size_t>(k)];
                    const std::size_t point = index / planes;
                    at[k] = index;
                    px[k] = block.xs[point % cols], py[k] = block.ys[point / cols];
                    pz[k] = block.zs[index % planes];
                }
            } else {
                for (int k = 0; k < count; ++k) {
                    at[k] = first + static_cast<std::size_t>(k);
                    px[k] = block.xs[c], py[k] = block.ys[r], pz[k] = block.zs[p];
                    if (++p == planes) {
                        p = 0;
                        if (++c == cols) c = 0, ++r;
                    }
                }
            }
            for (int s = 0; s < inputs; ++s) {
                float* in = ws.input(s);
                if (s == slot_.xIndex) std::copy_n(px, count, in);
                else if (s == slot_.yIndex) std::copy_n(py, count, in);
                else if (s == slot_.zIndex) std::copy_n(pz, count, in);
                else std::fill_n(in, count, slot_.inputs[static_cast<std::size_t>(s)]);
            }
            const int failed =
                run.program ? eval::executeBatch(ws, *run.program, count, results, ok, errors)
                            : eval::executeBatch(ws, count, results, ok, errors);
            for (int k = 0; k < count; ++k) {
                if (failed == 0 || ok[k]) {
                    block.values[at[k]] = results[k];
                    continue;
                }
                block.values[at[k]] = failedEvaluationValue();
                if (part.failures++ == 0) part.firstError = errors[k];
            }
        }
    }
}

} // namespace lv::model
