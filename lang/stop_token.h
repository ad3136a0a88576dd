#pragma once
// A request to stop evaluating, shared by everything that runs user code for a long time: the
// command line's --timeout raises it from a timer signal, a desktop Cancel from its own thread.
// Once raised, every evaluation fails at its next loop step or call and every new evaluation
// fails at once, so loops over sample points finish quickly; the caller then asks the token
// whether the failures came from a stop rather than from the program.
#include <atomic>

namespace lv::lang {

class StopToken {
public:
    // Raises the request. Safe from a signal handler and from any thread.
    void requestStop() { stopped_.store(true, std::memory_order_relaxed); }
    // Lowers it again, before the next piece of work.
    void reset() { stopped_.store(false, std::memory_order_relaxed); }
    // Whether the request is raised.
    bool stopRequested() const { return stopped_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> stopped_{false};
    static_assert(std::atomic<bool>::is_always_lock_free, "raised from signal handlers");
};

// The process-wide token the interpreter polls.
StopToken& evaluationStop();

} // namespace lv::lang
