#include "app/ui_services.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>

namespace lv::ui {

namespace {

QString withoutMnemonic(QString text) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QMessageBox::StandardButton standard(MsgResult r) {
    switch (r) {
    case MsgResult::Yes: return QMessageBox::Yes;
    case MsgResult::No: return QMessageBox::No;
    case MsgResult::Cancel: return QMessageBox::Cancel;
    case MsgResult::Ok: break;
    }
    return QMessageBox::Ok;
}

} // namespace

MsgResult QtUiServices::message(QWidget* parent, const QString& text, MsgIcon icon,
                                MsgButtons buttons, MsgResult defaultButton) {
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromUtf8(kAppTitle));
    box.setText(text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    box.setDefaultButton(standard(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: break;
    }
    // Closing a Yes/No box with Escape or its close box counts as its safe answer.
    return buttons == MsgButtons::Ok ? MsgResult::Ok
           : buttons == MsgButtons::YesNo ? MsgResult::No
                                          : MsgResult::Cancel;
}

QString QtUiServices::openFileName(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& dir) {
    return QFileDialog::getOpenFileName(parent, title, dir, filter);
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& dir) {
    return QFileDialog::getSaveFileName(parent, title, dir, filter);
}

std::optional<QColor> QtUiServices::chooseColor(QWidget* parent, const QColor& initial) {
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid()) return std::nullopt;
    return c;
}

std::optional<QFont> QtUiServices::chooseFont(QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent);
    if (!ok) return std::nullopt;
    return f;
}

MsgResult FakeUiServices::message(QWidget*, const QString& text, MsgIcon icon, MsgButtons buttons,
                                  MsgResult defaultButton) {
    shown.push_back({text, icon, buttons, defaultButton});
    if (answers.empty()) return defaultButton;
    const MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

QString FakeUiServices::openFileName(QWidget*, const QString& title, const QString& filter,
                                     const QString&) {
    fileDialogTitles.push_back(title);
    fileDialogFilters.push_back(filter);
    if (fileNames.empty()) return {};
    QString f = fileNames.front();
    fileNames.pop_front();
    return f;
}

QString FakeUiServices::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& dir) {
    return openFileName(parent, title, filter, dir);
}

std::optional<QColor> FakeUiServices::chooseColor(QWidget*, const QColor&) {
    if (colors.empty()) return std::nullopt;
    auto c = colors.front();
    colors.pop_front();
    return c;
}

std::optional<QFont> FakeUiServices::chooseFont(QWidget*, const QFont&) {
    if (fonts.empty()) return std::nullopt;
    auto f = fonts.front();
    fonts.pop_front();
    return f;
}

void applyAccessibleNames(QWidget* root) {
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (b->accessibleName().isEmpty() && !b->text().isEmpty())
            b->setAccessibleName(withoutMnemonic(b->text()));
    for (QGroupBox* g : root->findChildren<QGroupBox*>())
        if (g->accessibleName().isEmpty() && !g->title().isEmpty())
            g->setAccessibleName(withoutMnemonic(g->title()));
    for (QLabel* l : root->findChildren<QLabel*>()) {
        QWidget* buddy = l->buddy();
        if (buddy && buddy->accessibleName().isEmpty() && !l->text().isEmpty())
            buddy->setAccessibleName(withoutMnemonic(l->text()));
    }
}

void focusAndSelect(QWidget* field) {
    if (!field) return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field)) spin->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
}

} // namespace lv::ui
