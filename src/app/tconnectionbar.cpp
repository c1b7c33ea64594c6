#include "tconnectionbar.h"

#include "tpanelframe.h"
#include "ttoolbar.h"

#include <QComboBox>
#include <QToolButton>

TConnectionBar::TConnectionBar(QWidget *parent)
    : QFrame(parent)
    , btnConnect(new QToolButton(this))
    , cbbDevices(new QComboBox(this))
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
