#pragma once
// Helpers for the animation tests: small models with time-bound objects, curves of rows, films
// made of plain coloured frames, skipping where OpenGL is missing, and driving a modal dialog.
#include "lang/compiler.h"
#include "model/model.h"
#include "render/avi_file.h"
#include "render/gl_context.h"
#include "render/time_curve.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Skips the calling test function when no headless OpenGL context can be made.
#define REQUIRE_GL()                                                                           \
    do {                                                                                       \
        std::string glError;                                                                   \
        if (!::lv::render::headlessGlAvailable(glError)) QSKIP(glError.c_str());               \
    } while (0)

namespace lv::dialogs::testing {

inline constexpr const char* kGrowing = R"(grow(x[3], a[1]) {
    array c[3];
    c = [0, 0, 0];
    grow = lvsphere(x, c, a[1]);
}
)";

// A model of one sphere whose radius is bound to time variable t (1..3; 0: a constant 5),
// with an n^3 grid and a small picture so that renders are quick.
inline model::Model growingModel(int t = 2, int n = 6) {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram(kGrowing, objects, errors, {});
    model::Model m;
    auto object = std::make_unique<model::ModelObject>(
        model::makeModelObject("grow", lang::findObject(objects, "grow"), "/src/grow.lv"));
    object->grid = {n, n, n};
    auto& a = object->aBindings.bindings[0];
    if (t == 0) {
        a.kind = model::Constant;
        a.value = 5.0f;
    } else {
        a.kind = static_cast<model::BindingKind>(model::T1 + t - 1);
    }
    m.appendObject(std::move(object));
    m.settings.polyImage = {64, 48};
    return m;
}

// Rows with T1 = T3 = 0 and T2 = the given radii.
inline void addRows(render::TimeCurve& curve, const std::vector<double>& t2) {
    for (double v : t2) curve.appendRow(0.0, v, 0.0);
}

// A 32-bit frame of one colour (blue, green, red).
inline exporter::PackedDib solidFrame(int w, int h, std::uint8_t b, std::uint8_t g,
                                      std::uint8_t r) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); i += 4) px[i] = b, px[i + 1] = g, px[i + 2] = r;
    return *exporter::PackedDib::fromPixels(w, h, px, exporter::RowOrder::BottomUp,
                                            exporter::ChannelOrder::Bgra);
}

// Runs check on the modal dialog of type D that the next call opens; a dialog that a failed
// check left open is cancelled so that the test goes on.
template <class D> void whenModal(std::function<void(D*)> check) {
    QTimer::singleShot(0, [check] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
            QFAIL("the expected dialog is not open");
        }
        check(dialog);
        if (dialog->isVisible()) dialog->done(QDialog::Rejected);
    });
}

} // namespace lv::dialogs::testing
