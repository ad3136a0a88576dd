#include "dialogs/animation_dialogs.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "render/film_convert.h"

namespace lv::dialogs {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
std::string ss(const QString& s) { return s.toStdString(); }

QFont arial8() {
    QFont font("Arial");
    font.setPointSize(8);
    return font;
}

constexpr int kRowRole = Qt::UserRole;

// A film frame as a picture (top row first): 32-bit frames as blue, green, red, unused; 24-bit
// ones as blue, green, red. A null image for other depths.
QImage imageOf(const exporter::PackedDib& dib) {
    QImage::Format format = dib.bitsPerPixel() == 32   ? QImage::Format_RGB32
                            : dib.bitsPerPixel() == 24 ? QImage::Format_BGR888
                                                       : QImage::Format_Invalid;
    if (format == QImage::Format_Invalid) return {};
    const QImage view(dib.block().data() + dib.bitsOffset(), dib.width(), dib.height(),
                      static_cast<qsizetype>(dib.rowStride()), format);
    QImage copy = dib.bottomUp() ? view.mirrored(false, true) : view.copy();
    return copy.convertToFormat(QImage::Format_RGB32);
}

render::TimeCurveRow* rowOf(const QTreeWidgetItem* item) {
    return reinterpret_cast<render::TimeCurveRow*>(item->data(0, kRowRole).value<quintptr>());
}

} // namespace

// ---------------------------------------------------------------- row edit

RowEditDialog::RowEditDialog(ui::UiServices& ui, RowEdit edit, bool insertion, int rowCount,
                             QWidget* parent)
    : QDialog(parent), ui_(ui), edit_(std::move(edit)), insertion_(insertion),
      rowCount_(rowCount) {
    setWindowTitle(qs(edit_.caption));
    setFont(arial8());
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    const char* labels[4] = {"Index:", "T1:=", "T2:=", "T3:="};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(labels[i]);
        auto* field = new QLineEdit;
        label->setBuddy(field);
        row->addWidget(label);
        row->addWidget(field);
        fields_[static_cast<std::size_t>(i)] = field;
    }
    layout->addLayout(row);
    fields_[0]->setText(qs(edit_.index));
    fields_[0]->setEnabled(edit_.indexEnabled);
    for (int i = 0; i < 3; ++i) {
        fields_[static_cast<std::size_t>(i + 1)]->setText(qs(edit_.values[i]));
        fields_[static_cast<std::size_t>(i + 1)]->setEnabled(edit_.valueEnabled[i]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    ui::applyAccessibleNames(this);
    ui::focusAndSelect(fields_[static_cast<std::size_t>(edit_.focusField)]);
}

void RowEditDialog::accept() {
    std::array<std::string, 3> texts;
    for (int i = 0; i < 3; ++i) texts[i] = ss(fields_[static_cast<std::size_t>(i + 1)]->text());
    if (auto refusal =
            readRowEdit(edit_, ss(fields_[0]->text()), texts, insertion_, rowCount_, values_)) {
        showNotice(ui_, this, *refusal, noticeField(*refusal, fields_));
        return;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------- time curve

TimeCurveDialog::TimeCurveDialog(ui::UiServices& ui, render::TimeCurve& curve,
                                 const model::TimeUsage& usage, QWidget* parent)
    : QDialog(parent), ui_(ui), curve_(curve), usage_(usage) {
    setWindowTitle("Time curve");
    setFont(arial8());
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* label = new QLabel("Time vars values:");
    list_ = new QTreeWidget;
    label->setBuddy(list_);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({"Index", "T1", "T2", "T3"});
    for (int c = 0; c < 4; ++c) list_->headerItem()->setTextAlignment(c, Qt::AlignCenter);
    list_->setMinimumWidth(340);
    left->addWidget(label);
    left->addWidget(list_);
    layout->addLayout(left);
    auto* buttons = new QVBoxLayout;
    insert_ = new QPushButton("&Insert");
    modify_ = new QPushButton("&Modify");
    remove_ = new QPushButton("&Remove");
    clear_ = new QPushButton("&Clear All");
    close_ = new QPushButton("Clo&se");
    for (QPushButton* b : {insert_, modify_, remove_, clear_}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    connect(insert_, &QPushButton::clicked, this, &TimeCurveDialog::insertRow);
    connect(modify_, &QPushButton::clicked, this, &TimeCurveDialog::modifyRow);
    connect(remove_, &QPushButton::clicked, this, &TimeCurveDialog::removeRows);
    connect(clear_, &QPushButton::clicked, this, &TimeCurveDialog::clearAll);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &TimeCurveDialog::updateButtons);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (modify_->isEnabled()) modifyRow();
    });
    refill();
    ui::applyAccessibleNames(this);
    // Index 50 pixels; the three value columns share the rest, the last one pixel wider.
    const int rest = std::max(90, list_->viewport()->width() - 50);
    list_->setColumnWidth(0, 50);
    list_->setColumnWidth(1, rest / 3);
    list_->setColumnWidth(2, rest / 3);
    list_->setColumnWidth(3, rest / 3 + 1);
}

QPushButton* TimeCurveDialog::button(const QString& text) const {
    for (QPushButton* b : {insert_, modify_, remove_, clear_, close_})
        if (b->text() == text) return b;
    return nullptr;
}

void TimeCurveDialog::refill() {
    list_->clear();
    for (int k = 1; k <= curve_.count(); ++k) {
        render::TimeCurveRow* row = curve_.rowAt(k);
        auto* item = new QTreeWidgetItem(list_);
        item->setData(0, kRowRole, QVariant::fromValue(reinterpret_cast<quintptr>(row)));
        item->setText(0, qs(indexText(k)));
        const auto texts = rowValueTexts(*row, usage_);
        for (int c = 0; c < 3; ++c) item->setText(c + 1, qs(texts[c]));
        for (int c = 0; c < 4; ++c) item->setTextAlignment(c, Qt::AlignCenter);
    }
    updateButtons();
}

std::vector<int> TimeCurveDialog::selectedFrameNumbers() const {
    std::vector<int> numbers;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->isSelected()) numbers.push_back(i + 1);
    return numbers;
}

