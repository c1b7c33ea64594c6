#include "tconnectionbar.h"

#include "tpanelframe.h"
#include "ttoolbar.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

TConnectionBar::TConnectionBar(QWidget *parent)
    : QFrame(parent)
    , btnConnect(new QToolButton(this))
    , cbbDevices(new QComboBox(this))
    , actReconnect(new QAction(QStringLiteral("Reconnect automatically"), this))
    , lblOutage(new QLabel(this))
{
    SetPanelBevel(this, QStringLiteral("Panel3"), QFrame::Raised, 1);
    setFixedHeight(33);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setText(QStringLiteral("Connection"));
    btnConnect->setCheckable(true);
    btnConnect->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnConnect->setGeometry(7, 3, 106, 24);
    btnConnect->setShortcut(Qt::Key_F5);
    btnConnect->setToolTip(TToolBar::KeyHint(btnConnect->text(), btnConnect->shortcut()));
    cbbDevices->setObjectName(QStringLiteral("cbbDevices"));
    cbbDevices->setGeometry(119, 5, 314, 21);
    cbbDevices->hide();
    actReconnect->setObjectName(QStringLiteral("actReconnect"));
    actReconnect->setCheckable(true);
    addAction(actReconnect);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    lblOutage->setObjectName(QStringLiteral("lblOutage"));
    lblOutage->setTextFormat(Qt::PlainText);
    // Once nobody waits for the meter, what was said about it is over.
    connect(actReconnect, &QAction::toggled, lblOutage, [this](bool on) {
        if (!on)
            lblOutage->clear();
    });
}

void TConnectionBar::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    lblOutage->setGeometry(121, 5, std::max(0, width() - 129), 21);
}

void TConnectionBar::ShowOutage(const QString &text)
{
    lblOutage->setText(text);
    lblOutage->setToolTip(text);
}

void TConnectionBar::ShowLink(bool connected)
{
    btnConnect->setChecked(connected);
    btnConnect->setText(connected ? QStringLiteral("Disconnection") : QStringLiteral("Connection"));
    btnConnect->setToolTip(TToolBar::KeyHint(btnConnect->text(), btnConnect->shortcut()));
}

QString TConnectionBar::SetDevices(const QStringList &serials)
{
    cbbDevices->clear();
    cbbDevices->addItems(serials);
    if (serials.isEmpty())
        return {};
    cbbDevices->setCurrentIndex(0);
    return serials.first();
}
