#pragma once
// The "Export Dialog": a source list, the file name with "&Browse", "&Export" and "Clo&se". The
// rules are those of export_rules.h; the dialog stays open after every export.
#include <QDialog>

#include "app/ui_services.h"
#include "dialogs/export_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lv::dialogs {

class ExportDialog : public QDialog {
public:
    // The sources' availability is read from exporter now and at every change of source.
    ExportDialog(ui::UiServices& ui, Exporter& exporter, QWidget* parent = nullptr);

    // The selected source number, -1 when none.
    int source() const { return source_; }
    // "&Browse": the save-file chooser with the source's title and filter; the chosen name
    // gets the default extension when it has none.
    void browse();
    // "&Export": exports and reports; returns whether it succeeded.
    bool exportNow();

    QComboBox* sources() const { return sources_; }
    QLabel* fileLabel() const { return fileLabel_; }
    QLineEdit* fileName() const { return fileName_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* closeButton() const { return close_; }

private:
    void selectSource(int source);
    void updateEnabling();

    ui::UiServices& ui_;
    Exporter& exporter_;
    ExportState state_;
    int source_ = -1;
    QComboBox* sources_ = nullptr;
    QLabel* fileLabel_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Run > "&Export to ...", after its guard: the dialog, modal, until "Clo&se".
void runExportDialog(QWidget* parent, ui::UiServices& ui, Exporter& exporter);

} // namespace lv::dialogs
