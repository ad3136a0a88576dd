#pragma once
// The editor's own dialogs: "Tab stops" for the tab width and the modeless Find and Replace
// dialog. Their rules are plain functions; the widgets only wire them.
#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace lv::app {

constexpr int kMinTabWidth = 1;
constexpr int kMaxTabWidth = 20;

// The tab width typed as text: an unsigned integer from 1 to 20, else nothing.
std::optional<int> parseTabWidth(const QString& text);
// What the dialog says when the text is refused.
QString tabWidthRangeMessage();

// "Tab stops": the prompt "Enter the tab stop width:" and one field. OK with a value out of
// range shows the range message (through report) and keeps the dialog open with the field's
// text selected.
class TabWidthDialog : public QDialog {
    Q_OBJECT
public:
    using Reporter = std::function<void(const QString&)>;
    TabWidthDialog(int width, Reporter report, QWidget* parent = nullptr);
    // The accepted width.
    int width() const { return width_; }
    QLineEdit* field() const { return field_; }
    void accept() override;

private:
    QLineEdit* field_;
    Reporter report_;
    int width_;
};

// Find (and, in replace mode, Replace): emits what the user asks for and stays open.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    FindDialog(bool replaceMode, const QString& text, QWidget* parent = nullptr);
    QString findText() const;
    QString replaceText() const;
    bool matchCase() const;
    bool wholeWord() const;
    bool searchDown() const;
    QLineEdit* findField() const { return find_; }
    QLineEdit* replaceField() const { return replace_; }

signals:
    void findNext();
    void replaceOne();
    void replaceAll();

private:
    QLineEdit* find_;
    QLineEdit* replace_ = nullptr;
    QCheckBox* wholeWord_;
    QCheckBox* matchCase_;
    QRadioButton* down_ = nullptr;
};

} // namespace lv::app
