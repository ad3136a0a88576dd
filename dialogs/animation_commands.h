#pragma once
// The animation commands of the main window: Model > "Time &Curve", Rendering > "&Animation",
// Run > "Render &Animation", Run > "Compile Frames to &AVI" and View > "&Animation". Each
// applies its guard, shows its refusal or runs its dialog on parent. The caller owns the
// state: the model, the render worker, the time curve and the temporary film.
// First, before any Qt header: Qt's keyword macros would rewrite Model::slots().
#include "dialogs/animation_rules.h"
#include "render/render_worker.h"

#include "app/ui_services.h"

class QWidget;

namespace lv::dialogs {

class AnimationCommands {
public:
    // rowWindows makes each row's window (rowWindowFactory() when empty).
    AnimationCommands(ui::UiServices& ui, model::Model& model, render::RenderWorker& worker,
                      render::TimeCurve& curve, render::TempFilm& film,
                      render::WindowFactory rowWindows = {});

    // Model > "Time &Curve": the time-variable guard, then the "Time curve" dialog.
    void timeCurve(QWidget* parent);
    // Rendering > "&Animation": the "Anination Frames Selection" dialog when the curve has rows.
    void framesSelection(QWidget* parent);
    // Run > "Render &Animation": the animation guard, then the "Animation frames control".
    void renderAnimation(QWidget* parent);
    // Run > "Compile Frames to &AVI": the film from the rendered rows, with its message.
    void compileFrames(QWidget* parent);
    // View > "&Animation": the "Animation Playback" dialog over the held film.
    void playAnimation(QWidget* parent);
    // Whether View > "&Animation" is enabled: a film has been built.
    bool canPlay() const { return film_.isReady(); }

private:
    ui::UiServices& ui_;
    model::Model& model_;
    render::RenderWorker& worker_;
    render::TimeCurve& curve_;
    render::TempFilm& film_;
    render::WindowFactory rowWindows_;
};

} // namespace lv::dialogs
