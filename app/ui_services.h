#pragma once
// The framework services that dialogs and the main window ask for: message boxes, file, colour
// and font choosers. Everything goes through UiServices so that tests swap in FakeUiServices
// and answer without a person.
#include <QColor>
#include <QFont>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

class QWidget;

namespace lv::ui {

// The caption of every message box.
inline constexpr const char* kAppTitle = "Lumovar for Windows";

// Icons by their message-box style: none, information, exclamation (warning), stop (error),
// question.
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgResult { Ok, Yes, No, Cancel };

class UiServices {
public:
    virtual ~UiServices() = default;
    // A modal box with the application title as caption; returns the button pressed.
    virtual MsgResult message(QWidget* parent, const QString& text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok,
                              MsgResult defaultButton = MsgResult::Ok) = 0;
    // Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& dir = {}) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& dir = {}) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
};

// The real services: QMessageBox, QFileDialog, QColorDialog, QFontDialog.
class QtUiServices : public UiServices {
public:
    MsgResult message(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                      MsgResult defaultButton) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& dir) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& dir) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
};

// For tests: records every box and request, answers from the queues. An empty queue answers
// with the default button, an empty file name (cancel) or nullopt (cancel).
class FakeUiServices : public UiServices {
public:
    struct Shown {
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
        MsgResult defaultButton;
    };
    std::vector<Shown> shown;
    std::deque<MsgResult> answers;
    std::deque<QString> fileNames;
    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<QFont>> fonts;
    std::vector<QString> fileDialogTitles, fileDialogFilters;

    MsgResult message(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                      MsgResult defaultButton) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& dir) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& dir) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;

    // The text of the last box, or an empty string when none was shown.
    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
};

// Gives every control under root its label as accessible name: buttons and check boxes their
// text, group boxes their title, and each label's buddy the label's text ('&' markers removed).
// Controls that already have a name keep it.
void applyAccessibleNames(QWidget* root);

// After a refused value: focus the field and select its text (a QLineEdit, QSpinBox or
// QComboBox's editor).
void focusAndSelect(QWidget* field);

} // namespace lv::ui
