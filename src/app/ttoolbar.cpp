#include "ttoolbar.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QToolButton>

TToolBar::TToolBar(const QString &name, int height, QWidget *parent)
    : QFrame(parent)
    , Layout_(new QHBoxLayout(this))
{
    setObjectName(name);
    setFixedHeight(height);
    Layout_->setContentsMargins(0, 2, 0, 0);
    Layout_->setSpacing(0);
    Layout_->addStretch(1);
}

void TToolBar::addControl(QWidget *w, int width, int height)
{
    w->setFixedSize(width, height);
    Layout_->insertWidget(Layout_->count() - 1, w, 0, Qt::AlignTop);
}

void TToolBar::addSeparator()
{
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    addControl(line, SeparatorWidth);
}

void TToolBar::addSpacing(int width)
{
    Layout_->insertSpacing(Layout_->count() - 1, width);
}

QToolButton *TToolBar::addButton(const QString &name, const QString &hint, const QIcon &icon)
{
    auto *b = new QToolButton(this);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    addControl(b, ButtonWidth, ButtonHeight);
    return b;
}