void TimeCurveDialog::updateButtons() {
    const TimeCurveButtons b =
        timeCurveButtons(static_cast<int>(selectedFrameNumbers().size()), curve_.count());
    remove_->setEnabled(b.remove);
    modify_->setEnabled(b.modify);
    clear_->setEnabled(b.clearAll);
}

void TimeCurveDialog::insertRow() {
    const int proposed = proposedInsertIndex(selectedFrameNumbers(), curve_.count());
    RowEditDialog dialog(ui_, insertionEdit(proposed, usage_), true, curve_.count(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!insertRowValues(curve_, dialog.values(), usage_)) return;
    refill();
    list_->topLevelItem(dialog.values().index - 1)->setSelected(true);
}

void TimeCurveDialog::modifyRow() {
    const std::vector<int> selected = selectedFrameNumbers();
    if (selected.size() != 1) return;
    QTreeWidgetItem* item = list_->topLevelItem(selected[0] - 1);
    render::TimeCurveRow* row = rowOf(item);
    std::array<std::string, 3> shown;
    for (int c = 0; c < 3; ++c) shown[c] = ss(item->text(c + 1));
    RowEditDialog dialog(ui_, modificationEdit(selected[0], shown, usage_), false,
                         curve_.count(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    modifyRowValues(*row, dialog.values(), usage_);
    const auto texts = rowValueTexts(*row, usage_);
    for (int c = 0; c < 3; ++c) item->setText(c + 1, qs(texts[c]));
}

void TimeCurveDialog::removeRows() {
    if (selectedFrameNumbers().empty()) return;
    if (ui_.message(this, kDeleteSelected, ui::MsgIcon::Question, ui::MsgButtons::YesNo,
                    ui::MsgResult::No) != ui::MsgResult::Yes)
        return;
    for (QTreeWidgetItem* item : list_->selectedItems()) curve_.removeRow(rowOf(item));
    refill();
}

void TimeCurveDialog::clearAll() {
    if (ui_.message(this, kDeleteAll, ui::MsgIcon::Question, ui::MsgButtons::YesNo,
                    ui::MsgResult::No) != ui::MsgResult::Yes)
        return;
    curve_.clear();
    refill();
}

// ---------------------------------------------------------------- frames selection

FramesSelectionDialog::FramesSelectionDialog(ui::UiServices& ui, render::TimeCurve& curve,
                                             QWidget* parent)
    : QDialog(parent), ui_(ui), curve_(curve) {
    setWindowTitle("Anination Frames Selection");
    setFont(arial8());
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("Result:");
    auto* grid = new QGridLayout(group);
    single_ = new QRadioButton("&Single Frame");
    all_ = new QRadioButton("&All Frames");
    number_ = new QLineEdit;
    number_->setAccessibleName("Frame number");
    const FramesSelection s = framesSelectionOf(curve_);
    of_ = new QLabel(qs(s.ofLabel));
    grid->addWidget(single_, 0, 0);
    grid->addWidget(number_, 0, 1);
    grid->addWidget(of_, 0, 2);
    grid->addWidget(all_, 1, 0);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    (s.single ? single_ : all_)->setChecked(true);
    number_->setText(qs(s.number));
    connect(single_, &QRadioButton::clicked, this, &FramesSelectionDialog::choiceChanged);
    connect(all_, &QRadioButton::clicked, this, &FramesSelectionDialog::choiceChanged);
    ui::applyAccessibleNames(this);
    choiceChanged();
}

void FramesSelectionDialog::choiceChanged() {
    const bool single = single_->isChecked();
    number_->setEnabled(single);
    of_->setEnabled(single);
    if (single) ui::focusAndSelect(number_);
}

void FramesSelectionDialog::accept() {
    if (auto refusal = storeFramesSelection(curve_, single_->isChecked(), ss(number_->text()))) {
        showNotice(ui_, this, *refusal, number_);
        return;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------- frames control

FramesControlDialog::FramesControlDialog(ui::UiServices& ui, render::RenderWorker& worker,
                                         FramesControl& control, QWidget* parent)
    : QDialog(parent), ui_(ui), worker_(worker), control_(control) {
    setWindowTitle("Animation frames control");
    setFont(arial8());
    auto* layout = new QVBoxLayout(this);
    current_ = new QGroupBox("Current frame is ");
    auto* lines = new QVBoxLayout(current_);
    for (auto& label : tLines_) {
        label = new QLabel(" ");
        lines->addWidget(label);
    }
    layout->addWidget(current_);
    showNext_ = new QGroupBox("Show next:");
    auto* grid = new QGridLayout(showNext_);
    choices_ = new QButtonGroup(this);
    const char* names[3] = {"Next", "Previous", "Particular:"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(names[i]);
        choices_->addButton(radio, i);
        grid->addWidget(radio, i, 0);
        connect(radio, &QRadioButton::clicked, this, &FramesControlDialog::choiceClicked);
    }
    number_ = new QLineEdit;
    number_->setAccessibleName("Particular:");
    grid->addWidget(number_, 2, 1);
    layout->addWidget(showNext_);
    auto* row = new QHBoxLayout;
    show_ = new QPushButton("&Show");
    close_ = new QPushButton("&Close");
    show_->setDefault(true);
    row->addWidget(show_);
    row->addWidget(close_);
    layout->addLayout(row);
    connect(show_, &QPushButton::clicked, this, &FramesControlDialog::showTarget);
    connect(close_, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    ui::applyAccessibleNames(this);

    choice(ShowChoice::Next)->setChecked(true);
    number_->setEnabled(false);
    applyDisplay(control_.display());
    startRun();
}

QRadioButton* FramesControlDialog::choice(ShowChoice c) const {
    return static_cast<QRadioButton*>(choices_->button(static_cast<int>(c)));
}

ShowChoice FramesControlDialog::checkedChoice() const {
    return static_cast<ShowChoice>(std::max(0, choices_->checkedId()));
}

void FramesControlDialog::choiceClicked() {
    const bool particular = checkedChoice() == ShowChoice::Particular;
    number_->setEnabled(particular);
    if (particular) ui::focusAndSelect(number_);
}

void FramesControlDialog::applyDisplay(const FramesDisplay& d) {
    displays_.push_back(d);
    current_->setTitle(qs(d.groupCaption));
    captions_ << current_->title();
    for (int i = 0; i < 3; ++i) tLines_[static_cast<std::size_t>(i)]->setText(qs(d.tLines[i]));
    number_->setText(qs(d.numberText));
    choice(ShowChoice::Next)->setEnabled(d.nextEnabled);
    choice(ShowChoice::Previous)->setEnabled(d.previousEnabled);
    const ShowChoice checked = checkedChoice();
    if (fallbackChoice(checked, d) != checked) {
        choice(ShowChoice::Particular)->setChecked(true);
        number_->setEnabled(true);
        if (!rendering_) ui::focusAndSelect(number_);
    }
}

void FramesControlDialog::setControlsVisible(bool visible) {
    showNext_->setVisible(visible);
    for (QAbstractButton* b : choices_->buttons()) b->setVisible(visible);
    number_->setVisible(visible);
    show_->setVisible(visible);
    close_->setVisible(visible);
}

void FramesControlDialog::startRun() {
    setControlsVisible(false);
    if (auto failure = control_.prepareJobs()) showNotice(ui_, this, *failure);
    rendering_ = true;
    const bool started = worker_.start([this] {
        control_.runRows([this](const FramesDisplay& d) {
            QMetaObject::invokeMethod(this, [this, d] { applyDisplay(d); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(this, [this] { finishRun(); }, Qt::QueuedConnection);
    });
    if (!started) finishRun();
}

void FramesControlDialog::finishRun() {
    rendering_ = false;
    setControlsVisible(true);
    if (checkedChoice() == ShowChoice::Particular) {
        number_->setEnabled(true);
        ui::focusAndSelect(number_);
    } else {
        show_->setFocus();
    }
    Q_EMIT runFinished();
}

void FramesControlDialog::showTarget() {
    if (rendering_) return;
    if (auto refusal = control_.chooseTarget(checkedChoice(), ss(number_->text()))) {
        showNotice(ui_, this, *refusal, number_);
        return;
    }
    applyDisplay(control_.display());
    startRun();
}

void FramesControlDialog::done(int result) {
    // Escape, the close box and every other way out end here: refused while rows render, since
    // the run posts to this dialog.
    if (rendering_) {
        ui_.message(this, kClosingRefused, ui::MsgIcon::None);
        return;
    }
    control_.hideCurrent();
    QDialog::done(result);
}

void FramesControlDialog::closeEvent(QCloseEvent* event) {
    if (rendering_) {
        event->ignore();
        ui_.message(this, kClosingRefused, ui::MsgIcon::None);
        return;
    }
    QDialog::closeEvent(event);
}

// ---------------------------------------------------------------- playback

PlaybackDialog::PlaybackDialog(ui::UiServices& ui, int fd, const std::string& path,
                               QWidget* parent)
    : QDialog(parent), ui_(ui), path_(path) {
    setWindowTitle("Animation Playback");
    open_ = playback_.open(fd, path, error_);
    auto* layout = new QVBoxLayout(this);
    picture_ = new QLabel;
    picture_->setAccessibleName("Film");
    const int w = open_ ? playback_.reader().width() : 320;
    const int h = open_ ? playback_.reader().height() : 240;
    picture_->setFixedSize(w, h);
    layout->addWidget(picture_, 0, Qt::AlignCenter);
    auto* bar = new QHBoxLayout;
    play_ = new QPushButton("&Play");
    stop_ = new QPushButton("S&top");
    bar_ = new QSlider(Qt::Horizontal);
    bar_->setAccessibleName("Position");
    bar_->setRange(0, std::max<int>(0, static_cast<int>(playback_.samples()) - 1));
    auto* mp4 = new QPushButton("Save as &MP4...");
    auto* gif = new QPushButton("Save as &GIF...");
    bar->addWidget(play_);
    bar->addWidget(stop_);
    bar->addWidget(bar_, 1);
    layout->addLayout(bar);
    auto* save = new QHBoxLayout;
    save->addStretch();
    save->addWidget(mp4);
    save->addWidget(gif);
    layout->addLayout(save);
    connect(play_, &QPushButton::clicked, this, &PlaybackDialog::play);
    connect(stop_, &QPushButton::clicked, this, &PlaybackDialog::stop);
    connect(bar_, &QSlider::sliderMoved, this, [this](int v) { seek(std::uint32_t(v)); });
    connect(bar_, &QSlider::actionTriggered, this, [this] {
        seek(static_cast<std::uint32_t>(bar_->sliderPosition()));
    });
    connect(mp4, &QPushButton::clicked, this, [this] { saveAs(true); });
    connect(gif, &QPushButton::clicked, this, [this] { saveAs(false); });
    timer_.setInterval(kPlaybackIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &PlaybackDialog::tick);
    ui::applyAccessibleNames(this);
    seek(0);
    adjustSize();
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void PlaybackDialog::seek(std::uint32_t sample) {
    playback_.seek(sample);
    showSample();
}

void PlaybackDialog::showSample() {
    const QSignalBlocker block(bar_);
    bar_->setValue(static_cast<int>(playback_.sample()));
    const int frame = playback_.frameIndex();
    if (frame == shownFrame_) return;
    shownFrame_ = frame;
    image_ = QImage();
    std::string error;
    if (frame >= 0)
        if (auto dib = playback_.reader().readFrame(frame, error)) image_ = imageOf(*dib);
    picture_->setPixmap(image_.isNull() ? QPixmap() : QPixmap::fromImage(image_));
}

QImage PlaybackDialog::shownImage() const { return image_; }

void PlaybackDialog::play() {
    if (!open_) return;
    if (playback_.sample() + 1 >= playback_.samples()) seek(0);
    timer_.start();
}

void PlaybackDialog::stop() { timer_.stop(); }

void PlaybackDialog::tick() {
    if (!playback_.tick()) {
        timer_.stop();
        return;
    }
    showSample();
}

void PlaybackDialog::saveAs(bool mp4) {
    if (render::findFfmpeg().empty()) {
        ui_.message(this, render::kFfmpegMissing, ui::MsgIcon::Information);
        return;
    }
    const QString name =
        ui_.saveFileName(this, mp4 ? "Save Film as MP4" : "Save Film as GIF",
                         mp4 ? "MP4 films (*.mp4 *.MP4)" : "GIF pictures (*.gif *.GIF)");
    if (name.isEmpty()) return;
    std::string error;
    if (!render::convertFilm(path_, ss(name), mp4 ? render::FilmFormat::Mp4
                                                  : render::FilmFormat::Gif,
                             error))
        ui_.message(this, qs(error), ui::MsgIcon::Error);
}

} // namespace lv::dialogs
