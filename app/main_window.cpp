#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/frame_commands.h"
#include "app/raytrace_commands.h"
#include "app/model_commands.h"
#include "app/recent_files.h"
#include "app/reference_window.h"
#include "app/source_document.h"
#include "model/grid_sampler.h"

// The icon lives in this static library's resources, which need registering by hand.
static void initResources() { Q_INIT_RESOURCE(lumovar); }

namespace lv::app {

namespace {

bool isCheckable(int id) {
    return id == kCmdViewToolbar || id == kCmdViewStatusBar || id == kCmdViewBuiltins ||
           id == kCmdViewFrame || id == kCmdOptionsPrune;
}

QString withoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

// The desktop theme's icon of that name, else the bundled picture: without an icon theme the
// button would show its text among the pictures.
QIcon themed(const char* name) {
    const QString n = QString::fromLatin1(name);
    return QIcon::fromTheme(n, QIcon(QStringLiteral(":/lumovar/") + n + QStringLiteral(".png")));
}

} // namespace

MainWindow::MainWindow(AppState& state, ui::UiServices& ui, QWidget* parent)
    : QMainWindow(parent), state_(state), ui_(ui) {
    setObjectName(QStringLiteral("MainWindow"));
    initResources();
    setWindowIcon(QIcon(QStringLiteral(":/lumovar/lumovar.png")));
    mdi_ = new QMdiArea(this);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setAccessibleName(QStringLiteral("Documents"));
    setCentralWidget(mdi_);
    setAcceptDrops(true);
    reference_ = new ReferenceWindow(this);
    reference_->hide();
    recent_ = loadRecentFiles();
    modelCommands_ = std::make_unique<ModelCommands>(
        ModelContext{state_.model, state_.sources, state_.timeCurve,
                     [this] { return state_.worker.isIdle(); }},
        ui_, this);

    createActions();
    createMenus();
    modelCommands_->addMenuItems(menus_["&Model"]);
    createToolBar();
    createStatusBar();
    frame_ = new FrameCommands(state_.worker, *state_.frameJob, statusBar(),
                               [this] { refreshCommands(); }, this);
    raytrace_ = new RaytraceCommands(ui_, this, statusBar(), [this] { refreshCommands(); }, this);
    raytrace_->setRendersIdle([this] { return state_.worker.isIdle(); });
    readSettings();

    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (window) current_ = window;
        updateTitle();
        updateCursorPane();
        refreshCommands();
    });
    connect(reference_, &ReferenceWindow::visibilityChanged, this, [this] { refreshCommands(); });
    connect(modelCommands_.get(), &ModelCommands::commandsChanged, this, [this] {
        state_.objectListOpen = modelCommands_->objectListOpen();
        updateTitle();
        refreshCommands();
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { refreshCommands(); });
    updateTitle();
    refreshCommands();
}

MainWindow::~MainWindow() {
    // A ray trace in progress is stopped and ends while this is still a MainWindow.
    delete raytrace_;
    raytrace_ = nullptr;
    // Children go while this is still a MainWindow: their signals reach its slots.
    mdi_->disconnect(this);
    for (QMdiSubWindow* window : mdi_->subWindowList()) {
        window->removeEventFilter(this);
        mdi_->removeSubWindow(window);
        delete window;
    }
    reference_->disconnect(this);
    delete reference_;
}

void MainWindow::createActions() {
    for (const CommandRow& row : commandTable()) {
        auto* action = new QAction(QString::fromUtf8(row.text), this);
        action->setData(row.id);
        QList<QKeySequence> keys;
        if (*row.shortcut) keys.append(QKeySequence(QString::fromUtf8(row.shortcut)));
        if (*extraShortcut(row.id)) keys.append(QKeySequence(extraShortcut(row.id)));
        action->setShortcuts(keys);
        action->setCheckable(isCheckable(row.id));
        int id = row.id;
        if (id >= kCmdFileRecent1 && id < kCmdFileRecent1 + kRecentFileCount) {
            connect(action, &QAction::triggered, this,
                    [this, id] { onFileRecent(id - kCmdFileRecent1); });
        } else {
            connect(action, &QAction::triggered, this, [this, id] { execute(id); });
        }
        actions_[row.id] = action;
    }
}

QMenu* MainWindow::menuFor(const char* menuPath) {
    auto found = menus_.find(menuPath);
    if (found != menus_.end()) return found->second;
    std::string path = menuPath;
    std::size_t bar = path.rfind('|');
    QMenu* menu;
    if (bar == std::string::npos) {
        menu = menuBar()->addMenu(QString::fromStdString(path));
    } else {
        QMenu* parent = menuFor(path.substr(0, bar).c_str());
        menu = parent->addMenu(QString::fromStdString(path.substr(bar + 1)));
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { refreshCommands(); });
    menus_[path] = menu;
    return menu;
}

