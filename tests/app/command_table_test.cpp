// The main window's command table, its enabling rules and the command guards.
#include "app/command_table.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <set>
#include <string>

#include "app/command_guards.h"

using namespace lv::app;

namespace {

// Every item as a user reads it: menu, stored text (with the shortcut after a tab) and id.
struct Expected {
    const char* menu;
    const char* text;
    int id;
};

const Expected kExpected[] = {
    {"&File", "&New\tCtrl+N", 57600},
    {"&File", "&Open...\tCtrl+O", 57601},
    {"&File", "&Close", 57602},
    {"&File", "&Save\tCtrl+S", 57603},
    {"&File", "Save &As...", 57604},
    {"&File", "&Print...\tCtrl+P", 57607},
    {"&File", "P&rint Setup...", 57606},
    {"&File", "Recent File", 57616},
    {"&File", "Recent File", 57617},
    {"&File", "Recent File", 57618},
    {"&File", "Recent File", 57619},
    {"&File", "E&xit\tAlt+F4", 57665},
    {"&Edit", "&Undo\tCtrl+Z", 57643},
    {"&Edit", "Cu&t\tCtrl+X", 57635},
    {"&Edit", "&Copy\tCtrl+C", 57634},
    {"&Edit", "&Paste\tCtrl+V", 57637},
    {"&Edit", "Delete\tDel", 57632},
    {"&Edit", "&Find...", 57636},
    {"&Edit", "Find &Next\tF3", 57640},
    {"&Edit", "&Replace...", 57641},
    {"&Edit", "Select &All", 57642},
    {"&View", "&Toolbar", 59392},
    {"&View", "Status &Bar", 59393},
    {"&View", "Built-&in Functions", 32844},
    {"&View", "&Frame", 32855},
    {"&View", "&Reset View", 32900},
    {"&View", "&Animation", 32827},
    {"&Model", "&Add Object", 32769},
    {"&Model", "&X Assign", 32773},
    {"&Model", "&Parameters", 32772},
    {"&Model", "&Transform", 32774},
    {"&Model", "Time &Vars", 32775},
    {"&Model", "Time &Curve", 32836},
    {"&Model", "&Model Space", 32776},
    {"&Run", "&Compile", 32792},
    {"&Run", "Render &Frame", 32849},
    {"&Run", "Render &Animation", 32850},
    {"&Run", "Ray &Trace", 32902},
    {"&Run", "Compile Frames to &AVI", 32829},
    {"&Run", "&Export to ...", 32796},
    {"&Run", "&Stop Rendering\tEsc", 32901},
    {"Re&ndering", "Point Of &View", 32777},
    {"Re&ndering", "&Object Properties", 32778},
    {"Re&ndering|&Polygonization", "&Render Quality", 32826},
    {"Re&ndering|&Polygonization", "&Grids", 32782},
    {"Re&ndering|&Polygonization", "&Axes/Box visibility", 32783},
    {"Re&ndering|&Polygonization", "&Background color", 32823},
    {"Re&ndering|&Polygonization", "&Object Color", 32784},
    {"Re&ndering|&Polygonization", "&Light Sources", 32785},
    {"Re&ndering|&Polygonization", "&Image Size", 32786},
    {"Re&ndering|Ray &Tracing", "&Max Gradient", 32787},
    {"Re&ndering|Ray &Tracing", "&Accuracy", 32788},
    {"Re&ndering|Ray &Tracing", "&Background color", 32824},
    {"Re&ndering|Ray &Tracing", "&Object Color", 32789},
    {"Re&ndering|Ray &Tracing", "&Light Sources", 32791},
    {"Re&ndering|Ray &Tracing", "&Image Size", 32790},
    {"Re&ndering", "&Animation", 32845},
    {"&Options", "&Library", 32801},
    {"&Options|&Editor", "&Font", 32808},
    {"&Options|&Editor", "&Tab Width", 32807},
    {"&Options|&Lumovar", "Set &Eps", 32805},
    {"&Options|&Lumovar", "Set &Alpha", 32820},
    {"&Options|&Lumovar", "&Pruned Sampling", 32903},
    {"&Options", "&Colors", 32809},
    {"&Options", "&Defaults", 32810},
    {"&Window", "&Cascade", 57650},
    {"&Window", "&Tile", 57651},
    {"&Window", "&Arrange Icons", 57649},
    {"&Help", "&Contents", 32811},
    {"&Help", "&About Lumovar...", 57664},
};

CommandStatus statusOf(int id, const CommandState& s) { return findCommand(id)->enabling(s); }

CommandState withDocument() {
    CommandState s;
    s.hasDocument = true;
    s.hasText = true;
    return s;
}

} // namespace

