#include "app/command_table.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lv::app {

namespace {

CommandStatus enabledIf(bool enabled, bool checked = false) { return {enabled, checked}; }

// The enabling rules, one per command (several commands share a rule by name).
CommandStatus always(const CommandState&) { return enabledIf(true); }
CommandStatus never(const CommandState&) { return enabledIf(false); }
CommandStatus withDocument(const CommandState& s) { return enabledIf(s.hasDocument); }
CommandStatus withObjects(const CommandState& s) { return enabledIf(s.modelObjects > 0); }
CommandStatus undo(const CommandState& s) { return enabledIf(s.hasDocument && s.canUndo); }
CommandStatus withSelection(const CommandState& s) {
    return enabledIf(s.hasDocument && s.hasSelection);
}
CommandStatus paste(const CommandState& s) { return enabledIf(s.hasDocument && s.canPaste); }
CommandStatus withText(const CommandState& s) { return enabledIf(s.hasDocument && s.hasText); }
CommandStatus findNext(const CommandState& s) {
    return enabledIf(s.hasDocument && s.hasText && s.hasFindText);
}
template <int N>
CommandStatus recentFile(const CommandState& s) { return enabledIf(s.recentFiles > N); }
CommandStatus toolbar(const CommandState& s) { return enabledIf(true, s.toolbarVisible); }
CommandStatus statusBar(const CommandState& s) { return enabledIf(true, s.statusBarVisible); }
CommandStatus builtins(const CommandState& s) { return enabledIf(true, s.builtinsVisible); }
CommandStatus frame(const CommandState& s) {
    bool enabled = s.frameRendered || s.frameRendering;
    return enabledIf(enabled, enabled && s.frameVisible);
}
CommandStatus animation(const CommandState& s) { return enabledIf(s.filmReady); }
CommandStatus resetView(const CommandState& s) {
    return enabledIf(s.frameRendered && !s.frameRendering);
}
CommandStatus pruning(const CommandState& s) { return enabledIf(true, s.pruning); }
CommandStatus stopRendering(const CommandState& s) {
    return enabledIf(s.workerBusy || s.raytracing);
}

constexpr const char* kFile = "&File";
constexpr const char* kEdit = "&Edit";
constexpr const char* kView = "&View";
constexpr const char* kModel = "&Model";
constexpr const char* kRun = "&Run";
constexpr const char* kPoly = "Re&ndering|&Polygonization";
constexpr const char* kRay = "Re&ndering|Ray &Tracing";
constexpr const char* kRendering = "Re&ndering";
constexpr const char* kOptions = "&Options";
constexpr const char* kEditor = "&Options|&Editor";
constexpr const char* kLumovar = "&Options|&Lumovar";
constexpr const char* kWindow = "&Window";
constexpr const char* kHelp = "&Help";

// ORDER COMMAND
const CommandRow kTable[] = {
    {kCmdFileNew, kFile, "&New", "Ctrl+N", false, false, always},
    {kCmdFileOpen, kFile, "&Open...", "Ctrl+O", false, false, always},
    {kCmdFileClose, kFile, "&Close", "", true, false, withDocument},
    {kCmdFileSave, kFile, "&Save", "Ctrl+S", true, false, withDocument},
    {kCmdFileSaveAs, kFile, "Save &As...", "", true, false, withDocument},
    {kCmdFilePrint, kFile, "&Print...", "Ctrl+P", true, true, withDocument},
    {kCmdFilePrintSetup, kFile, "P&rint Setup...", "", false, false, always},
    {kCmdFileRecent1, kFile, "Recent File", "", false, true, recentFile<0>},
    {kCmdFileRecent1 + 1, kFile, "Recent File", "", false, false, recentFile<1>},
    {kCmdFileRecent1 + 2, kFile, "Recent File", "", false, false, recentFile<2>},
    {kCmdFileRecent1 + 3, kFile, "Recent File", "", false, false, recentFile<3>},
    {kCmdAppExit, kFile, "E&xit", "Alt+F4", false, true, always},
    {kCmdEditUndo, kEdit, "&Undo", "Ctrl+Z", true, false, undo},
    {kCmdEditCut, kEdit, "Cu&t", "Ctrl+X", true, true, withSelection},
    {kCmdEditCopy, kEdit, "&Copy", "Ctrl+C", true, false, withSelection},
    {kCmdEditPaste, kEdit, "&Paste", "Ctrl+V", true, false, paste},
    {kCmdEditClear, kEdit, "Delete", "Del", true, false, withSelection},
    {kCmdEditFind, kEdit, "&Find...", "", true, true, withText},
    {kCmdEditRepeat, kEdit, "Find &Next", "F3", true, false, findNext},
    {kCmdEditReplace, kEdit, "&Replace...", "", true, false, withText},
    {kCmdEditSelectAll, kEdit, "Select &All", "", true, true, withText},
    {kCmdViewToolbar, kView, "&Toolbar", "", false, false, toolbar},
    {kCmdViewStatusBar, kView, "Status &Bar", "", false, false, statusBar},
    {kCmdViewBuiltins, kView, "Built-&in Functions", "", false, true, builtins},
    {kCmdViewFrame, kView, "&Frame", "", false, false, frame},
    {kCmdViewResetView, kView, "&Reset View", "", false, false, resetView},
    {kCmdViewAnimation, kView, "&Animation", "", false, false, animation},
    {kCmdModelAddObject, kModel, "&Add Object", "", false, false, always},
    {kCmdModelObjects, kModel, "&Objects", "", false, false, always},
    {kCmdModelXAssign, kModel, "&X Assign", "", false, true, withObjects},
    {kCmdModelParameters, kModel, "&Parameters", "", false, false, withObjects},
    {kCmdModelTransform, kModel, "&Transform", "", false, false, withObjects},
    {kCmdModelTimeVars, kModel, "Time &Vars", "", false, true, withObjects},
    {kCmdModelTimeCurve, kModel, "Time &Curve", "", false, false, withObjects},
    {kCmdModelSpace, kModel, "&Model Space", "", false, true, always},
    {kCmdRunCompile, kRun, "&Compile", "", false, false, withDocument},
    {kCmdRunRenderFrame, kRun, "Render &Frame", "", false, true, always},
    {kCmdRunRenderAnimation, kRun, "Render &Animation", "", false, false, always},
    {kCmdRunRayTrace, kRun, "Ray &Trace", "", false, false, always},
    {kCmdRunCompileFilm, kRun, "Compile Frames to &AVI", "", false, false, always},
    {kCmdRunExport, kRun, "&Export to ...", "", false, true, always},
    {kCmdRunStopRendering, kRun, "&Stop Rendering", "Esc", false, true, stopRendering},
    {kCmdRenderPointOfView, kRendering, "Point Of &View", "", false, false, always},
    {kCmdRenderObjectProperties, kRendering, "&Object Properties", "", false, false,
     withObjects},
    {kCmdPolyQuality, kPoly, "&Render Quality", "", false, false, always},
    {kCmdPolyGrids, kPoly, "&Grids", "", false, true, withObjects},
    {kCmdPolyAxesBox, kPoly, "&Axes/Box visibility", "", false, false, withObjects},
    {kCmdPolyBackground, kPoly, "&Background color", "", false, true, always},
    {kCmdPolyObjectColor, kPoly, "&Object Color", "", false, false, withObjects},
    {kCmdPolyLights, kPoly, "&Light Sources", "", false, false, never},
    {kCmdPolyImageSize, kPoly, "&Image Size", "", false, true, always},
    {kCmdRayMaxGradient, kRay, "&Max Gradient", "", false, false, withObjects},
    {kCmdRayAccuracy, kRay, "&Accuracy", "", false, false, withObjects},
    {kCmdRayBackground, kRay, "&Background color", "", false, true, always},
    {kCmdRayObjectColor, kRay, "&Object Color", "", false, false, withObjects},
    {kCmdRayLights, kRay, "&Light Sources", "", false, false, never},
    {kCmdRayImageSize, kRay, "&Image Size", "", false, true, always},
    {kCmdRenderAnimation, kRendering, "&Animation", "", false, true, always},
    {kCmdOptionsLibrary, kOptions, "&Library", "", false, false, always},
    {kCmdEditorFont, kEditor, "&Font", "", false, false, always},
    {kCmdEditorTabWidth, kEditor, "&Tab Width", "", false, false, always},
    {kCmdSetEps, kLumovar, "Set &Eps", "", false, false, always},
    {kCmdSetAlpha, kLumovar, "Set &Alpha", "", false, false, always},
    {kCmdOptionsPrune, kLumovar, "&Pruned Sampling", "", false, true, pruning},
    {kCmdOptionsColors, kOptions, "&Colors", "", false, true, never},
    {kCmdOptionsDefaults, kOptions, "&Defaults", "", false, false, never},
    {kCmdWindowCascade, kWindow, "&Cascade", "", true, false, withDocument},
    {kCmdWindowTile, kWindow, "&Tile", "", true, false, withDocument},
    {kCmdWindowArrange, kWindow, "&Arrange Icons", "", true, false, withDocument},
    {kCmdHelpContents, kHelp, "&Contents", "", false, false, never},
    {kCmdAppAbout, kHelp, "&About Lumovar...", "", false, true, always},
};

constexpr std::array<int, 10> kToolbar = {kCmdFileNew,  kCmdFileOpen, kCmdFileSave, 0,
                                          kCmdEditCut,  kCmdEditCopy, kCmdEditPaste, 0,
                                          kCmdFilePrint, kCmdAppAbout};

// Top menus of the document's menu in menu-bar order; the menu without a document has neither
// Edit nor Window.
constexpr std::array<const char*, 9> kTopMenus = {kFile,      kEdit,    kView,   kModel, kRun,
                                                  kRendering, kOptions, kWindow, kHelp};

std::string topOf(const char* menuPath) {
    const char* bar = std::strchr(menuPath, '|');
    return bar ? std::string(menuPath, bar) : std::string(menuPath);
}

} // namespace