void MainWindow::createMenus() {
    for (const CommandRow& row : commandTable()) {
        QMenu* menu = menuFor(row.menuPath);
        if (row.separatorBefore && !menu->isEmpty()) menu->addSeparator();
        // The Model menu's first item takes one of its two forms at each refresh.
        if (row.id == kCmdModelObjects) continue;
        menu->addAction(actions_[row.id]);
    }
    documentMenus_ = {menus_["&Edit"], menus_["&Window"]};
    windowMenu_ = menus_["&Window"];
    connect(windowMenu_, &QMenu::aboutToShow, this, [this] {
        // The open documents follow the fixed items, the current one checked.
        for (QAction* a : windowMenu_->actions())
            if (a->property("windowEntry").toBool()) windowMenu_->removeAction(a), a->deleteLater();
        const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
        for (int i = 0; i < windows.size(); ++i) {
            QMdiSubWindow* w = windows[i];
            QString title = w->windowTitle().remove(QStringLiteral("[*]"));
            auto* a = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(title));
            a->setProperty("windowEntry", true);
            a->setCheckable(true);
            a->setChecked(w == current_);
            connect(a, &QAction::triggered, this, [this, w] { mdi_->setActiveSubWindow(w); });
        }
    });
}

void MainWindow::createToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Standard"));
    toolBar_->setObjectName(QStringLiteral("StandardToolBar"));
    QStyle* s = style();
    const std::map<int, QIcon> icons = {
        {kCmdFileNew, QIcon::fromTheme("document-new", s->standardIcon(QStyle::SP_FileIcon))},
        {kCmdFileOpen,
         QIcon::fromTheme("document-open", s->standardIcon(QStyle::SP_DialogOpenButton))},
        {kCmdFileSave,
         QIcon::fromTheme("document-save", s->standardIcon(QStyle::SP_DialogSaveButton))},
        {kCmdEditCut, themed("edit-cut")},
        {kCmdEditCopy, themed("edit-copy")},
        {kCmdEditPaste, themed("edit-paste")},
        {kCmdFilePrint, themed("document-print")},
        {kCmdAppAbout,
         QIcon::fromTheme("help-about", s->standardIcon(QStyle::SP_MessageBoxInformation))},
    };
    for (int id : toolbarCommands()) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* a = actions_[id];
        a->setIcon(icons.at(id));
        a->setToolTip(withoutMnemonic(a->text()));
        toolBar_->addAction(a);
    }
    connect(toolBar_->toggleViewAction(), &QAction::toggled, this, [this] { refreshCommands(); });
}

void MainWindow::createStatusBar() {
    statusBar()->showMessage(QStringLiteral("Ready"));
    cursorPane_ = new QLabel(this);
    cursorPane_->setAccessibleName(QStringLiteral("Cursor position"));
    statusBar()->addPermanentWidget(cursorPane_);
    // The keyboard indicators keep their places; their lamps are the desktop's own.
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator), this);
        label->setEnabled(false);
        statusBar()->addPermanentWidget(label);
    }
}

void MainWindow::readSettings() {
    QSettings settings;
    restoreGeometry(settings.value("mainWindow/geometry").toByteArray());
    restoreState(settings.value("mainWindow/state").toByteArray());
    int width = settings.value("editor/tabWidth", 4).toInt();
    tabWidth_ = width >= 1 && width <= 20 ? width : 4;
    QFont font;
    QString fontText = settings.value("editor/font").toString();
    if (!fontText.isEmpty() && font.fromString(fontText)) editorFont_ = font;
    model::setSamplingPrunes(settings.value(kPruneKey, true).toBool());
}

void MainWindow::writeSettings() const {
    QSettings settings;
    settings.setValue("mainWindow/geometry", saveGeometry());
    settings.setValue("mainWindow/state", saveState());
    settings.setValue("editor/tabWidth", tabWidth_);
    if (editorFont_) settings.setValue("editor/font", editorFont_->toString());
    saveRecentFiles(recent_);
}

CommandState MainWindow::commandState() const {
    CommandState s;
    if (SourceDocument* doc = currentDocument()) {
        s.hasDocument = true;
        s.canUndo = doc->document()->isUndoAvailable();
        s.hasSelection = doc->textCursor().hasSelection();
        s.hasText = !doc->document()->isEmpty();
    }
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    s.canPaste = clip && clip->hasText();
    s.hasFindText = !findText_.isEmpty();
    s.recentFiles = static_cast<int>(recent_.size());
    s.modelObjects = state_.model.count();
    s.objectListOpen = state_.objectListOpen;
    s.frameRendered = state_.frameJob->isRendered();
    s.frameRendering = state_.frameJob->state() == render::JobState::Rendering;
    s.frameVisible = state_.frameJob->isVisible();
    s.workerBusy = !state_.worker.isIdle();
    s.raytracing = raytrace_ && raytrace_->isBusy();
    s.builtinsVisible = reference_->isVisible();
    s.filmReady = state_.film.isReady();
    s.toolbarVisible = toolBar_ && !toolBar_->isHidden();
    s.statusBarVisible = !statusBar()->isHidden();
    s.pruning = model::samplingPrunes();
    return s;
}

