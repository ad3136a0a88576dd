#include "app/model_commands.h"

#include <QFileInfo>
#include <QMenu>
#include <utility>
#include <QWidget>

#include "app/model_loading.h"
#include "dialogs/add_object_dialog.h"
#include "dialogs/object_list_window.h"
#include "dialogs/object_properties_dialog.h"
#include "lang/settings.h"
#include "model/model_file.h"
#include "render/time_curve.h"

namespace lv::app {

ModelCommands::ModelCommands(ModelContext context, ui::UiServices& ui, QWidget* window)
    : context_(std::move(context)), ui_(ui), window_(window), events_(context_.model) {
    connect(&events_, &ui::ModelEvents::changed, this, &ModelCommands::commandsChanged);
    connect(&events_, &ui::ModelEvents::modifiedChanged, this, &ModelCommands::commandsChanged);
}

ModelCommands::~ModelCommands() {
    // The window follows the notifications owned here: it goes first.
    delete objectList_.data();
}

void ModelCommands::addObject() {
    dialogs::AddObjectDialog dialog(context_.sources, events_, ui_, window_);
    dialog.exec();
}

void ModelCommands::showObjects() {
    if (objectList_) {
        // Centred on the main window and brought to the front, as a fresh one would be.
        const QRect frame = window_->geometry();
        objectList_->move(frame.center() - objectList_->rect().center());
        objectList_->show();
        objectList_->raise();
        objectList_->activateWindow();
        return;
    }
    objectList_ = new dialogs::ObjectListWindow(context_.sources, events_, ui_, window_);
    connect(objectList_.data(), &dialogs::ObjectListWindow::closed, this, [this] {
        objectList_ = nullptr;
        emit commandsChanged();
    });
    objectList_->show();
    emit commandsChanged();
}

void ModelCommands::editObjects(int tab) {
    if (context_.model.count() == 0) return;
    dialogs::ObjectPropertiesDialog dialog(events_, ui_, tab, {}, window_);
    dialog.exec();
}

void ModelCommands::addMenuItems(QMenu* menu) {
    menu->addSeparator()->setProperty("modelFileEntry", true);
    const std::pair<QString, void (ModelCommands::*)()> items[] = {
        {tr("Op&en Model..."), &ModelCommands::openModelAction},
        {tr("&Save Model..."), &ModelCommands::saveModelAction},
        {tr("Save Mo&del As..."), &ModelCommands::saveModelAsAction},
    };
    for (const auto& [text, slot] : items) {
        QAction* action = menu->addAction(text);
        action->setProperty("modelFileEntry", true); // not one of the command table's rows
        connect(action, &QAction::triggered, this, slot);
    }
}

void ModelCommands::openModelAction() { openModelChosen(); }
void ModelCommands::saveModelAction() { saveModel(); }
void ModelCommands::saveModelAsAction() { saveModelAs(); }

bool ModelCommands::openModelChosen() {
    const QString path = ui_.openFileName(window_, tr("Open Model"),
                                          QString::fromUtf8(kModelFilter),
                                          path_.isEmpty() ? QString() : QFileInfo(path_).path());
    return !path.isEmpty() && openModel(path);
}

bool ModelCommands::openModel(const QString& path) {
    if (context_.workerIdle && !context_.workerIdle()) {
        ui_.message(window_, QString::fromUtf8(kRenderingActiveRefused), ui::MsgIcon::None);
        return false;
    }
    model::ModelFileContents contents;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const LoadOutcome loaded = openModelFile(absolute.toStdString(), context_.sources, contents);
    if (!loaded.ok()) {
        ui_.message(window_, QString::fromStdString(loaded.readError), ui::MsgIcon::Error);
        return false;
    }
    context_.timeCurve.clear();
    for (const model::TimeRow& row : contents.timeRows)
        context_.timeCurve.appendRow(row.t1, row.t2, row.t3);
    path_ = absolute;
    events_.replaceModel(std::move(contents.model));
    emit commandsChanged();
    return true;
}

bool ModelCommands::saveModel() {
    if (path_.isEmpty()) return saveModelAs();
    return saveTo(path_);
}

bool ModelCommands::saveModelAs() {
    QString path = ui_.saveFileName(window_, tr("Save Model As"), QString::fromUtf8(kModelFilter),
                                    path_);
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".lvm");
    return saveTo(QFileInfo(path).absoluteFilePath());
}

bool ModelCommands::saveTo(const QString& path) {
    model::ModelFileContents contents;
    std::unique_ptr<model::Model> copy = context_.model.copyModel();
    contents.model = std::move(*copy);
    for (int frame = 1; frame <= context_.timeCurve.count(); ++frame) {
        const render::TimeCurveRow* row = context_.timeCurve.rowAt(frame);
        contents.timeRows.push_back({static_cast<float>(row->t1), static_cast<float>(row->t2),
                                     static_cast<float>(row->t3)});
    }
    contents.eps = lang::eps();
    contents.alpha = lang::alpha();
    std::string error;
    if (!model::saveModelFile(path.toStdString(), contents, error)) {
        ui_.message(window_, QString::fromStdString(error), ui::MsgIcon::Error);
        return false;
    }
    path_ = path;
    events_.setModified(false);
    emit commandsChanged();
    return true;
}

bool ModelCommands::confirmClose() {
    if (!events_.isModified()) return true;
    const QString name = path_.isEmpty() ? tr("the model") : QFileInfo(path_).fileName();
    switch (ui_.message(window_, tr("Save changes to %1?").arg(name), ui::MsgIcon::Question,
                        ui::MsgButtons::YesNoCancel, ui::MsgResult::Yes)) {
    case ui::MsgResult::Yes: return saveModel();
    case ui::MsgResult::No: return true;
    default: return false;
    }
}

QString ModelCommands::modelTitle() const {
    if (path_.isEmpty() && !events_.isModified()) return {};
    QString name = path_.isEmpty() ? tr("untitled model") : QFileInfo(path_).fileName();
    if (events_.isModified()) name += QLatin1Char('*');
    return name;
}

} // namespace lv::app
