#include "ttoolbar.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
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

QString TToolBar::KeyHint(const QString &hint, const QKeySequence &key)
{
    if (key.isEmpty())
        return hint;
    return hint + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

QToolButton *TToolBar::addButton(const QString &name, const QString &hint, const QIcon &icon,
                                 const QKeySequence &key)
{
    auto *b = new QToolButton(this);
    b->setObjectName(name);
    b->setToolTip(KeyHint(hint, key));
    // A button's key works wherever its window is active, as long as the button is shown.
    b->setShortcut(key);
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    addControl(b, ButtonWidth, ButtonHeight);
    return b;
}
