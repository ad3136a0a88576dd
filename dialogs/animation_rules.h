#pragma once
// What the animation dialogs show, accept and store, without widgets: the time curve list and
// its row edit, the frames selection, the frames control with the run of rows on the render
// worker, the film command and where the temporary film lives.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/command_guards.h"
#include "dialogs/notice.h"
#include "model/model.h"
#include "render/film.h"
#include "render/time_curve.h"

namespace lv::dialogs {

// The command refusals and film messages, worded once for the main window and these dialogs.
inline constexpr const char* kNoTimeCurveYet = app::kMsgDefineTimeCurve;
inline constexpr const char* kRenderBusy = app::kMsgRenderBusy;
inline constexpr const char* kNoObjectsToRender = app::kMsgNoObjects;
inline constexpr const char* kNoTimeParameters = app::kMsgNoTimeParameters;
inline constexpr const char* kNoTimeCurveRows = app::kMsgNoTimeCurve;
inline constexpr const char* kTimeVariablesNeeded = app::kMsgDefineTimeVariable;
inline constexpr const char* kExportBusy = app::kMsgExportBusy;
inline constexpr const char* kNoReadyFrames = app::kMsgNoAnimationFrames;
inline constexpr const char* kFilmBuilt = app::kMsgFilmBuilt;
inline constexpr const char* kFilmFailed = app::kMsgFilmFailed;
inline constexpr const char* kClosingRefused =
    "Closing this dialog box is disallowed when the rendering proccess active";
inline constexpr const char* kDeleteSelected = "Delete selected item(s)";
inline constexpr const char* kDeleteAll = "Delete all items?";
inline constexpr const char* kEnterInteger = "Please enter an integer.";
inline constexpr const char* kEnterNumber = "Please enter a number.";
inline constexpr const char* kEnterFinite =
    "Please enter a finite number between -3.402823e+38 and 3.402823e+38.";

// --- Guards of the commands (nullopt: go on).
// "Time &Curve": some binding must use a time variable (information box).
std::optional<Notice> timeVariableGuard(const model::Model& model);
// "Render &Animation": worker idle, objects present, a time variable used, rows present.
std::optional<Notice> animationGuard(bool workerIdle, const model::Model& model,
                                     const render::TimeCurve& curve);
// Rendering > "&Animation": the curve must have rows (information box).
std::optional<Notice> framesSelectionGuard(const render::TimeCurve& curve);

// --- Time curve list.
// The Index column of frame k: "% 10d".
std::string indexText(int frameNumber);
// The T1, T2, T3 columns of row: "%.3f" for used variables, "" for the others.
std::array<std::string, 3> rowValueTexts(const render::TimeCurveRow& row,
                                         const model::TimeUsage& usage);
struct TimeCurveButtons {
    bool remove = false, modify = false, clearAll = false;
};
TimeCurveButtons timeCurveButtons(int selectedCount, int rowCount);
// The index Insert proposes: one after the last selected frame number, else rowCount + 1.
int proposedInsertIndex(const std::vector<int>& selectedFrameNumbers, int rowCount);

// The row edit dialog. Fields: 0 index, 1..3 T1..T3.
struct RowEdit {
    std::string caption;
    std::string index;
    bool indexEnabled = true;
    std::array<std::string, 3> values;
    std::array<bool, 3> valueEnabled{};
    int focusField = 0;
};
RowEdit insertionEdit(int proposedIndex, const model::TimeUsage& usage);
// shownTexts are the row's list texts: the edits start with them read back as numbers.
RowEdit modificationEdit(int frameNumber, const std::array<std::string, 3>& shownTexts,
                         const model::TimeUsage& usage);
struct RowValues {
    int index = 0;
    std::array<double, 3> values{};
};
// Reads the edit texts (index strictly as an integer, values strictly as numbers, only the
// enabled ones) and for an insertion checks the index against 1 .. rowCount + 1.
std::optional<Notice> readRowEdit(const RowEdit& edit, const std::string& indexText,
                                  const std::array<std::string, 3>& valueTexts,
                                  bool insertion, int rowCount, RowValues& out);
// Inserts a row with the used variables' values (others 0) as number values.index.
render::TimeCurveRow* insertRowValues(render::TimeCurve& curve, const RowValues& values,
                                      const model::TimeUsage& usage);
// Replaces the used variables' values of row; the others stay.
void modifyRowValues(render::TimeCurveRow& row, const RowValues& values,
                     const model::TimeUsage& usage);

// --- "Anination Frames Selection". Field 0: the frame number.
struct FramesSelection {
    bool single = true;
    std::string number;
    std::string ofLabel;
};
FramesSelection framesSelectionOf(const render::TimeCurve& curve);
// OK: checks the number of a single frame and stores the all-frames flag and selected row.
std::optional<Notice> storeFramesSelection(render::TimeCurve& curve, bool single,
                                           const std::string& numberText);

// --- "Animation frames control".
enum class ShowChoice { Next, Previous, Particular };
struct FramesDisplay {
    int frameNumber = 0;
    std::string groupCaption;
    std::array<std::string, 3> tLines;
    std::string numberText;
    bool nextEnabled = false, previousEnabled = false;
};
// The choice that stays selected when display disables it: "Particular:".
ShowChoice fallbackChoice(ShowChoice choice, const FramesDisplay& display);

// The state and rules of one opening of the frames control, shared by the dialog (UI thread)
// and the run of rows (worker thread); the two never act at once because the dialog hides the
// controls that change this state while rows render.
class FramesControl {
public:
    // factory makes each row's window (on the UI thread, when jobs are prepared).
    FramesControl(render::TimeCurve& curve, render::WindowFactory factory);
    // Opening: deletes every row's job and renews the curve's snapshot from live, takes the time
    // usage, the all-frames flag and the start row. A message when no snapshot can be made.
    std::optional<Notice> open(const model::Model& live);
    FramesDisplay display() const;
    // "&Show": the target frame (Next, Previous or the number text) becomes current; single-frame
    // mode from now on. The range message (field 0) for a particular number out of range.
    std::optional<Notice> chooseTarget(ShowChoice choice, const std::string& numberText);
    // Makes the jobs of the rows the next run renders, on the UI thread. A message naming the
    // first row whose job cannot be made (that row is skipped by the run).
    std::optional<Notice> prepareJobs();
    // The run, on the worker: for each row, current row, onRow(display), then the previous
    // window's place is taken, that window hidden, and the row's window shown there (up to date)
    // or rendered there.
    void runRows(const std::function<void(const FramesDisplay&)>& onRow);
    // Closing: hides the current row's window.
    void hideCurrent();

