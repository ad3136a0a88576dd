#include "dialogs/settings_widgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace lv::dialogs {

ColourSwatch::ColourSwatch(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Box);
    setMinimumSize(48, 32);
    setAutoFillBackground(true);
    setColour(colour_);
}

void ColourSwatch::setColour(const model::Rgb& colour) {
    colour_ = colour;
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(colour));
    setPalette(p);
    update();
}

QColor toQColor(const model::Rgb& c) { return QColor(c.red, c.green, c.blue); }

model::Rgb fromQColor(const QColor& c) { return {c.red(), c.green(), c.blue()}; }

QLineEdit* addLabelledEdit(QGridLayout* grid, int row, int column, const QString& label,
                           QLabel** labelOut) {
    auto* l = new QLabel(label);
    auto* edit = new QLineEdit;
    l->setBuddy(edit);
    grid->addWidget(l, row, column);
    grid->addWidget(edit, row, column + 1);
    if (labelOut) *labelOut = l;
    return edit;
}

} // namespace lv::dialogs
