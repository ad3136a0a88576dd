#include "render/time_curve.h"

#include <new>

namespace lv::render {

bool rowIsUpToDate(const TimeCurveRow& row) {
    return row.job && row.job->isRendered() && row.job->hasTimeValues(row.t1, row.t2, row.t3);
}

TimeCurveRow* TimeCurve::rowAt(int frameNumber) {
    if (frameNumber < 1 || frameNumber > count()) return nullptr;
    auto it = rows_.begin();
    std::advance(it, frameNumber - 1);
    return &*it;
}

int TimeCurve::frameNumber(const TimeCurveRow* row) const {
    int k = 1;
    for (const TimeCurveRow& r : rows_) {
        if (&r == row) return k;
        ++k;
    }
    return 0;
}

TimeCurveRow* TimeCurve::appendRow(double t1, double t2, double t3) {
    return insertRow(count() + 1, t1, t2, t3);
}

TimeCurveRow* TimeCurve::insertRow(int frameNumber, double t1, double t2, double t3) {
    if (frameNumber < 1 || frameNumber > count() + 1) return nullptr;
    auto at = rows_.begin();
    std::advance(at, frameNumber - 1);
    auto it = rows_.emplace(at);
    it->t1 = t1, it->t2 = t2, it->t3 = t3;
    return &*it;
}

bool TimeCurve::removeRow(const TimeCurveRow* row) {
    for (auto it = rows_.begin(); it != rows_.end(); ++it)
        if (&*it == row) {
            if (selected_ == row) selected_ = nullptr;
            if (cursor_ == it) cursor_ = rows_.end();
            rows_.erase(it);
            return true;
        }
    return false;
}

void TimeCurve::clear() {
    rows_.clear();
    cursor_ = rows_.end();
    selected_ = nullptr;
}

bool TimeCurve::setSelectedRow(TimeCurveRow* row) {
    if (row && frameNumber(row) == 0) return false;
    selected_ = row;
    return true;
}

bool TimeCurve::resetFrames(const model::Model& live) {
    for (TimeCurveRow& row : rows_) row.job.reset();
    snapshot_.reset();
    try {
        snapshot_ = live.copyModel();
    } catch (const std::bad_alloc&) {
        snapshot_.reset();
    }
    return snapshot_ != nullptr;
}

TimeCurveRow* TimeCurve::startRow() {
    if (selected_ && frameNumber(selected_) != 0) return selected_;
    return rows_.empty() ? nullptr : &rows_.front();
}

RenderJob* TimeCurve::prepareJob(TimeCurveRow& row, const WindowFactory& factory) {
    int k = frameNumber(&row);
    if (k == 0) return nullptr;
    if (row.job) return row.job.get();
    if (!snapshot_) return nullptr;
    auto job = std::make_unique<RenderJob>(k, row.t1, row.t2, row.t3, false);
    job->setRowCountSource([this] { return count(); });
    job->createWindow(factory);
    if (!job->setModel(*snapshot_)) return nullptr;
    row.job = std::move(job);
    return row.job.get();
}

bool TimeCurve::anyFrameRendered() const {
    for (const TimeCurveRow& row : rows_)
        if (row.job && row.job->isRendered()) return true;
    return false;
}

RenderJob* TimeCurve::firstRenderedJob() {
    cursor_ = rows_.begin();
    return renderedFromCursor();
}

RenderJob* TimeCurve::nextRenderedJob() {
    if (cursor_ == rows_.end()) return nullptr;
    ++cursor_;
    return renderedFromCursor();
}

RenderJob* TimeCurve::renderedFromCursor() {
    while (cursor_ != rows_.end() && !(cursor_->job && cursor_->job->isRendered())) ++cursor_;
    return cursor_ == rows_.end() ? nullptr : cursor_->job.get();
}

std::function<std::optional<exporter::PackedDib>()> renderedFrames(TimeCurve& curve) {
    return [&curve, started = false]() mutable -> std::optional<exporter::PackedDib> {
        RenderJob* job = started ? curve.nextRenderedJob() : curve.firstRenderedJob();
        started = true;
        // A frame that cannot be captured ends the film rather than leaving a gap.
        return job ? job->captureImage() : std::nullopt;
    };
}

exporter::FrameSeriesSource frameSeriesSource(TimeCurve& curve) {
    exporter::FrameSeriesSource source;
    source.rowCount = curve.count();
    source.hasFrame = [&curve](int k) {
        TimeCurveRow* row = curve.rowAt(k);
        return row && row->job && row->job->isRendered();
    };
    source.capture = [&curve](int k) -> std::optional<exporter::PackedDib> {
        TimeCurveRow* row = curve.rowAt(k);
        return row && row->job ? row->job->captureImage() : std::nullopt;
    };
    return source;
}

} // namespace lv::render
