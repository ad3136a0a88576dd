#pragma once
// The single render worker: a background thread slot that runs one job function at a time.
// Callers exclude each other by refusal, not by locks: while the worker is not idle every
// command that would change the model or start another render is refused.
#include <atomic>
#include <functional>
#include <thread>

namespace lv::render {

class RenderWorker {
public:
    RenderWorker() = default;
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;
    // Waits for a running job function to return.
    ~RenderWorker();

    // Runs function on a new thread. Returns false, doing nothing, unless the worker is idle,
    // and false when no thread can be made. The worker reads as running from the moment start
    // succeeds (set before the thread exists) until function has returned. Call from one
    // controlling thread.
    bool start(std::function<void()> function);
    bool isIdle() const { return state_.load() == State::Idle; }
    // Blocks until the current job function (if any) has returned and its thread has ended.
    void wait();

private:
    enum class State { Idle, Running };
    std::atomic<State> state_{State::Idle};
    std::thread thread_;
};

} // namespace lv::render
