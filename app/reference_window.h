#pragma once
// "Built-in Lumovar functions reference": a modeless window listing every built-in function
// with its parameter kinds. Made hidden at start-up and kept for the whole run: closing it
// (its close box, Escape or "&Close") only hides it.
#include <QDialog>
#include <QStringList>

class QListWidget;

namespace lv::app {

// The reference entries: one "name(R, A, S)" per built-in, sorted alphabetically without
// regard to case.
QStringList builtinReferenceEntries();

class ReferenceWindow : public QDialog {
    Q_OBJECT
public:
    explicit ReferenceWindow(QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }

signals:
    // Shown or hidden, so that the View menu's check mark follows.
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QListWidget* list_;
};

} // namespace lv::app
