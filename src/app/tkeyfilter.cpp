#include "tkeyfilter.h"

#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

TKeyFilter::TKeyFilter(QWidget *widget, Accept accept)
    : QObject(widget)
    , Accept_(std::move(accept))
{}

TKeyFilter *TKeyFilter::install(QWidget *widget, Accept accept)
{
    auto *filter = new TKeyFilter(widget, std::move(accept));
    widget->installEventFilter(filter);
    return filter;
}

bool TKeyFilter::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Backspace)
        return false;
    // Tab, Return, Escape and the like carry a control character as their text; they move the
    // focus or answer a dialog, and are no character typed into the box.
    if (std::any_of(text.begin(), text.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return false;
    // Shortcuts (Ctrl+C, Ctrl+V, ...) are not typed characters.
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    for (QChar c : text)
        if (!Accept_(c))
            return true;
    return false;
}
