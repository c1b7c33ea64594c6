#include "tfrmsupercontainer.h"

#include "ttoplevel.h"

#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>

QPointer<TfrmSuperContainer> frmSuperContainer;

TfrmSuperContainer::TfrmSuperContainer(QWidget *parent)
    : QDialog(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmSuperContainer"));
    setWindowTitle(QString());
    setBackgroundRole(QPalette::Button);
    setWindowState(Qt::WindowMaximized);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setBackgroundRole(QPalette::Button);
    Panel1->setAutoFillBackground(true);
    auto *fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);
    auto *inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(0);
}

TfrmSuperContainer::~TfrmSuperContainer()
{
    ReturnPanel();
}

void TfrmSuperContainer::TakePanel(QWidget *Panel, QWidget *HomeParent)
{
    ReturnPanel();
    Panel_ = Panel;
    Home_ = HomeParent;
    PanelHidden_ = Panel->isHidden();
    auto *home = qobject_cast<QBoxLayout *>(HomeParent->layout());
    const int index = home ? home->indexOf(Panel) : -1;
    if (index >= 0) {
        HomeStretch_ = home->stretch(index);
        HomeAlignment_ = home->itemAt(index)->alignment();
    }
    // The tool bars' controls have fixed sizes made for the main window's font; the panel keeps
    // that font here instead of taking the container's default one.
    Panel1->setFont(HomeParent->font());
    Panel1->layout()->addWidget(Panel);
    Panel->show();
    if (index >= 0) {
        Placeholder_ = new QWidget(HomeParent);
        Placeholder_->setSizePolicy(Panel->sizePolicy());
        home->insertWidget(index, Placeholder_, HomeStretch_, HomeAlignment_);
        Placeholder_->show();
    }
}

void TfrmSuperContainer::ReturnPanel()
{
    QWidget *panel = Panel_;
    QWidget *home = Home_;
    Panel_ = nullptr;
    Home_ = nullptr;
    auto *layout = home ? qobject_cast<QBoxLayout *>(home->layout()) : nullptr;
    const int index = layout && Placeholder_ ? layout->indexOf(Placeholder_) : -1;
    delete Placeholder_.data();
    if (!panel || !home)
        return;
    panel->setParent(home);
    if (index >= 0)
        layout->insertWidget(index, panel, HomeStretch_, HomeAlignment_);
    else if (home->layout())
        home->layout()->addWidget(panel);
    else
        panel->setGeometry(home->contentsRect());
    panel->setVisible(!PanelHidden_);
}

void TfrmSuperContainer::keyPressEvent(QKeyEvent *event)
{
    if (!event->matches(QKeySequence::Cancel)) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    // Escape in one of the panel's edit boxes only leaves the box (a typed value is applied as
    // when the box loses the focus any other way); anywhere else it closes the view, as its
    // close button does.
    QWidget *focus = focusWidget();
    if (qobject_cast<QLineEdit *>(focus) || qobject_cast<QAbstractSpinBox *>(focus)) {
        setFocus(Qt::OtherFocusReason);
        return;
    }
    close();
}

void TfrmSuperContainer::showEvent(QShowEvent *event)
{
    // The view has no title, on the screen neither.
    ShowEmptyTitle(this);
    QDialog::showEvent(event);
}

void ShowInSuperContainer(QWidget *Panel, QWidget *HomeParent)
{
    if (frmSuperContainer || !Panel || !HomeParent)
        return;
    QPointer<QWidget> owner = HomeParent->window();
    const bool ownerWasEnabled = owner->isEnabled();
    frmSuperContainer = new TfrmSuperContainer();
    QPointer<TfrmSuperContainer> container = frmSuperContainer;
    const auto restore = qScopeGuard([&] {
        if (owner && ownerWasEnabled)
            owner->setEnabled(true);
        // The container may already be gone (its destructor then took the panel home).
        if (container) {
            container->ReturnPanel();
            delete container.data();
        }
        frmSuperContainer = nullptr;
    });
    container->TakePanel(Panel, HomeParent);
    // Disabled only once the panel has left it, so the lent panel stays usable. Windows the
    // owner keeps (a dialog made once and shown again) stay usable too: a lent control may
    // open one, and a disabled dialog over a modal view could not be answered.
    if (ownerWasEnabled) {
        QList<QPointer<QWidget>> ownWindows;
        for (QWidget *child : owner->findChildren<QWidget *>())
            if (child->isWindow() && child->isEnabled())
                ownWindows << child;
        owner->setEnabled(false);
        for (const QPointer<QWidget> &window : ownWindows)
            if (window)
                window->setEnabled(true);
    }
    container->exec();
}

void CloseSuperContainer()
{
    if (frmSuperContainer)
        frmSuperContainer->close();
}
