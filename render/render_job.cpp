#include "render/render_job.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <new>

namespace lv::render {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string formatCaption(const char* format, const char* prefix, int a, int b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, prefix, a, b);
    return text;
}

} // namespace

int progressPercent(long long done, long long total) {
    if (total <= 0) return 100;
    long long percent = done * 100 / total;
    return static_cast<int>(percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

bool renderSingleFrame(RenderWorker& worker, RenderJob& job, const model::Model& live) {
    if (!worker.isIdle() || !job.setModel(live)) return false;
    job.clearStopRequest();
    return worker.start([&job] { job.render(false, {}); });
}

RenderJob::RenderJob(int frameIndex, double t1, double t2, double t3, bool interactive)
    : frameIndex_(frameIndex), t1_(t1), t2_(t2), t3_(t3), interactive_(interactive) {}

RenderJob::~RenderJob() { destroyWindow(); }

int RenderJob::countSteps() {
    long long total = 0;
    if (model_)
        for (int i = 0; i < model_->count(); ++i)
            total += std::max(0, model_->object(i).grid[2]);
    totalSteps_ = static_cast<int>(std::min<long long>(total, INT_MAX));
    return totalSteps_;
}

std::string RenderJob::title() const { return "Polygonized Model"; }

std::optional<exporter::PackedDib> RenderJob::captureImage() {
    if (!window_ || !scene_ || !scene_->isCreated() || isBusy() || !isRendered())
        return std::nullopt;
    std::optional<RgbaImage> image = window_->capture(*scene_);
    if (!image) return std::nullopt;
    return exporter::PackedDib::fromPixels(image->width, image->height, image->pixels,
                                           exporter::RowOrder::BottomUp,
                                           exporter::ChannelOrder::Rgba);
}

bool RenderJob::createWindow(const WindowFactory& factory) {
    window_.reset();
    scene_.reset();
    if (factory)
        window_ = factory(*this);
    else
        window_ = std::make_unique<HeadlessWindow>();
    scene_ = std::make_unique<SceneView>();
    return window_ != nullptr;
}

void RenderJob::destroyWindow() {
    {
        std::lock_guard<std::mutex> lock(sceneMutex_);
        if (scene_) scene_->reset();
        scene_.reset();
    }
    window_.reset();
    model_.reset();
    state_ = JobState::NotRendered;
    busy_ = false;
}

bool RenderJob::setModel(const model::Model& model) {
    model_.reset();
    try {
        model_ = model.copyModel();
    } catch (const std::bad_alloc&) {
        model_.reset();
    }
    return model_ != nullptr;
}

void RenderJob::render(bool reusePosition, ScreenPoint position) {
    if (!model_) return;
    if (!window_ && !createWindow()) return;
    stepsDone_ = 0;
    lastPercent_ = -1;
    countSteps();
    updatePercent();
    int prepared = model_->prepareFrame(frameIndex_, static_cast<float>(t1_),
                                        static_cast<float>(t2_), static_cast<float>(t3_));
    window_->hide();
    const model::ImageSize& size = model_->settings.polyImage;
    window_->place(size.width, size.height, reusePosition, position);
    busy_ = true;
    state_ = JobState::Rendering;
    bool stopped = false;
    {
        std::lock_guard<std::mutex> lock(sceneMutex_);
        scene_->reset();
        window_->show();
        if (prepared) buildAndDraw();
        stopped = stopRequested();
        if (stopped) scene_->reset();
    }
    if (stopped) {
        window_->hide();
        state_ = JobState::NotRendered;
        busy_ = false;
        model_->releaseFrame();
        clearStopRequest();
        return;
    }
    state_ = JobState::Rendered;
    busy_ = false;
    model_->releaseFrame();
    clearStopRequest();
    if (frameIndex_ <= 0)
        setCaption(title());
    else
        setCaption(formatCaption("%s%d of %d", "Frame: ", frameIndex_,
                                 rowCount_ ? rowCount_() : 0));
}

void RenderJob::buildAndDraw() {
    buildSeconds_ = 0.0;
    drawSeconds_ = 0.0;
    auto start = std::chrono::steady_clock::now();
    if (!scene_->create(*model_)) return;
    bool built = scene_->build(*model_, [this] { addStep(); },
                               [this] { return stopRequested(); });
    buildSeconds_ = secondsSince(start);
    if (!built) return;
    start = std::chrono::steady_clock::now();
    window_->drawScene(*scene_);
    drawSeconds_ = secondsSince(start);
}

void RenderJob::showAt(bool reusePosition, ScreenPoint position) {
    if (!window_) return;
    if (reusePosition)
        window_->place(window_->clientWidth(), window_->clientHeight(), true, position);
    window_->show();
}

bool RenderJob::hasTimeValues(double t1, double t2, double t3) const {
    return t1_ == t1 && t2_ == t2 && t3_ == t3;
}

void RenderJob::show() {
    if (window_) window_->show();
}

void RenderJob::hide() {
    if (window_) window_->hide();
}

bool RenderJob::isVisible() const { return window_ && window_->isVisible(); }

void RenderJob::toggleVisible() {
    if (isVisible())
        hide();
    else
        show();
}

std::string RenderJob::caption() const {
    std::lock_guard<std::mutex> lock(captionMutex_);
    return caption_;
}

void RenderJob::setCaption(const std::string& caption) {
    {
        std::lock_guard<std::mutex> lock(captionMutex_);
        caption_ = caption;
    }
    if (window_) window_->setCaption(caption);
    if (captionListener_) captionListener_(caption);
}

void RenderJob::addStep() {
    ++stepsDone_;
    updatePercent();
}

void RenderJob::updatePercent() {
    int percent = progressPercent(stepsDone_, totalSteps_);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    setCaption(formatCaption("%s%d%%", "Rendering ", percent));
}

} // namespace lv::render
