#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Drops typed characters an edit box does not take. Only typed text is filtered: editing keys
// (arrows, Delete), backspace and the keys that move on or answer (Tab, Return, Escape) always
// pass, as the boxes expect to be corrected by hand and left by keyboard.
class TKeyFilter : public QObject
{
public:
    using Accept = std::function<bool(QChar)>;

    // Installs itself on the widget, which owns it.
    static TKeyFilter *install(QWidget *widget, Accept accept);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TKeyFilter(QWidget *widget, Accept accept);
    Accept Accept_;
};