MenuSet MainWindow::menuSet() const {
    return mdi_->subWindowList().isEmpty() ? MenuSet::NoDocument : MenuSet::Document;
}

void MainWindow::refreshCommands() {
    CommandState s = commandState();
    bool document = menuSet() == MenuSet::Document;
    for (QMenu* menu : documentMenus_) menu->menuAction()->setVisible(document);
    for (const CommandRow& row : commandTable()) {
        QAction* a = actions_[row.id];
        CommandStatus status = row.enabling(s);
        a->setEnabled(status.enabled && hasHandler(row.id));
        if (a->isCheckable()) a->setChecked(status.checked);
        if (row.documentOnly) a->setVisible(document);
    }
    updateRecentActions();
    updateModelMenu();
}

void MainWindow::updateModelMenu() {
    QMenu* model = menus_["&Model"];
    QAction* wanted = actions_[modelMenuFirstItem(commandState())];
    QAction* other = actions_[wanted == actions_[kCmdModelObjects] ? kCmdModelAddObject
                                                                    : kCmdModelObjects];
    if (!model->actions().isEmpty() && model->actions().first() == wanted) return;
    model->removeAction(other);
    QList<QAction*> items = model->actions();
    if (items.isEmpty())
        model->addAction(wanted);
    else
        model->insertAction(items.first(), wanted);
}

void MainWindow::updateRecentActions() {
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* a = actions_[kCmdFileRecent1 + i];
        if (i < recent_.size()) {
            QString name = recent_[i];
            name.replace(QLatin1Char('&'), QStringLiteral("&&"));
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
            a->setVisible(true);
            a->setEnabled(true);
        } else {
            // An empty list shows one disabled placeholder.
            a->setText(QStringLiteral("Recent File"));
            a->setVisible(i == 0 && recent_.isEmpty());
            a->setEnabled(false);
        }
    }
}

void MainWindow::addRecentFile(const QString& path) {
    recent_ = withRecentFile(recent_, path);
    saveRecentFiles(recent_);
    updateRecentActions();
}

QAction* MainWindow::action(int id) const {
    auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::updateTitle() {
    QString title = QString::fromUtf8(ui::kAppTitle);
    const QString model = modelCommands_->modelTitle();
    if (!model.isEmpty()) title += QStringLiteral(" - ") + model;
    if (SourceDocument* doc = currentDocument()) title += QStringLiteral(" - ") + doc->title();
    setWindowTitle(title);
}

void MainWindow::updateCursorPane() {
    SourceDocument* doc = currentDocument();
    cursorPane_->setText(doc ? QStringLiteral("Ln %1, Col %2")
                                   .arg(doc->cursorLine())
                                   .arg(doc->cursorColumn())
                             : QString());
}

bool MainWindow::refuse(const std::optional<Refusal>& refusal) {
    if (!refusal) return false;
    ui::MsgIcon icon = ui::MsgIcon::None;
    if (refusal->icon == RefusalIcon::Information) icon = ui::MsgIcon::Information;
    if (refusal->icon == RefusalIcon::Warning) icon = ui::MsgIcon::Warning;
    ui_.message(this, QString::fromUtf8(refusal->text), icon);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (refuse(exitGuard(state_.guardState()))) {
        event->ignore();
        return;
    }
    for (SourceDocument* doc : documents()) {
        if (!confirmClose(doc)) {
            event->ignore();
            return;
        }
    }
    if (!modelCommands_->confirmClose()) {
        event->ignore();
        return;
    }
    writeSettings();
    reference_->hide();
    for (SourceDocument* doc : documents()) closeDocument(doc);
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls)
        if (url.isLocalFile()) openFile(url.toLocalFile());
    event->acceptProposedAction();
}

void MainWindow::onViewToolbar() {
    toolBar_->setVisible(toolBar_->isHidden());
    refreshCommands();
}

void MainWindow::onViewStatusBar() {
    statusBar()->setVisible(statusBar()->isHidden());
    refreshCommands();
}

void MainWindow::onViewBuiltins() {
    if (reference_->isVisible()) {
        reference_->hide();
    } else {
        reference_->show();
        reference_->raise();
    }
    refreshCommands();
}

} // namespace lv::app
