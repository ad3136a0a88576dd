#include "dialogs/animation_rules.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "app/number_text.h"

namespace lv::dialogs {
namespace {

template <class... Args> std::string format(const char* pattern, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

std::array<bool, 3> usedFlags(const model::TimeUsage& u) { return {u.t1, u.t2, u.t3}; }

std::array<double, 3> valuesOf(const render::TimeCurveRow& row) {
    return {row.t1, row.t2, row.t3};
}

void setValues(render::TimeCurveRow& row, const std::array<double, 3>& v) {
    row.t1 = v[0], row.t2 = v[1], row.t3 = v[2];
}

// The whole text as one integer (blanks around it allowed).
std::optional<long long> parseStrictInt(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string body = text.substr(first, last - first + 1);
    std::size_t i = (body[0] == '-' || body[0] == '+') ? 1 : 0;
    if (i == body.size()) return std::nullopt;
    for (std::size_t j = i; j < body.size(); ++j)
        if (body[j] < '0' || body[j] > '9') return std::nullopt;
    return app::parseLooseInt(body);
}

} // namespace

namespace {

// A refusal of the application's guards as these dialogs show it.
std::optional<Notice> shown(const std::optional<app::Refusal>& refusal) {
    if (!refusal) return std::nullopt;
    NoticeIcon icon = NoticeIcon::None;
    if (refusal->icon == app::RefusalIcon::Information) icon = NoticeIcon::Information;
    if (refusal->icon == app::RefusalIcon::Warning) icon = NoticeIcon::Warning;
    return Notice{refusal->text, icon};
}

} // namespace

std::optional<Notice> timeVariableGuard(const model::Model& model) {
    return shown(app::timeVariableGuard(app::modelGuardState(model, 0)));
}

std::optional<Notice> animationGuard(bool workerIdle, const model::Model& model,
                                     const render::TimeCurve& curve) {
    app::GuardState state = app::modelGuardState(model, curve.count());
    state.workerIdle = workerIdle;
    return shown(app::animationGuard(state));
}

std::optional<Notice> framesSelectionGuard(const render::TimeCurve& curve) {
    app::GuardState state;
    state.timeCurveRows = curve.count();
    return shown(app::frameSelectionGuard(state));
}

std::string indexText(int frameNumber) { return format("% 10d", frameNumber); }

std::array<std::string, 3> rowValueTexts(const render::TimeCurveRow& row,
                                         const model::TimeUsage& usage) {
    const auto used = usedFlags(usage);
    const auto values = valuesOf(row);
    std::array<std::string, 3> texts;
    for (int i = 0; i < 3; ++i)
        if (used[i]) texts[i] = app::formatListValue(values[i]);
    return texts;
}

TimeCurveButtons timeCurveButtons(int selectedCount, int rowCount) {
    return {selectedCount >= 1, selectedCount == 1, rowCount > 0};
}

int proposedInsertIndex(const std::vector<int>& selectedFrameNumbers, int rowCount) {
    if (selectedFrameNumbers.empty()) return rowCount + 1;
    return *std::max_element(selectedFrameNumbers.begin(), selectedFrameNumbers.end()) + 1;
}

RowEdit insertionEdit(int proposedIndex, const model::TimeUsage& usage) {
    RowEdit edit;
    edit.caption = "Insertion Dialog";
    edit.index = std::to_string(proposedIndex);
    edit.indexEnabled = true;
    edit.valueEnabled = usedFlags(usage);
    for (auto& v : edit.values) v = app::formatFieldReal(0.0);
    edit.focusField = 0;
    return edit;
}

RowEdit modificationEdit(int frameNumber, const std::array<std::string, 3>& shownTexts,
                         const model::TimeUsage& usage) {
    RowEdit edit;
    edit.caption = "Modification Dialog";
    edit.index = std::to_string(frameNumber);
    edit.indexEnabled = false;
    edit.valueEnabled = usedFlags(usage);
    for (int i = 0; i < 3; ++i)
        edit.values[i] = app::formatFieldReal(app::parseLooseReal(shownTexts[i]));
    edit.focusField = 0;
    for (int i = 0; i < 3; ++i)
        if (edit.valueEnabled[i]) {
            edit.focusField = i + 1;
            break;
        }
    return edit;
}

std::optional<Notice> readRowEdit(const RowEdit& edit, const std::string& indexText,
                                  const std::array<std::string, 3>& valueTexts,
                                  bool insertion, int rowCount, RowValues& out) {
    RowValues read;
    const auto index = parseStrictInt(indexText);
    if (!index) return Notice{kEnterInteger, NoticeIcon::Error, 0};
    for (int i = 0; i < 3; ++i) {
        if (!edit.valueEnabled[i]) continue;
        const auto value = app::parseStrictReal(valueTexts[i]);
        if (!value) return Notice{kEnterNumber, NoticeIcon::Error, i + 1};
        if (!app::isStorableFloat(*value)) return Notice{kEnterFinite, NoticeIcon::Error, i + 1};
        read.values[i] = *value;
    }
    if (insertion && (*index < 1 || *index > rowCount + 1))
        return Notice{format("Index must be in range 1..%d", rowCount + 1), NoticeIcon::Error, 0};
    read.index = static_cast<int>(std::clamp<long long>(*index, std::numeric_limits<int>::min(),
                                                        std::numeric_limits<int>::max()));
    out = read;
    return std::nullopt;
}

render::TimeCurveRow* insertRowValues(render::TimeCurve& curve, const RowValues& values,
                                      const model::TimeUsage& usage) {
    std::array<double, 3> v{};
    const auto used = usedFlags(usage);
    for (int i = 0; i < 3; ++i)
        if (used[i]) v[i] = values.values[i];
    return curve.insertRow(values.index, v[0], v[1], v[2]);
}

void modifyRowValues(render::TimeCurveRow& row, const RowValues& values,
                     const model::TimeUsage& usage) {
    auto v = valuesOf(row);
    const auto used = usedFlags(usage);
    for (int i = 0; i < 3; ++i)
        if (used[i]) v[i] = values.values[i];
    setValues(row, v);
}

FramesSelection framesSelectionOf(const render::TimeCurve& curve) {
    FramesSelection s;
    s.single = !curve.allFrames();
    const int selected = curve.selectedRow() ? curve.frameNumber(curve.selectedRow()) : 0;
    s.number = std::to_string(selected > 0 ? selected : 1);
    s.ofLabel = format("of %d", curve.count());
    return s;
}

std::optional<Notice> storeFramesSelection(render::TimeCurve& curve, bool single,
                                           const std::string& numberText) {
    if (single) {
        const long long k = app::parseLooseInt(numberText);
        if (k < 1 || k > curve.count())
            return Notice{format("Frame number must be in range 1..%d", curve.count()),
                          NoticeIcon::Error, 0};
        curve.setSelectedRow(curve.rowAt(static_cast<int>(k)));
    }
    curve.setAllFrames(!single);
    return std::nullopt;
}

ShowChoice fallbackChoice(ShowChoice choice, const FramesDisplay& display) {
    if (choice == ShowChoice::Next && !display.nextEnabled) return ShowChoice::Particular;
    if (choice == ShowChoice::Previous && !display.previousEnabled) return ShowChoice::Particular;
    return choice;
}

FramesControl::FramesControl(render::TimeCurve& curve, render::WindowFactory factory)
    : curve_(curve), factory_(std::move(factory)) {}

std::optional<Notice> FramesControl::open(const model::Model& live) {
    previous_ = nullptr;
    current_ = nullptr;
    if (!curve_.resetFrames(live))
        return Notice{"There is not enough memory to copy the model for the animation.",
                      NoticeIcon::Error};
    usage_ = curve_.snapshot()->timeUsage();
    allFrames_ = curve_.allFrames();
    current_ = curve_.startRow();
    return std::nullopt;
}

FramesDisplay FramesControl::displayOf(const render::TimeCurveRow* row) const {
    FramesDisplay d;
    const int count = curve_.count();
    d.frameNumber = row ? curve_.frameNumber(row) : 0;
    d.groupCaption = format("Current frame is %d of %d", d.frameNumber, count);
    const auto used = usedFlags(usage_);
    const std::array<double, 3> values =
        row ? valuesOf(*row) : std::array<double, 3>{0.0, 0.0, 0.0};
    for (int i = 0; i < 3; ++i)
        d.tLines[i] = used[i] ? format("T%d := ", i + 1) + app::formatListValue(values[i]) : " ";
    d.numberText = std::to_string(d.frameNumber);
    d.nextEnabled = d.frameNumber < count;
    d.previousEnabled = d.frameNumber >= 2;
    return d;
}

FramesDisplay FramesControl::display() const { return displayOf(current_); }

std::optional<Notice> FramesControl::chooseTarget(ShowChoice choice,
                                                  const std::string& numberText) {
    allFrames_ = false;
    const int current = current_ ? curve_.frameNumber(current_) : 0;
    long long target = 0;
    switch (choice) {
    case ShowChoice::Next: target = current + 1; break;
    case ShowChoice::Previous: target = current - 1; break;
    case ShowChoice::Particular: target = app::parseLooseInt(numberText); break;
    }
    if (target < 1 || target > curve_.count())
        return Notice{
            format("Selected frame index must be in range\nfrom %d to %d", 1, curve_.count()),
            NoticeIcon::Information, 0};
    current_ = curve_.rowAt(static_cast<int>(target));
    return std::nullopt;
}

render::TimeCurveRow* FramesControl::runStart() const {
    return allFrames_ ? curve_.rowAt(1) : current_;
}

std::optional<Notice> FramesControl::prepareJobs() {
    std::optional<Notice> failure;
    render::TimeCurveRow* start = runStart();
    const int first = start ? curve_.frameNumber(start) : 0;
    if (first == 0) return std::nullopt;
    const int last = allFrames_ ? curve_.count() : first;
    for (int k = first; k <= last; ++k) {
        render::TimeCurveRow* row = curve_.rowAt(k);
        // A job made with other values (the row was edited since) would render stale values.
        if (row->job && !row->job->hasTimeValues(row->t1, row->t2, row->t3)) {
            if (previous_ == row->job.get()) previous_ = nullptr;
            row->job.reset();
        }
        if (!curve_.prepareJob(*row, factory_) && !failure)
            failure = Notice{format("Frame %d cannot be prepared for rendering: there is "
                                    "no model copy or no window for it.",
                                    k),
                             NoticeIcon::Error};
    }
    return failure;
}

void FramesControl::runRows(const std::function<void(const FramesDisplay&)>& onRow) {
    renderedByLastRun_ = 0;
    render::TimeCurveRow* start = runStart();
    int k = start ? curve_.frameNumber(start) : 0;
    if (k == 0) return;
    for (; k <= curve_.count(); ++k) {
        render::TimeCurveRow* row = curve_.rowAt(k);
        current_ = row;
        if (onRow) onRow(displayOf(row));
        if (row->job) {
            bool reuse = false;
            render::ScreenPoint place;
            if (previous_) {
                if (previous_->window()) {
                    place = previous_->window()->clientOrigin();
                    reuse = true;
                }
                previous_->hide();
            }
            if (render::rowIsUpToDate(*row)) {
                row->job->showAt(reuse, place);
            } else {
                row->job->render(reuse, place);
                ++renderedByLastRun_;
            }
            previous_ = row->job.get();
        }
        if (!allFrames_) break;
    }
}

void FramesControl::hideCurrent() {
    if (current_ && curve_.frameNumber(current_) != 0 && current_->job) current_->job->hide();
}

Notice compileFramesCommand(bool workerIdle, render::TimeCurve& curve,
                                 render::TempFilm& film) {
    if (!workerIdle) return {kExportBusy, NoticeIcon::Warning};
    if (!curve.anyFrameRendered()) return {kNoReadyFrames, NoticeIcon::Information};
    std::string error;
    if (film.compile(render::renderedFrames(curve), error))
        return {kFilmBuilt, NoticeIcon::Information};
    return {kFilmFailed, NoticeIcon::Error};
}

bool FilmPlayback::open(int fd, const std::string& path, std::string& error) {
    sample_ = 0;
    return fd >= 0 ? reader_.openDescriptor(fd, path, error) : reader_.open(path, error);
}

std::uint32_t FilmPlayback::samples() const {
    if (reader_.frameCount() == 0) return 0;
    // The last frame is held for its samples even when the header counts fewer.
    return std::max(reader_.length(),
                    reader_.frameSample(reader_.frameCount() - 1) + render::kSamplesPerFrame);
}

int FilmPlayback::seek(std::uint32_t sample) {
    const std::uint32_t n = samples();
    sample_ = n == 0 ? 0 : std::min(sample, n - 1);
    return frameIndex();
}

bool FilmPlayback::tick() {
    if (sample_ + 1 >= samples()) return false;
    ++sample_;
    return true;
}

} // namespace lv::dialogs
