#pragma once

#include <QFrame>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QToolButton;

// The bar above everything: the Connection button, the choice of bridge, and in its context
// menu whether a meter that goes away is waited for; its outages are told on the bar's line.
class TConnectionBar : public QFrame
{
    Q_OBJECT
public:
    explicit TConnectionBar(QWidget *parent);

    // The button shows the link: pressed and "Disconnection" while it is open.
    void ShowLink(bool connected);
    // Lists the bridges present and chooses the first; returns the chosen one, or "".
    QString SetDevices(const QStringList &serials);
    // The line beside the button: what became of the meter that went away. Never a box, which
    // would hold up a bench nobody watches.
    void ShowOutage(const QString &text);

    QToolButton *btnConnect;
    QComboBox *cbbDevices;
    QAction *actReconnect; // "Reconnect automatically", off at start
    QLabel *lblOutage;

protected:
    void resizeEvent(QResizeEvent *event) override;
};