    bool allFrames() const { return allFrames_; }
    render::TimeCurveRow* currentRow() const { return current_; }
    const model::TimeUsage& usage() const { return usage_; }
    // How many rows the last run rendered (the others were shown as they were).
    int renderedByLastRun() const { return renderedByLastRun_; }

private:
    FramesDisplay displayOf(const render::TimeCurveRow* row) const;
    render::TimeCurveRow* runStart() const;

    render::TimeCurve& curve_;
    render::WindowFactory factory_;
    model::TimeUsage usage_;
    bool allFrames_ = false;
    render::TimeCurveRow* current_ = nullptr;
    render::RenderJob* previous_ = nullptr;
    int renderedByLastRun_ = 0;
};

// --- "Compile Frames to &AVI": the worker check, the frames check, the compilation and its
// message. A failed compilation leaves the film not ready.
Notice compileFramesCommand(bool workerIdle, render::TimeCurve& curve,
                                 render::TempFilm& film);

// --- Playback: which frame a sample shows and how the clock advances.
inline constexpr int kPlaybackIntervalMs = 1000 / 15; // one sample
class FilmPlayback {
public:
    // Reads the film through a copy of the descriptor the application holds (or by path when
    // fd < 0); error set on failure.
    bool open(int fd, const std::string& path, std::string& error);
    const render::AviReader& reader() const { return reader_; }
    std::uint32_t samples() const;
    std::uint32_t sample() const { return sample_; }
    // Goes to sample (clamped); returns the frame index shown there (-1 for none).
    int seek(std::uint32_t sample);
    // One clock tick while playing: the next sample; false (and stays) at the end.
    bool tick();
    int frameIndex() const { return reader_.frameAtSample(sample_); }

private:
    render::AviReader reader_;
    std::uint32_t sample_ = 0;
};

} // namespace lv::dialogs
