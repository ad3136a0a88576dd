#pragma once
// The main window's command table: every menu item with its menu, text, command id, shortcut
// and enabling rule, defined once. The menus, the toolbar and the tests all derive from it.
// Qt-free: enabling is decided from a plain CommandState so that a test can ask for any state.
#include <span>
#include <string>
#include <vector>

namespace lv::app {

// ORDER COMMAND: command ids as the menus store them.
enum CommandId : int {
    kCmdFileNew = 57600,
    kCmdFileOpen = 57601,
    kCmdFileClose = 57602,
    kCmdFileSave = 57603,
    kCmdFileSaveAs = 57604,
    kCmdFilePrintSetup = 57606,
    kCmdFilePrint = 57607,
    kCmdFileRecent1 = 57616, // the recent files take 57616 .. 57619
    kCmdEditClear = 57632,
    kCmdEditCopy = 57634,
    kCmdEditCut = 57635,
    kCmdEditFind = 57636,
    kCmdEditPaste = 57637,
    kCmdEditRepeat = 57640,
    kCmdEditReplace = 57641,
    kCmdEditSelectAll = 57642,
    kCmdEditUndo = 57643,
    kCmdWindowArrange = 57649,
    kCmdWindowCascade = 57650,
    kCmdWindowTile = 57651,
    kCmdAppAbout = 57664,
    kCmdAppExit = 57665,
    kCmdViewToolbar = 59392,
    kCmdViewStatusBar = 59393,
    kCmdViewBuiltins = 32844,
    kCmdViewFrame = 32855,
    kCmdViewAnimation = 32827,
    kCmdModelAddObject = 32769,
    kCmdModelObjects = 101,
    kCmdModelXAssign = 32773,
    kCmdModelParameters = 32772,
    kCmdModelTransform = 32774,
    kCmdModelTimeVars = 32775,
    kCmdModelTimeCurve = 32836,
    kCmdModelSpace = 32776,
    kCmdRunCompile = 32792,
    kCmdRunRenderFrame = 32849,
    kCmdRunRenderAnimation = 32850,
    kCmdRunCompileFilm = 32829,
    kCmdRunExport = 32796,
    kCmdRenderPointOfView = 32777,
    kCmdRenderObjectProperties = 32778,
    kCmdPolyQuality = 32826,
    kCmdPolyGrids = 32782,
    kCmdPolyAxesBox = 32783,
    kCmdPolyBackground = 32823,
    kCmdPolyObjectColor = 32784,
    kCmdPolyLights = 32785,
    kCmdPolyImageSize = 32786,
    kCmdRayMaxGradient = 32787,
    kCmdRayAccuracy = 32788,
    kCmdRayBackground = 32824,
    kCmdRayObjectColor = 32789,
    kCmdRayLights = 32791,
    kCmdRayImageSize = 32790,
    kCmdRenderAnimation = 32845,
    kCmdOptionsLibrary = 32801,
    kCmdEditorFont = 32808,
    kCmdEditorTabWidth = 32807,
    kCmdSetEps = 32805,
    kCmdSetAlpha = 32820,
    kCmdOptionsColors = 32809,
    kCmdOptionsDefaults = 32810,
    kCmdHelpContents = 32811,
    // Beyond the stored menus: the frame window's camera, stopping a render and ray tracing.
    kCmdViewResetView = 32900,
    kCmdRunStopRendering = 32901,
    kCmdRunRayTrace = 32902,
    kCmdOptionsPrune = 32903, // sampling leaves out what interval bounds prove (a switch)
};

constexpr int kRecentFileCount = 4;

// What the enabling rules read. Changing nothing, they are asked each time a menu opens.
struct CommandState {
    bool hasDocument = false;     // an MDI child with its document is current
    bool canUndo = false;         // of the current document's editor
    bool hasSelection = false;
    bool hasText = false;         // the current document is not empty
    bool hasFindText = false;     // a search text has been entered
    bool canPaste = false;        // the clipboard holds text
    int recentFiles = 0;          // entries in the recent-file list
    int modelObjects = 0;
    bool objectListOpen = false;  // the "Model objects" window exists
    bool frameRendered = false;   // the single-frame job is rendered
    bool frameRendering = false;  // the single-frame job is rendering
    bool frameVisible = false;    // the single-frame job's window is shown
    bool workerBusy = false;      // the render worker runs a job
    bool raytracing = false;      // a ray trace runs
    bool builtinsVisible = false; // the reference window is shown
    bool filmReady = false;       // a film has been built
    bool toolbarVisible = true;
    bool statusBarVisible = true;
    bool pruning = true;          // sampling leaves out what bounds prove (samplingPrunes)
};

struct CommandStatus {
    bool enabled = false;
    bool checked = false; // shown with a check mark
};

// One enabling rule per command.
using EnablingRule = CommandStatus (*)(const CommandState&);

// Which menu resource an item belongs to: 128 is the menu without a document, 129 the
// document's menu (a superset).
enum class MenuSet { NoDocument = 128, Document = 129 };

struct CommandRow {
    int id;
    const char* menuPath; // top menu, then submenus, separated by '|': "Re&ndering|Ray &Tracing"
    const char* text;     // the item's text without its shortcut
    const char* shortcut; // shown after a tab in the stored text; empty when none
    bool documentOnly;    // only in the document's menu (129)
    bool separatorBefore; // a separator line precedes the item
    EnablingRule enabling;
};

// Every menu item in menu order (the Model menu's first item lists both of its forms; the
// recent files are one row per entry). The menus are built from this table alone.
std::span<const CommandRow> commandTable();
// The row of id, or null.
const CommandRow* findCommand(int id);
// The item text as a menu stores it: text, then a tab and the shortcut when there is one.
std::string storedText(const CommandRow& row);
// The rows of the menu set, in menu order (Model's first item as for an empty model).
std::vector<const CommandRow*> menuItems(MenuSet set);
// The top menus of set, in menu-bar order.
std::vector<std::string> topMenus(MenuSet set);

// The command whose item stands first in the Model menu: kCmdModelObjects when the model has
// objects or the object list window is open, else kCmdModelAddObject.
int modelMenuFirstItem(const CommandState& state);

// The toolbar's ten entries, 0 standing for a separator: New, Open, Save, -, Cut, Copy, Paste,
// -, Print, About.
std::span<const int> toolbarCommands();

// Extra keys beyond the stored texts, as desktop editors have them: F7 compiles, Ctrl+F finds.
const char* extraShortcut(int id);

} // namespace lv::app
