#pragma once

#include <QFrame>
#include <QString>

class QHBoxLayout;
class QToolButton;
class QIcon;
class QKeySequence;

// A tool bar that lays its controls out left to right at fixed sizes, the way the window's
// layout places them; a hidden control takes no room, so swapped buttons share one slot.
class TToolBar : public QFrame
{
    Q_OBJECT
public:
    static constexpr int ButtonWidth = 23;
    static constexpr int ButtonHeight = 22;
    static constexpr int SeparatorWidth = 8;

    TToolBar(const QString &name, int height, QWidget *parent);

    // Adds a control at its fixed size, 2 pixels from the top.
    void addControl(QWidget *w, int width, int height = ButtonHeight);
    void addSeparator();
    void addSpacing(int width);
    // A button with its key: pressing it is a click, and the hint names it ("Save (Ctrl+S)").
    QToolButton *addButton(const QString &name, const QString &hint, const QIcon &icon,
                           const QKeySequence &key = {});

    // The hint with the key that does the same: "Save (Ctrl+S)".
    static QString KeyHint(const QString &hint, const QKeySequence &key);

private:
    QHBoxLayout *Layout_;
};
