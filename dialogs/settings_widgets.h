#pragma once
// Small pieces shared by the settings dialogs' widgets: labelled edits and the colour swatch.
// Refusals are shown with showNotice (dialogs/show_notice.h).
// First, before any Qt header: Qt's keyword macros would rewrite Model::slots().
#include "model/model.h"

#include <string>
#include <vector>

#include "app/ui_services.h"
#include "dialogs/settings_rules.h"
#include "dialogs/show_notice.h"
#include <QFrame>
#include <QString>

class QGridLayout;
class QLineEdit;
class QLabel;

namespace lv::dialogs {

// A colour shown as a filled rectangle.
class ColourSwatch : public QFrame {
public:
    explicit ColourSwatch(QWidget* parent = nullptr);
    void setColour(const model::Rgb& colour);
    const model::Rgb& colour() const { return colour_; }

private:
    model::Rgb colour_;
};

QColor toQColor(const model::Rgb& colour);
model::Rgb fromQColor(const QColor& colour);

// A label and an edit at row, column (label) and column + 1 (edit) of grid; the label is the
// edit's buddy.
QLineEdit* addLabelledEdit(QGridLayout* grid, int row, int column, const QString& label,
                           QLabel** labelOut = nullptr);

inline QString qs(const std::string& text) { return QString::fromStdString(text); }
inline std::string ss(const QString& text) { return text.toStdString(); }

} // namespace lv::dialogs
