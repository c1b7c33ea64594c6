#pragma once

#include <QFrame>
#include <QStringList>

class QComboBox;
class QToolButton;

// The bar above everything: the Connection button and the choice of bridge.
class TConnectionBar : public QFrame
{
    Q_OBJECT
public:
    explicit TConnectionBar(QWidget *parent);

    // The button shows the link: pressed and "Disconnection" while it is open.
    void ShowLink(bool connected);
    // Lists the bridges present and chooses the first; returns the chosen one, or "".
    QString SetDevices(const QStringList &serials);

    QToolButton *btnConnect;
    QComboBox *cbbDevices;
};
