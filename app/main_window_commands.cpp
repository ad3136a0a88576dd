// The main window's command handlers apart from documents and editing: view, model, run,
// rendering, options and help. Each handler applies its guard first.
#include <QMessageBox>
#include <QSettings>
#include <array>

#include "app/frame_commands.h"
#include "app/main_window.h"
#include "app/model_commands.h"
#include "app/raytrace_commands.h"
#include "model/grid_sampler.h"
#include "dialogs/animation_commands.h"
#include "dialogs/object_properties_rules.h"
#pragma push_macro("slots")
#undef slots
#include "dialogs/export_dialog.h"
#include "dialogs/export_targets.h"
#include "dialogs/library_dialog.h"
#pragma pop_macro("slots")
#include "dialogs/settings_commands.h"

namespace lv::app {

namespace {

// Tells every window that a settings dialog stored into the model (or EPS and ALPHA, which
// model files keep too).
void settingsStored(ModelCommands& commands, bool stored) {
    if (stored) commands.events().settingsEdited();
}

constexpr auto kPolyBranch = dialogs::SettingsTarget::Polygonization;
constexpr auto kRayBranch = dialogs::SettingsTarget::Raytracing;

// The property page each object-properties command opens on.
enum ObjectProperty {
    kPropertyGeneral = 0,
    kPropertyGrids = 1,
    kPropertyAxesBox = 2,
    kPropertyPolyColor = 3,
    kPropertyMaxGradient = 4,
    kPropertyAccuracy = 5,
    kPropertyRayColor = 6,
};

} // namespace

MainWindow::Handler MainWindow::handlerFor(int id) {
    switch (id) {
    case kCmdFileNew: return &MainWindow::onFileNew;
    case kCmdFileOpen: return &MainWindow::onFileOpen;
    case kCmdFileClose: return &MainWindow::onFileClose;
    case kCmdFileSave: return &MainWindow::onFileSave;
    case kCmdFileSaveAs: return &MainWindow::onFileSaveAs;
    case kCmdFilePrint: return &MainWindow::onFilePrint;
    case kCmdFilePrintSetup: return &MainWindow::onFilePrintSetup;
    case kCmdAppExit: return &MainWindow::onAppExit;
    case kCmdEditUndo: return &MainWindow::onEditUndo;
    case kCmdEditCut: return &MainWindow::onEditCut;
    case kCmdEditCopy: return &MainWindow::onEditCopy;
    case kCmdEditPaste: return &MainWindow::onEditPaste;
    case kCmdEditClear: return &MainWindow::onEditDelete;
    case kCmdEditFind: return &MainWindow::onEditFind;
    case kCmdEditRepeat: return &MainWindow::onEditFindNext;
    case kCmdEditReplace: return &MainWindow::onEditReplace;
    case kCmdEditSelectAll: return &MainWindow::onEditSelectAll;
    case kCmdViewToolbar: return &MainWindow::onViewToolbar;
    case kCmdViewStatusBar: return &MainWindow::onViewStatusBar;
    case kCmdViewBuiltins: return &MainWindow::onViewBuiltins;
    case kCmdViewFrame: return &MainWindow::onViewFrame;
    case kCmdViewResetView: return &MainWindow::onViewResetView;
    case kCmdViewAnimation: return &MainWindow::onViewAnimation;
    case kCmdModelAddObject: return &MainWindow::onModelAddObject;
    case kCmdModelObjects: return &MainWindow::onModelObjects;
    case kCmdModelXAssign: return &MainWindow::onModelXAssign;
    case kCmdModelParameters: return &MainWindow::onModelParameters;
    case kCmdModelTransform: return &MainWindow::onModelTransform;
    case kCmdModelTimeVars: return &MainWindow::onModelTimeVars;
    case kCmdModelTimeCurve: return &MainWindow::onModelTimeCurve;
    case kCmdModelSpace: return &MainWindow::onModelSpace;
    case kCmdRunCompile: return &MainWindow::onRunCompile;
    case kCmdRunRenderFrame: return &MainWindow::onRunRenderFrame;
    case kCmdRunRenderAnimation: return &MainWindow::onRunRenderAnimation;
    case kCmdRunRayTrace: return &MainWindow::onRunRayTrace;
    case kCmdRunCompileFilm: return &MainWindow::onRunCompileFilm;
    case kCmdRunExport: return &MainWindow::onRunExport;
    case kCmdRunStopRendering: return &MainWindow::onRunStopRendering;
    case kCmdRenderPointOfView: return &MainWindow::onRenderPointOfView;
    case kCmdRenderObjectProperties: return &MainWindow::onRenderObjectProperties;
    case kCmdPolyQuality: return &MainWindow::onPolyQuality;
    case kCmdPolyGrids: return &MainWindow::onPolyGrids;
    case kCmdPolyAxesBox: return &MainWindow::onPolyAxesBox;
    case kCmdPolyBackground: return &MainWindow::onPolyBackground;
    case kCmdPolyObjectColor: return &MainWindow::onPolyObjectColor;
    case kCmdPolyImageSize: return &MainWindow::onPolyImageSize;
    case kCmdRayMaxGradient: return &MainWindow::onRayMaxGradient;
    case kCmdRayAccuracy: return &MainWindow::onRayAccuracy;
    case kCmdRayBackground: return &MainWindow::onRayBackground;
    case kCmdRayObjectColor: return &MainWindow::onRayObjectColor;
    case kCmdRayImageSize: return &MainWindow::onRayImageSize;
    case kCmdRenderAnimation: return &MainWindow::onRenderAnimation;
    case kCmdOptionsLibrary: return &MainWindow::onOptionsLibrary;
    case kCmdEditorFont: return &MainWindow::onEditorFont;
    case kCmdEditorTabWidth: return &MainWindow::onEditorTabWidth;
    case kCmdSetEps: return &MainWindow::onSetEps;
    case kCmdSetAlpha: return &MainWindow::onSetAlpha;
    case kCmdOptionsPrune: return &MainWindow::onOptionsPrune;
    case kCmdWindowCascade: return &MainWindow::onWindowCascade;
    case kCmdWindowTile: return &MainWindow::onWindowTile;
    case kCmdWindowArrange: return &MainWindow::onWindowArrange;
    case kCmdAppAbout: return &MainWindow::onAppAbout;
    default: return nullptr; // Light Sources, Colors, Defaults, Contents: no handler
    }
}

dialogs::AnimationCommands MainWindow::animationCommands() {
    return dialogs::AnimationCommands(ui_, state_.model, state_.worker, state_.timeCurve,
                                      state_.film);
}

bool MainWindow::hasHandler(int id) {
    if (id >= kCmdFileRecent1 && id < kCmdFileRecent1 + kRecentFileCount) return true;
    return handlerFor(id) != nullptr;
}

void MainWindow::execute(int id) {
    if (id >= kCmdFileRecent1 && id < kCmdFileRecent1 + kRecentFileCount) {
        onFileRecent(id - kCmdFileRecent1);
    } else if (Handler handler = handlerFor(id)) {
        (this->*handler)();
    }
    refreshCommands();
}

void MainWindow::onViewFrame() {
    render::RenderJob& job = *state_.frameJob;
    if (job.isRendered() || job.state() == render::JobState::Rendering) frame_->toggleFrame();
}

void MainWindow::onViewResetView() { frame_->resetView(); }
void MainWindow::onViewAnimation() {
    if (state_.film.isReady()) animationCommands().playAnimation(this);
}

void MainWindow::onModelAddObject() { modelCommands_->addObject(); }
void MainWindow::onModelObjects() { modelCommands_->showObjects(); }
void MainWindow::onModelXAssign() { modelCommands_->editObjects(dialogs::XAssignTab); }
void MainWindow::onModelParameters() { modelCommands_->editObjects(dialogs::AParamsTab); }
void MainWindow::onModelTransform() { modelCommands_->editObjects(dialogs::TransformTab); }

void MainWindow::onModelTimeVars() {
    if (refuse(timeVariableGuard(state_.guardState()))) return;
    settingsStored(*modelCommands_, dialogs::runTimeVariables(this, ui_, state_.model));
}

void MainWindow::onModelTimeCurve() {
    if (refuse(timeVariableGuard(state_.guardState()))) return;
    animationCommands().timeCurve(this);
}

void MainWindow::onModelSpace() {
    settingsStored(*modelCommands_, dialogs::runModelSpace(this, ui_, state_.model));
}

void MainWindow::onRunRenderFrame() {
    if (refuse(renderGuard(state_.guardState()))) return;
    if (!state_.worker.isIdle()) {
        ui_.message(this, QString::fromUtf8(render::kRunRenderingRefused), ui::MsgIcon::None);
        return;
    }
    // The job renders its own copy of the model: editing may go on meanwhile.
    frame_->renderFrame(state_.model);
}

void MainWindow::onRunRenderAnimation() {
    if (refuse(animationGuard(state_.guardState()))) return;
    animationCommands().renderAnimation(this);
}

void MainWindow::onRunRayTrace() {
    if (refuse(renderGuard(state_.guardState()))) return;
    // One ray trace at a time; it draws its own copy of the model, so editing may go on.
    if (raytrace_->isBusy()) {
        refuse(refusalOf(AppMessage::RenderBusy, RefusalIcon::None));
        return;
    }
    raytrace_->start(state_.model);
}

void MainWindow::onRunCompileFilm() {
    if (refuse(filmGuard(state_.guardState()))) return;
    animationCommands().compileFrames(this);
}

void MainWindow::onRunExport() {
    if (refuse(exportGuard(state_.guardState()))) return;
    dialogs::AppExporter exporter([this] { return state_.frameJob.get(); }, state_.timeCurve,
                                  state_.film, [this] { return raytrace_->picture(); });
    dialogs::runExportDialog(this, ui_, exporter);
}

void MainWindow::onRunStopRendering() {
    frame_->stopRendering();
    raytrace_->stop();
}

void MainWindow::onRenderPointOfView() {
    settingsStored(*modelCommands_, dialogs::runCamera(this, ui_, state_.model));
}
void MainWindow::openObjectProperties(int property) {
    dialogs::runRenderingProperties(
        this, ui_, state_.model, property,
        [this](const auto& edited, const model::ModelObject* selected) {
            modelCommands_->events().replaceObjects(edited, selected);
        });
}
void MainWindow::onRenderObjectProperties() { openObjectProperties(kPropertyGeneral); }
void MainWindow::onPolyQuality() {
    settingsStored(*modelCommands_, dialogs::runRenderQuality(this, state_.model));
}
void MainWindow::onPolyGrids() { openObjectProperties(kPropertyGrids); }
void MainWindow::onPolyAxesBox() { openObjectProperties(kPropertyAxesBox); }
void MainWindow::onPolyBackground() {
    settingsStored(*modelCommands_,
                   dialogs::runBackgroundColor(this, ui_, state_.model, kPolyBranch));
}
void MainWindow::onPolyObjectColor() { openObjectProperties(kPropertyPolyColor); }
void MainWindow::onPolyImageSize() {
    settingsStored(*modelCommands_, dialogs::runImageSize(this, ui_, state_.model, kPolyBranch));
}
void MainWindow::onRayMaxGradient() { openObjectProperties(kPropertyMaxGradient); }
void MainWindow::onRayAccuracy() { openObjectProperties(kPropertyAccuracy); }
void MainWindow::onRayBackground() {
    settingsStored(*modelCommands_,
                   dialogs::runBackgroundColor(this, ui_, state_.model, kRayBranch));
}
void MainWindow::onRayObjectColor() { openObjectProperties(kPropertyRayColor); }
void MainWindow::onRayImageSize() {
    settingsStored(*modelCommands_, dialogs::runImageSize(this, ui_, state_.model, kRayBranch));
}

void MainWindow::onRenderAnimation() {
    if (refuse(frameSelectionGuard(state_.guardState()))) return;
    animationCommands().framesSelection(this);
}

void MainWindow::onOptionsLibrary() { dialogs::runLibraryDialog(this, ui_, state_.sources); }
void MainWindow::onSetEps() {
    settingsStored(*modelCommands_, dialogs::runLumovarProperties(this, ui_, false));
}
void MainWindow::onSetAlpha() {
    settingsStored(*modelCommands_, dialogs::runLumovarProperties(this, ui_, true));
}

void MainWindow::onOptionsPrune() {
    model::setSamplingPrunes(!model::samplingPrunes());
    QSettings().setValue(kPruneKey, model::samplingPrunes());
}

void MainWindow::onAppAbout() {
    QMessageBox::about(this, QStringLiteral("About Lumovar"),
                       QStringLiteral("<b>Lumovar</b> %1<br>A modeller for solids defined by "
                                      "real-valued functions.")
                           .arg(QStringLiteral(LV_VERSION)));
}

} // namespace lv::app
