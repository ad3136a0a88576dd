#include "dialogs/animation_commands.h"

#include "dialogs/animation_dialogs.h"
#include "dialogs/animation_row_window.h"

namespace lv::dialogs {
AnimationCommands::AnimationCommands(ui::UiServices& ui, model::Model& model,
                                     render::RenderWorker& worker, render::TimeCurve& curve,
                                     render::TempFilm& film, render::WindowFactory rowWindows)
    : ui_(ui), model_(model), worker_(worker), curve_(curve), film_(film),
      rowWindows_(rowWindows ? std::move(rowWindows) : rowWindowFactory()) {}

void AnimationCommands::timeCurve(QWidget* parent) {
    if (auto refusal = timeVariableGuard(model_)) return showNotice(ui_, parent, *refusal);
    TimeCurveDialog dialog(ui_, curve_, model_.timeUsage(), parent);
    dialog.exec();
}

void AnimationCommands::framesSelection(QWidget* parent) {
    if (auto refusal = framesSelectionGuard(curve_)) return showNotice(ui_, parent, *refusal);
    FramesSelectionDialog dialog(ui_, curve_, parent);
    dialog.exec();
}

void AnimationCommands::renderAnimation(QWidget* parent) {
    if (auto refusal = animationGuard(worker_.isIdle(), model_, curve_))
        return showNotice(ui_, parent, *refusal);
    FramesControl control(curve_, rowWindows_);
    if (auto failure = control.open(model_)) return showNotice(ui_, parent, *failure);
    FramesControlDialog dialog(ui_, worker_, control, parent);
    dialog.exec();
}

void AnimationCommands::compileFrames(QWidget* parent) {
    showNotice(ui_, parent, compileFramesCommand(worker_.isIdle(), curve_, film_));
}

void AnimationCommands::playAnimation(QWidget* parent) {
    if (!film_.isReady()) return;
    PlaybackDialog dialog(ui_, film_.handle(), film_.path(), parent);
    if (!dialog.isOpen()) {
        ui_.message(parent, QString::fromStdString("The film cannot be played: " + dialog.error()),
                    ui::MsgIcon::Error);
        return;
    }
    dialog.exec();
}

} // namespace lv::dialogs
