#include "render/render_worker.h"

#include <system_error>

namespace lv::render {

RenderWorker::~RenderWorker() { wait(); }

bool RenderWorker::start(std::function<void()> function) {
    State expected = State::Idle;
    if (!function || !state_.compare_exchange_strong(expected, State::Running)) return false;
    // The previous run has set Idle; its thread is ending (or has ended) and is joined here.
    if (thread_.joinable()) thread_.join();
    try {
        thread_ = std::thread([this, function = std::move(function)] {
            function();
            state_.store(State::Idle);
        });
    } catch (const std::system_error&) {
        state_.store(State::Idle);
        return false;
    }
    return true;
}

void RenderWorker::wait() {
    if (thread_.joinable()) thread_.join();
}

} // namespace lv::render
