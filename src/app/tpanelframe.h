#pragma once

#include <QFrame>
#include <QVBoxLayout>

// Gives a frame the bevel of the window's layout; the frame already insets its contents, so
// layouts inside need no margin of their own.
inline void SetPanelBevel(QFrame *frame, const QString &name, QFrame::Shadow shadow, int lineWidth)
{
    frame->setObjectName(name);
    if (lineWidth > 0) {
        frame->setFrameStyle(QFrame::Panel | shadow);
        frame->setLineWidth(lineWidth);
    }
}

inline QFrame *NewPanel(const QString &name, QWidget *parent, QFrame::Shadow shadow, int lineWidth)
{
    auto *p = new QFrame(parent);
    SetPanelBevel(p, name, shadow, lineWidth);
    return p;
}

inline QVBoxLayout *FillLayout(QWidget *w, int margin = 0)
{
    auto *l = new QVBoxLayout(w);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}