std::span<const CommandRow> commandTable() { return kTable; }

const CommandRow* findCommand(int id) {
    for (const CommandRow& row : kTable)
        if (row.id == id) return &row;
    return nullptr;
}

std::string storedText(const CommandRow& row) {
    std::string text = row.text;
    if (*row.shortcut) text += std::string("\t") + row.shortcut;
    return text;
}

std::vector<const CommandRow*> menuItems(MenuSet set) {
    std::vector<const CommandRow*> rows;
    for (const CommandRow& row : kTable) {
        if (row.documentOnly && set == MenuSet::NoDocument) continue;
        if (row.id == kCmdModelObjects) continue; // the empty model's first item is Add Object
        rows.push_back(&row);
    }
    return rows;
}

std::vector<std::string> topMenus(MenuSet set) {
    std::vector<std::string> menus;
    for (const char* top : kTopMenus) {
        bool any = std::any_of(std::begin(kTable), std::end(kTable), [&](const CommandRow& r) {
            return topOf(r.menuPath) == top && (set == MenuSet::Document || !r.documentOnly);
        });
        if (any) menus.emplace_back(top);
    }
    return menus;
}

int modelMenuFirstItem(const CommandState& state) {
    return state.modelObjects > 0 || state.objectListOpen ? kCmdModelObjects : kCmdModelAddObject;
}

std::span<const int> toolbarCommands() { return kToolbar; }

const char* extraShortcut(int id) {
    if (id == kCmdRunCompile) return "F7";
    if (id == kCmdEditFind) return "Ctrl+F";
    return "";
}

} // namespace lv::app
