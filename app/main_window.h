#pragma once
// The main window: the multi-document frame with menus, toolbar, status bar and the MDI area
// of source documents.
//
// How a command is wired (read this before adding or finishing one):
//  - Its menu, text, id, shortcut and enabling rule are one row of the table in
//    app/command_table.cpp. The enabling rule is a plain function of CommandState; add a field
//    to CommandState (filled in commandState()) when a rule needs to read more.
//  - Its handler is the slot on<Menu><Item>() declared below, bound to its id in
//    handlerFor() in main_window_commands.cpp. Handlers check their guard again
//    (app/command_guards.h, shown with refuse()) because shortcuts bypass the menu refresh.
//  - A command with no handler in handlerFor() stays disabled whatever its rule says.
#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>
#include <optional>

#include "app/app_state.h"
#include "app/command_table.h"
#include "app/ui_services.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QToolBar;

namespace lv::dialogs {
class AnimationCommands;
}

namespace lv::app {

// The setting that keeps "&Pruned Sampling" (on unless stored off): read at start-up into
// model::setSamplingPrunes, written whenever the item is switched.
inline constexpr const char* kPruneKey = "sampling/prune";

class FindDialog;
class FrameCommands;
class ModelCommands;
class RaytraceCommands;
class ReferenceWindow;
class SourceDocument;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppState& state, ui::UiServices& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppState& state() { return state_; }
    ui::UiServices& ui() { return ui_; }
    QMdiArea* mdiArea() const { return mdi_; }
    ReferenceWindow* referenceWindow() const { return reference_; }
    // The object dialogs, the object list window, model files and the model notifications.
    ModelCommands& modelCommands() const { return *modelCommands_; }
    QToolBar* toolBar() const { return toolBar_; }
    // "Ray &Trace" and its latest picture (what the export of a ray-traced image reads).
    RaytraceCommands& raytraceCommands() const { return *raytrace_; }

    // What the enabling rules read, taken from the windows and the application state now.
    CommandState commandState() const;
    // Applies every enabling rule, the menu set and the Model menu's first item.
    void refreshCommands();
    // The menu set shown now: the document's when a document window exists.
    MenuSet menuSet() const;
    // The action of id (the Model menu's two first items each have one), or null.
    QAction* action(int id) const;
    // Runs id's handler as a shortcut would, whatever the enabling says (guards still apply).
    void execute(int id);
    // Whether id has a handler (commands without one stay disabled).
    static bool hasHandler(int id);

    // Documents. The current one is the MDI area's current child (kept while a modeless window
    // has the focus).
    SourceDocument* currentDocument() const;
    QList<SourceDocument*> documents() const;
    // A new empty document "Untitled<n>".
    SourceDocument* newDocument();
    // Opens path as a source document (.lvm: as the model), closing an unmodified pathless
    // "Untitled1". A file already open is activated. Shows a message and returns null when it
    // cannot be read.
    SourceDocument* openFile(const QString& path);
    // Saves doc to its path, or asks for one first. False when cancelled or failed.
    bool saveDocument(SourceDocument* doc);
    bool saveDocumentAs(SourceDocument* doc);
    // Asks to save a modified doc (Yes/No/Cancel); false when the user cancels or the save
    // fails.
    bool confirmClose(SourceDocument* doc);
    // Closes doc's window without asking.
    void closeDocument(SourceDocument* doc);
    // Opens a model file into the application's model; false with a message on failure.
    bool openModelFile(const QString& path);

    const QStringList& recentFiles() const { return recent_; }
    int tabWidth() const { return tabWidth_; }
    // The editor font, when the user has chosen one.
    const std::optional<QFont>& editorFont() const { return editorFont_; }
    void setTabWidth(int width);
    void setEditorFont(const QFont& font);
    // The text searched for by Find Next.
    const QString& findText() const { return findText_; }

    // Shows refusal's box when there is one; returns whether the command was refused.
    bool refuse(const std::optional<Refusal>& refusal);

public slots:
    void onFileNew();
    void onFileOpen();
    void onFileClose();
    void onFileSave();
    void onFileSaveAs();
    void onFilePrint();
    void onFilePrintSetup();
    void onFileRecent(int index);
    void onAppExit();
    void onEditUndo();
    void onEditCut();
    void onEditCopy();
    void onEditPaste();
    void onEditDelete();
    void onEditFind();
    void onEditFindNext();
    void onEditReplace();
    void onEditSelectAll();
    void onViewToolbar();
    void onViewStatusBar();
    void onViewBuiltins();
    void onViewFrame();
    void onViewResetView();
    void onViewAnimation();
    void onModelAddObject();
    void onModelObjects();
    void onModelXAssign();
    void onModelParameters();
    void onModelTransform();
    void onModelTimeVars();
    void onModelTimeCurve();
    void onModelSpace();
    void onRunCompile();
    void onRunRenderFrame();
    void onRunRenderAnimation();
    void onRunRayTrace();
    void onRunCompileFilm();
    void onRunExport();
    void onRunStopRendering();
    void onRenderPointOfView();
    void onRenderObjectProperties();
    void onPolyQuality();
    void onPolyGrids();
    void onPolyAxesBox();
    void onPolyBackground();
    void onPolyObjectColor();
    void onPolyImageSize();
    void onRayMaxGradient();
    void onRayAccuracy();
    void onRayBackground();
    void onRayObjectColor();
    void onRayImageSize();
    void onRenderAnimation();
    void onOptionsLibrary();
    void onEditorFont();
    void onEditorTabWidth();
    void onSetEps();
    void onSetAlpha();
    void onOptionsPrune();
    void onWindowCascade();
    void onWindowTile();
    void onWindowArrange();
    void onAppAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The animation commands over the application state (time curve, frames, film).
    dialogs::AnimationCommands animationCommands();
    using Handler = void (MainWindow::*)();
    static Handler handlerFor(int id);

    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void readSettings();
    void writeSettings() const;
    QMenu* menuFor(const char* menuPath);
    void updateModelMenu();
    void updateTitle();
    void updateCursorPane();
    void updateRecentActions();
    void addRecentFile(const QString& path);
    QMdiSubWindow* windowOf(SourceDocument* doc) const;
    SourceDocument* documentWithPath(const QString& path) const;
    SourceDocument* addDocument(SourceDocument* doc);
    void openObjectProperties(int property);
    void compileDocument(SourceDocument* doc);
    bool findInDocument(const QString& text, bool matchCase, bool wholeWord, bool down);
    void replaceInDocument(const QString& text, const QString& with, bool matchCase,
                           bool wholeWord, bool all);

    AppState& state_;
    ui::UiServices& ui_;
    QMdiArea* mdi_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* cursorPane_ = nullptr;
    ReferenceWindow* reference_ = nullptr;
    FrameCommands* frame_ = nullptr; // the single-frame render and its window
    RaytraceCommands* raytrace_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<std::string, QMenu*> menus_;
    QList<QMenu*> documentMenus_; // top menus only the document's menu set shows
    QMenu* windowMenu_ = nullptr;
    QPointer<QMdiSubWindow> current_; // the current document's window
    QStringList recent_;
    int untitledCount_ = 0;
    int tabWidth_ = 4;
    std::optional<QFont> editorFont_;
    std::unique_ptr<QPrinter> printer_;
    QString findText_;
    bool findMatchCase_ = false;
    bool findWholeWord_ = false;
    bool findDown_ = true;
    QPointer<FindDialog> findDialog_;
    std::unique_ptr<ModelCommands> modelCommands_;
};

} // namespace lv::app