TEST(CommandTable, DocumentMenuHoldsEveryItemInOrderWithTextAndId) {
    std::vector<const CommandRow*> items = menuItems(MenuSet::Document);
    ASSERT_EQ(items.size(), std::size(kExpected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(kExpected[i].text);
        EXPECT_EQ(std::string(items[i]->menuPath), kExpected[i].menu);
        EXPECT_EQ(storedText(*items[i]), kExpected[i].text);
        EXPECT_EQ(items[i]->id, kExpected[i].id);
    }
    // The Model menu's other first item is in the table too.
    ASSERT_NE(findCommand(kCmdModelObjects), nullptr);
    EXPECT_EQ(std::string(findCommand(kCmdModelObjects)->text), "&Objects");
    EXPECT_EQ(std::string(findCommand(kCmdModelObjects)->menuPath), "&Model");
}

TEST(CommandTable, IdsAreUniqueAndFoundByLookup) {
    std::set<int> ids;
    for (const CommandRow& row : commandTable()) {
        EXPECT_TRUE(ids.insert(row.id).second) << row.id;
        EXPECT_EQ(findCommand(row.id), &row);
        EXPECT_NE(row.enabling, nullptr);
    }
    EXPECT_EQ(findCommand(12345), nullptr);
}

TEST(CommandTable, MenuWithoutDocumentLeavesOutDocumentCommandsEditAndWindow) {
    std::vector<std::string> noDoc = topMenus(MenuSet::NoDocument);
    std::vector<std::string> doc = topMenus(MenuSet::Document);
    EXPECT_EQ(noDoc, (std::vector<std::string>{"&File", "&View", "&Model", "&Run", "Re&ndering",
                                               "&Options", "&Help"}));
    EXPECT_EQ(doc, (std::vector<std::string>{"&File", "&Edit", "&View", "&Model", "&Run",
                                             "Re&ndering", "&Options", "&Window", "&Help"}));
    std::set<int> noDocIds;
    for (const CommandRow* row : menuItems(MenuSet::NoDocument)) noDocIds.insert(row->id);
    for (int id : {kCmdFileClose, kCmdFileSave, kCmdFileSaveAs, kCmdFilePrint, kCmdEditUndo,
                   kCmdEditSelectAll, kCmdWindowTile})
        EXPECT_EQ(noDocIds.count(id), 0u) << id;
    for (int id : {kCmdFileNew, kCmdFileOpen, kCmdFilePrintSetup, kCmdAppExit, kCmdRunCompile,
                   kCmdViewBuiltins, kCmdAppAbout})
        EXPECT_EQ(noDocIds.count(id), 1u) << id;
}

TEST(CommandTable, ToolbarHasTenEntriesInOrder) {
    std::span<const int> bar = toolbarCommands();
    std::vector<int> got(bar.begin(), bar.end());
    EXPECT_EQ(got, (std::vector<int>{kCmdFileNew, kCmdFileOpen, kCmdFileSave, 0, kCmdEditCut,
                                     kCmdEditCopy, kCmdEditPaste, 0, kCmdFilePrint,
                                     kCmdAppAbout}));
    EXPECT_STREQ(extraShortcut(kCmdRunCompile), "F7");
    EXPECT_STREQ(extraShortcut(kCmdEditFind), "Ctrl+F");
    EXPECT_STREQ(extraShortcut(kCmdFileNew), "");
}

namespace {

// Checks that each command of ids is enabled (with enabled false: disabled) in state s.
void expectEnabled(std::initializer_list<int> ids, const CommandState& s, bool enabled = true) {
    for (int id : ids) EXPECT_EQ(statusOf(id, s).enabled, enabled) << "command " << id;
}

} // namespace

TEST(CommandEnabling, NoDocumentAndEmptyModel) {
    CommandState s;
    expectEnabled({kCmdRunCompile, kCmdFileSave, kCmdModelXAssign, kCmdModelTimeVars,
                   kCmdPolyGrids, kCmdRenderObjectProperties, kCmdViewFrame, kCmdViewAnimation,
                   kCmdFileRecent1},
                  s, false);
    expectEnabled({kCmdFileNew, kCmdFileOpen, kCmdModelAddObject, kCmdModelSpace,
                   kCmdRunRenderFrame, kCmdRunRenderAnimation, kCmdRunCompileFilm, kCmdRunExport,
                   kCmdPolyQuality, kCmdPolyBackground, kCmdRayImageSize, kCmdRenderAnimation,
                   kCmdOptionsLibrary, kCmdEditorFont, kCmdEditorTabWidth, kCmdSetEps,
                   kCmdSetAlpha, kCmdAppAbout, kCmdViewBuiltins},
                  s);
}

TEST(CommandEnabling, DocumentEnablesCompileAndEditingFollowsTheEditor) {
    CommandState s = withDocument();
    expectEnabled({kCmdRunCompile, kCmdFileSave, kCmdWindowTile}, s);
    expectEnabled({kCmdEditUndo, kCmdEditCut, kCmdEditPaste, kCmdEditRepeat}, s, false);
    s.canUndo = s.hasSelection = s.canPaste = s.hasFindText = true;
    expectEnabled({kCmdEditUndo, kCmdEditCut, kCmdEditCopy, kCmdEditClear, kCmdEditPaste,
                   kCmdEditRepeat},
                  s);
    s.hasText = false;
    expectEnabled({kCmdEditFind, kCmdEditSelectAll}, s, false);
}

TEST(CommandEnabling, ObjectsEnableTheObjectCommands) {
    CommandState s;
    s.modelObjects = 2;
    expectEnabled({kCmdModelXAssign, kCmdModelParameters, kCmdModelTransform, kCmdModelTimeVars,
                   kCmdModelTimeCurve, kCmdRenderObjectProperties, kCmdPolyGrids,
                   kCmdPolyAxesBox, kCmdPolyObjectColor, kCmdRayMaxGradient, kCmdRayAccuracy,
                   kCmdRayObjectColor},
                  s);
}

TEST(CommandEnabling, NeverEnabledItemsStayDisabledInEveryState) {
    CommandState rich = withDocument();
    rich.modelObjects = 3;
    rich.filmReady = rich.frameRendered = rich.canUndo = true;
    for (const CommandState& s : {CommandState{}, rich})
        expectEnabled({kCmdPolyLights, kCmdRayLights, kCmdOptionsColors, kCmdOptionsDefaults,
                       kCmdHelpContents},
                      s, false);
}

TEST(CommandEnabling, BusyWorkerLeavesRenderCommandsEnabledForTheirGuards) {
    // The render, film, export and exit commands refuse in their handlers with a message.
    CommandState s;
    s.frameRendering = true;
    expectEnabled({kCmdRunRenderFrame, kCmdRunRenderAnimation, kCmdRunCompileFilm, kCmdRunExport,
                   kCmdAppExit},
                  s);
}

TEST(CommandEnabling, CheckMarksFollowTheWindows) {
    CommandState s;
    EXPECT_TRUE(statusOf(kCmdViewToolbar, s).checked);
    s.toolbarVisible = false;
    EXPECT_FALSE(statusOf(kCmdViewToolbar, s).checked);
    EXPECT_TRUE(statusOf(kCmdOptionsPrune, s).checked);
    s.pruning = false;
    EXPECT_FALSE(statusOf(kCmdOptionsPrune, s).checked);
    EXPECT_TRUE(statusOf(kCmdOptionsPrune, s).enabled);
    EXPECT_FALSE(statusOf(kCmdViewBuiltins, s).checked);
    s.builtinsVisible = true;
    EXPECT_TRUE(statusOf(kCmdViewBuiltins, s).checked);
    // Frame: disabled while neither rendered nor rendering; checked only while shown.
    s.frameVisible = true;
    EXPECT_FALSE(statusOf(kCmdViewFrame, s).enabled);
    EXPECT_FALSE(statusOf(kCmdViewFrame, s).checked);
    s.frameRendering = true;
    EXPECT_TRUE(statusOf(kCmdViewFrame, s).enabled);
    EXPECT_TRUE(statusOf(kCmdViewFrame, s).checked);
    s.frameRendering = false;
    s.frameRendered = true;
    s.frameVisible = false;
    EXPECT_TRUE(statusOf(kCmdViewFrame, s).enabled);
    EXPECT_FALSE(statusOf(kCmdViewFrame, s).checked);
    s.filmReady = true;
    EXPECT_TRUE(statusOf(kCmdViewAnimation, s).enabled);
}

TEST(CommandEnabling, StopWhileTheWorkerRunsResetViewOnARenderedFrame) {
    CommandState s;
    expectEnabled({kCmdRunStopRendering, kCmdViewResetView}, s, false);
    s.workerBusy = s.frameRendering = true;
    EXPECT_TRUE(statusOf(kCmdRunStopRendering, s).enabled);
    EXPECT_FALSE(statusOf(kCmdViewResetView, s).enabled); // the scene is being built
    s.workerBusy = s.frameRendering = false;
    s.frameRendered = true;
    EXPECT_FALSE(statusOf(kCmdRunStopRendering, s).enabled);
    EXPECT_TRUE(statusOf(kCmdViewResetView, s).enabled);
    s.workerBusy = true; // an animation renders: the single frame may still be turned
    expectEnabled({kCmdRunStopRendering, kCmdViewResetView}, s);
    s.workerBusy = false;
    s.raytracing = true; // the same stop ends a ray trace
    EXPECT_TRUE(statusOf(kCmdRunStopRendering, s).enabled);
}

TEST(CommandEnabling, RecentFilesEnabledPerEntry) {
    CommandState s;
    s.recentFiles = 2;
    expectEnabled({kCmdFileRecent1, kCmdFileRecent1 + 1}, s);
    expectEnabled({kCmdFileRecent1 + 2}, s, false);
}

TEST(CommandTable, ModelMenuFirstItem) {
    CommandState s;
    EXPECT_EQ(modelMenuFirstItem(s), kCmdModelAddObject);
    s.modelObjects = 1;
    EXPECT_EQ(modelMenuFirstItem(s), kCmdModelObjects);
    // The last object removed while the list window is open: still "&Objects".
    s.modelObjects = 0;
    s.objectListOpen = true;
    EXPECT_EQ(modelMenuFirstItem(s), kCmdModelObjects);
}

TEST(CommandGuards, RenderGuardChecksTheWorkerBeforeTheModel) {
    GuardState s;
    s.workerIdle = false;
    ASSERT_TRUE(renderGuard(s));
    EXPECT_STREQ(renderGuard(s)->text,
                 "This function is disallowed when the rendering proccess active");
    EXPECT_EQ(renderGuard(s)->icon, RefusalIcon::None);
    s.workerIdle = true;
    EXPECT_STREQ(renderGuard(s)->text, "Model must contain at least one object to render");
    s.modelObjects = 1;
    EXPECT_FALSE(renderGuard(s));
}

TEST(CommandGuards, AnimationGuardInOrder) {
    GuardState s;
    s.workerIdle = false;
    s.timeCurveRows = 0;
    EXPECT_STREQ(animationGuard(s)->text, kMsgRenderBusy);
    s.workerIdle = true;
    EXPECT_STREQ(animationGuard(s)->text, kMsgNoObjects);
    s.modelObjects = 1;
    // No time bindings: refused even with rows in the curve.
    s.timeCurveRows = 3;
    EXPECT_STREQ(animationGuard(s)->text,
                 "Some objects in model must have some time dependent parameters");
    // T2 only, empty curve.
    s.timeUsage.t2 = true;
    s.timeCurveRows = 0;
    EXPECT_STREQ(animationGuard(s)->text, "Animation Time Curve must be defined");
    s.timeCurveRows = 1;
    EXPECT_FALSE(animationGuard(s));
}

TEST(CommandGuards, TimeVariableExportFilmAndFrameSelection) {
    GuardState s;
    ASSERT_TRUE(timeVariableGuard(s));
    EXPECT_STREQ(timeVariableGuard(s)->text,
                 "Lumovar expects you to define one of parameters for objects as having T1, T2 "
                 "or T3 type, at first");
    EXPECT_EQ(timeVariableGuard(s)->icon, RefusalIcon::Information);
    s.timeUsage.t3 = true;
    EXPECT_FALSE(timeVariableGuard(s));

    EXPECT_STREQ(filmGuard(s)->text, "There are no ready animation frames.\nOperation canceled.");
    EXPECT_EQ(filmGuard(s)->icon, RefusalIcon::Information);
    s.workerIdle = false;
    EXPECT_STREQ(filmGuard(s)->text,
                 "The exporting function is disallowed when the rendering proccess active");
    EXPECT_EQ(filmGuard(s)->icon, RefusalIcon::Warning);
    EXPECT_STREQ(exportGuard(s)->text, kMsgExportBusy);
    EXPECT_STREQ(exitGuard(s)->text,
                 "The exit function is disallowed when the rendering proccess active");
    EXPECT_EQ(exitGuard(s)->icon, RefusalIcon::None);
    s.workerIdle = true;
    s.animationFrameReady = true;
    EXPECT_FALSE(filmGuard(s));
    EXPECT_FALSE(exitGuard(s));

    EXPECT_STREQ(frameSelectionGuard(s)->text,
                 "Lumovar expects you to  define Time Curve, at first");
    s.timeCurveRows = 1;
    EXPECT_FALSE(frameSelectionGuard(s));
}
