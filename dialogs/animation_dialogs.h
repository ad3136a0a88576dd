#pragma once
// The animation dialogs: "Time curve" with its row edit, "Anination Frames Selection",
// "Animation frames control" and "Animation Playback". Their rules live in animation_rules.h;
// these widgets show what the rules say and pass the user's input to them.
// First, before any Qt header: Qt's keyword macros would rewrite Model::slots().
#include "dialogs/animation_rules.h"
#include "render/render_worker.h"

#include <QDialog>
#include <QTimer>

#include "app/ui_services.h"
#include "dialogs/show_notice.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTreeWidget;

namespace lv::dialogs {

// The row edit: "Insertion Dialog" or "Modification Dialog". Fields 0 index, 1..3 T1..T3.
class RowEditDialog : public QDialog {
    Q_OBJECT
public:
    RowEditDialog(ui::UiServices& ui, RowEdit edit, bool insertion, int rowCount,
                  QWidget* parent = nullptr);
    // The values read on OK.
    const RowValues& values() const { return values_; }
    QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }
    void accept() override;

private:
    ui::UiServices& ui_;
    RowEdit edit_;
    bool insertion_;
    int rowCount_;
    RowValues values_;
    std::array<QLineEdit*, 4> fields_{};
};

// "Time curve": every change goes into curve at once; "Clo&se" ends the dialog.
class TimeCurveDialog : public QDialog {
    Q_OBJECT
public:
    TimeCurveDialog(ui::UiServices& ui, render::TimeCurve& curve, const model::TimeUsage& usage,
                    QWidget* parent = nullptr);
    QTreeWidget* list() const { return list_; }
    QPushButton* button(const QString& text) const;
    void insertRow();
    void modifyRow();
    void removeRows();
    void clearAll();

private:
    void refill();
    void updateButtons();
    std::vector<int> selectedFrameNumbers() const;

    ui::UiServices& ui_;
    render::TimeCurve& curve_;
    model::TimeUsage usage_;
    QTreeWidget* list_ = nullptr;
    QPushButton *insert_ = nullptr, *modify_ = nullptr, *remove_ = nullptr, *clear_ = nullptr,
                *close_ = nullptr;
};

// "Anination Frames Selection": OK stores the all-frames flag and the selected row.
class FramesSelectionDialog : public QDialog {
    Q_OBJECT
public:
    FramesSelectionDialog(ui::UiServices& ui, render::TimeCurve& curve, QWidget* parent = nullptr);
    QRadioButton* single() const { return single_; }
    QRadioButton* all() const { return all_; }
    QLineEdit* number() const { return number_; }
    QLabel* ofLabel() const { return of_; }
    void accept() override;

private:
    void choiceChanged();

    ui::UiServices& ui_;
    render::TimeCurve& curve_;
    QRadioButton *single_ = nullptr, *all_ = nullptr;
    QLineEdit* number_ = nullptr;
    QLabel* of_ = nullptr;
};

// "Animation frames control": renders the rows of control on worker one after the other.
// Closing in any way is refused while rows render.
class FramesControlDialog : public QDialog {
    Q_OBJECT
public:
    // control must be open; the first run starts at once.
    FramesControlDialog(ui::UiServices& ui, render::RenderWorker& worker, FramesControl& control,
                        QWidget* parent = nullptr);
    bool isRendering() const { return rendering_; }
    QGroupBox* currentGroup() const { return current_; }
    QLabel* tLine(int i) const { return tLines_[static_cast<std::size_t>(i)]; }
    QRadioButton* choice(ShowChoice c) const;
    QLineEdit* number() const { return number_; }
    QPushButton* showButton() const { return show_; }
    QPushButton* closeButton() const { return close_; }
    // Every caption the current-frame group has had, in order.
    const QStringList& captionHistory() const { return captions_; }
    // The group and T-line texts shown for each row of the runs so far.
    const std::vector<FramesDisplay>& displays() const { return displays_; }

    void done(int result) override;
    // "&Show".
    void showTarget();

Q_SIGNALS:
    // A run of rows has ended and the controls are back.
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void startRun();
    void finishRun();
    void applyDisplay(const FramesDisplay& display);
    void setControlsVisible(bool visible);
    void choiceClicked();
    ShowChoice checkedChoice() const;

    ui::UiServices& ui_;
    render::RenderWorker& worker_;
    FramesControl& control_;
    bool rendering_ = false;
    QGroupBox* current_ = nullptr;
    std::array<QLabel*, 3> tLines_{};
    QGroupBox* showNext_ = nullptr;
    QButtonGroup* choices_ = nullptr;
    QLineEdit* number_ = nullptr;
    QPushButton *show_ = nullptr, *close_ = nullptr;
    QStringList captions_;
    std::vector<FramesDisplay> displays_;
};

// "Animation Playback": the film with play, stop and a seek bar at 15 samples per second; each
// frame shows for its 10 samples. Saves the film as MP4 or animated GIF through ffmpeg.
class PlaybackDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the film through the descriptor fd (the application's handle; by path when -1).
    PlaybackDialog(ui::UiServices& ui, int fd, const std::string& path, QWidget* parent = nullptr);
    // Whether the film could be read (error() says why not).
    bool isOpen() const { return open_; }
    const std::string& error() const { return error_; }
    // Goes to sample and shows its frame.
    void seek(std::uint32_t sample);
    void play();
    void stop();
    bool isPlaying() const { return timer_.isActive(); }
    std::uint32_t sample() const { return playback_.sample(); }
    // The picture shown now (top row first).
    QImage shownImage() const;
    QSlider* seekBar() const { return bar_; }
    // Save as MP4 (mp4 true) or GIF through ffmpeg, asking for the name; says when ffmpeg is
    // missing or fails.
    void saveAs(bool mp4);

private:
    void showSample();
    void tick();

    ui::UiServices& ui_;
    std::string path_;
    FilmPlayback playback_;
    bool open_ = false;
    std::string error_;
    int shownFrame_ = -2;
    QImage image_;
    QLabel* picture_ = nullptr;
    QSlider* bar_ = nullptr;
    QPushButton *play_ = nullptr, *stop_ = nullptr;
    QTimer timer_;
};

} // namespace lv::dialogs
