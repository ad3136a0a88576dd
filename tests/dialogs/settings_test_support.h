#pragma once
// Helpers for the settings dialog tests: models with objects, driving a modal dialog, and a
// comma locale made on the spot when the machine has none installed.
#include "lang/compiler.h"
#include "model/model.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace lv::dialogs::testing {

inline constexpr const char* kShapes = R"(ball(x[3], a[0]) {
    array c[3];
    c = [0, 0, 0];
    ball = lvsphere(x, c, 5);
}
grow(x[3], a[1]) {
    array c[3];
    c = [0, 0, 0];
    grow = lvsphere(x, c, a[1]);
}
)";

// Appends a radius-5 ball named name; grow makes it the sphere whose radius is bound to T2.
inline model::ModelObject& addShape(model::Model& m, const std::string& name, bool grow = false) {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram(kShapes, objects, errors, {});
    auto object = std::make_unique<model::ModelObject>(model::makeModelObject(
        name, lang::findObject(objects, grow ? "grow" : "ball"), "/src/shapes.lv"));
    if (grow) object->aBindings.bindings[0].kind = model::T2;
    return *m.appendObject(std::move(object));
}

// Runs act on the modal dialog of type D as soon as it is shown; fails, closing it, when another
// window is shown. With cancel, a dialog that act leaves open is then closed with Cancel.
template <class D>
void whenShown(std::function<void(D&)> act, bool cancel = false) {
    QTimer::singleShot(0, [act, cancel] {
        QWidget* w = QApplication::activeModalWidget();
        auto* d = dynamic_cast<D*>(w);
        if (!d) {
            if (w) w->close();
            QFAIL("the expected dialog was not shown");
        }
        act(*d);
        if (cancel && d->isVisible()) d->reject();
    });
}

inline void clickOk(QDialog& d) {
    d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

inline QPushButton* buttonNamed(QWidget& w, const QString& text) {
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

// The refused field has the focus with its whole text selected, and the dialog is still open.
inline bool focusedAndSelected(QDialog& d, QLineEdit* field) {
    return d.isVisible() && d.result() != QDialog::Accepted && d.focusWidget() == field &&
           field->hasSelectedText() && field->selectedText() == field->text();
}

// Switches LC_NUMERIC to a locale whose decimal separator is a comma for its lifetime. When the
// machine has none, compiles de_DE.UTF-8 from the installed locale sources into a scratch
// folder and points LOCPATH at it. ok() tells whether a comma locale is in force.
class CommaLocale {
public:
    CommaLocale() : saved_(std::setlocale(LC_NUMERIC, nullptr)) {
        if (tryLocales()) return;
        if (!dir_.isValid()) return;
        const QString out = dir_.filePath("de_DE.UTF-8");
        QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", out});
        const char* old = std::getenv("LOCPATH");
        oldLocPath_ = old ? old : "";
        hadLocPath_ = old != nullptr;
        setenv("LOCPATH", dir_.path().toLocal8Bit().constData(), 1);
        setLocPath_ = true;
        tryLocales();
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, saved_.c_str());
        if (setLocPath_) {
            if (hadLocPath_) setenv("LOCPATH", oldLocPath_.c_str(), 1);
            else unsetenv("LOCPATH");
        }
    }
    bool ok() const { return ok_; }

private:
    bool tryLocales() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
            if (std::setlocale(LC_NUMERIC, name)) {
                const lconv* c = std::localeconv();
                ok_ = c && c->decimal_point && c->decimal_point[0] == ',';
                if (ok_) return true;
            }
        return false;
    }

    std::string saved_;
    QTemporaryDir dir_;
    std::string oldLocPath_;
    bool hadLocPath_ = false;
    bool setLocPath_ = false;
    bool ok_ = false;
};

} // namespace lv::dialogs::testing
