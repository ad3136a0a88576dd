#pragma once
// The time curve: the ordered rows of T1, T2, T3 values an animation runs through, each with
// the render job of its frame, plus the model snapshot the frames are rendered from.
#include <functional>
#include <list>
#include <memory>
#include <optional>

#include "export/image_files.h"

#include "model/model.h"
#include "render/render_job.h"

namespace lv::render {

struct TimeCurveRow {
    double t1 = 0.0, t2 = 0.0, t3 = 0.0;
    std::unique_ptr<RenderJob> job; // the frame's job; absent until the row is first rendered
};

// True when row has a rendered job made with exactly the row's values.
bool rowIsUpToDate(const TimeCurveRow& row);

class TimeCurve {
public:
    TimeCurve() = default;
    // Jobs keep a reference to their curve for "Frame: k of n": the curve stays in place.
    TimeCurve(const TimeCurve&) = delete;
    TimeCurve& operator=(const TimeCurve&) = delete;

    int count() const { return static_cast<int>(rows_.size()); }
    // The row numbered frameNumber (1-based), or null.
    TimeCurveRow* rowAt(int frameNumber);
    // The 1-based position of row, or 0 when it is not in the list.
    int frameNumber(const TimeCurveRow* row) const;
    // Adds a row without a job at the end, or so that it becomes number frameNumber (1 ..
    // count + 1). Returns it, or null for a number out of range.
    TimeCurveRow* appendRow(double t1, double t2, double t3);
    TimeCurveRow* insertRow(int frameNumber, double t1, double t2, double t3);
    // Deletes row with its job; clears the selection when it was the selected row. False when
    // row is not in the list.
    bool removeRow(const TimeCurveRow* row);
    // Deletes every row with its job and clears the selection.
    void clear();

    TimeCurveRow* selectedRow() const { return selected_; }
    // Selects row (which must be in the list) or nothing (null). False for a foreign row.
    bool setSelectedRow(TimeCurveRow* row);
    bool allFrames() const { return allFrames_; }
    void setAllFrames(bool all) { allFrames_ = all; }

    // Deletes the job of every row, then replaces the snapshot by a copy of live. False (no
    // snapshot) when the copy cannot be made.
    bool resetFrames(const model::Model& live);
    const model::Model* snapshot() const { return snapshot_.get(); }
    // The selected row if it is still in the list, else the first row, else null.
    TimeCurveRow* startRow();
    // The job of row, made first when it has none: frame number, the row's values, not
    // interactive, its window (factory, or headless) and a copy of the snapshot. Null when the
    // row is not in the list or there is no snapshot.
    RenderJob* prepareJob(TimeCurveRow& row, const WindowFactory& factory = {});

    // Whether some row has a rendered job.
    bool anyFrameRendered() const;
    // Walk of the rendered jobs in row order: the first, then each following one, then null.
    RenderJob* firstRenderedJob();
    RenderJob* nextRenderedJob();

private:
    RenderJob* renderedFromCursor();

    std::list<TimeCurveRow> rows_;
    std::list<TimeCurveRow>::iterator cursor_ = rows_.end();
    TimeCurveRow* selected_ = nullptr;
    bool allFrames_ = false;
    std::unique_ptr<model::Model> snapshot_;
};

// The captured images of the rendered frames in row order, one per call, then nothing: the
// frames of a film. Walks curve with its cursor; curve must outlive the source.
std::function<std::optional<exporter::PackedDib>()> renderedFrames(TimeCurve& curve);

// The rows of curve as the frame-series writer sees them (row k has a frame when its job is
// rendered). curve must outlive the source.
exporter::FrameSeriesSource frameSeriesSource(TimeCurve& curve);

} // namespace lv::render
