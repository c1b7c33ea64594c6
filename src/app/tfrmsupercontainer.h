#pragma once

#include <QDialog>
#include <QPointer>

class QFrame;

// The modal, maximised window that shows one panel of the main window on its own. The panel is
// lent, not copied: it keeps its controls, its data and its connections, so it stays live.
class TfrmSuperContainer : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSuperContainer(QWidget *parent = nullptr);
    // A panel still lent goes home first, so it never dies with the container.
    ~TfrmSuperContainer() override;

    // Moves Panel into Panel1, remembering its place in HomeParent's layout.
    void TakePanel(QWidget *Panel, QWidget *HomeParent);
    // Puts the panel back into the very place it came from; does nothing when none is lent.
    void ReturnPanel();

    QFrame *Panel1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QPointer<QWidget> Panel_;
    QPointer<QWidget> Home_;
    // Holds the panel's place in its home's layout meanwhile, so the rest of the home stays
    // where it was and the panel comes back to the same slot.
    QPointer<QWidget> Placeholder_;
    int HomeStretch_ = 0;
    Qt::Alignment HomeAlignment_;
    bool PanelHidden_ = false;
};

// The container while one is open, null otherwise; at most one exists at a time.
extern QPointer<TfrmSuperContainer> frmSuperContainer;

// Shows Panel alone in a new modal container and returns when that closes, with Panel back in
// HomeParent however the container ended. Returns at once when a container is already open.
void ShowInSuperContainer(QWidget *Panel, QWidget *HomeParent);

// Closes the open container, if any, as its close box does.
void CloseSuperContainer();
