#include "model/grid_sampler.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "lang/batch_interpreter.h"

namespace lv::model {

namespace {

std::atomic<int> gThreads{std::max(1, static_cast<int>(std::thread::hardware_concurrency()))};

// Blocks are cut into about this many parts per thread, so that uneven parts even out.
constexpr int kPartsPerThread = 8;

} // namespace

int samplingThreads() { return gThreads.load(std::memory_order_relaxed); }

void setSamplingThreads(int threads) {
    gThreads.store(std::max(1, threads), std::memory_order_relaxed);
}

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

// One contiguous range of a block's points, with what went wrong in it.
struct GridSampler::Part {
    std::size_t first = 0, end = 0;
    long long failures = 0;
    lang::RuntimeError firstError;
};

GridSampler::GridSampler(EvalSlot& slot, int threads)
    : slot_(slot), pool_(threads), workspaces_(static_cast<std::size_t>(pool_.threads())) {}

GridSampler::~GridSampler() = default;

void GridSampler::sample(const float* xs, int cols, const float* ys, int rows, const float* zs,
                         int planes, float* values) {
    if (cols < 1 || rows < 1 || planes < 1) return;
    const std::size_t total = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows) *
                              static_cast<std::size_t>(planes);
    if (!slot_.object || slot_.workspace.empty() ||
        slot_.inputs.size() < static_cast<std::size_t>(slot_.object->xSize + slot_.object->aSize)) { // as evaluateAt: failed, not counted
        std::fill_n(values, total, failedEvaluationValue());
        return;
    }
    const std::size_t threads = static_cast<std::size_t>(pool_.threads());
    const std::size_t unit = lang::kMaxBatchPoints;
    std::size_t size = (total + threads * kPartsPerThread - 1) / (threads * kPartsPerThread);
    size = std::max(unit, (size + unit - 1) / unit * unit);
    std::vector<Part> parts((total + size - 1) / size);
    for (std::size_t i = 0; i < parts.size(); ++i)
        parts[i].first = i * size, parts[i].end = std::min(total, (i + 1) * size);
    pool_.run(static_cast<int>(parts.size()), [&](int index, int thread) {
        samplePart(parts[static_cast<std::size_t>(index)], thread, xs, cols, ys, zs, planes,
                   values);
    });
    for (const Part& part : parts) { // in point order: the first error is the earliest point's
        if (part.failures == 0) continue;
        if (slot_.failures == 0) slot_.firstError = part.firstError;
        slot_.failures += part.failures;
    }
}

void GridSampler::samplePart(Part& part, int thread, const float* xs, int cols, const float* ys,
                             const float* zs, int planes, float* values) {
    auto& own = workspaces_[static_cast<std::size_t>(thread)];
    if (!own) own = std::make_unique<lang::BatchWorkspace>(*slot_.object);
    lang::BatchWorkspace& ws = *own;
    const lang::CompiledObject& object = *slot_.object;
    const int inputs = object.xSize + object.aSize;
    const int width = ws.points();
    float results[lang::kMaxBatchPoints];
    std::uint8_t ok[lang::kMaxBatchPoints];
    lang::RuntimeError errors[lang::kMaxBatchPoints];
    float px[lang::kMaxBatchPoints], py[lang::kMaxBatchPoints], pz[lang::kMaxBatchPoints];
    // Grid position of the part's first point; advanced point by point in block order.
    std::size_t cp = part.first / static_cast<std::size_t>(planes);
    int p = static_cast<int>(part.first % static_cast<std::size_t>(planes));
    int c = static_cast<int>(cp % static_cast<std::size_t>(cols));
    int r = static_cast<int>(cp / static_cast<std::size_t>(cols));
    for (std::size_t first = part.first; first < part.end; first += static_cast<std::size_t>(width)) {
        const int count = static_cast<int>(std::min<std::size_t>(width, part.end - first));
        for (int k = 0; k < count; ++k) {
            px[k] = xs[c], py[k] = ys[r], pz[k] = zs[p];
            if (++p == planes) {
                p = 0;
                if (++c == cols) c = 0, ++r;
            }
        }
        for (int s = 0; s < inputs; ++s) {
            float* in = ws.input(s);
            if (s == slot_.xIndex) std::copy_n(px, count, in);
            else if (s == slot_.yIndex) std::copy_n(py, count, in);
            else if (s == slot_.zIndex) std::copy_n(pz, count, in);
            else std::fill_n(in, count, slot_.inputs[static_cast<std::size_t>(s)]);
        }
        if (lang::executeBatch(ws, count, results, ok, errors) == 0) {
            std::copy_n(results, count, values + first);
            continue;
        }
        for (int k = 0; k < count; ++k) {
            if (ok[k]) {
                values[first + static_cast<std::size_t>(k)] = results[k];
                continue;
            }
            values[first + static_cast<std::size_t>(k)] = failedEvaluationValue();
            if (part.failures++ == 0) part.firstError = errors[k];
        }
    }
}

} // namespace lv::model
