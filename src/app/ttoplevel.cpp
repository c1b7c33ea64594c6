#include "ttoplevel.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <functional>

#if __has_include(<xcb/xcb.h>) && defined(LUMETRA_HAVE_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#define LUMETRA_X11 1
#endif

namespace {

QRect screenArea(TScreenArea area, const QWidget *window = nullptr)
{
    const QScreen *screen = window ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(0, 0, 640, 480);
    return area == TScreenArea::Available ? screen->availableGeometry() : screen->geometry();
}

// The left (or top) edge that keeps a length inside the span from first for size: its far end
// first, then its near one, which matters most when it cannot have both.
int keptInside(int edge, int length, int first, int size)
{
    return std::max(first, std::min(edge, first + size - length));
}

bool frameKnown(const QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    return handle && !handle->frameMargins().isNull();
}

// Puts a window where it belongs, from what is known of its frame at the time.
using TPlacer = std::function<void(QWidget *)>;

// The window's outer rectangle centred on the area, or at the edges given.
void centreOn(QWidget *window, const QRect &area, int left = -1, int top = -1)
{
    const QSize outer = window->frameGeometry().size();
    const int x = area.x() + area.width() / 2 - outer.width() / 2;
    const int y = area.y() + area.height() / 2 - outer.height() / 2;
    window->move(left >= 0 ? left : keptInside(x, outer.width(), area.x(), area.width()),
                 top >= 0 ? top : keptInside(y, outer.height(), area.y(), area.height()));
}

// Waits for the frame: the window manager frames a window after it is mapped and then tells
// of its new place, which arrives as a move.
class TFrameWatch : public QObject
{
public:
    static constexpr char Name[] = "lumetra-frame-watch";

    TFrameWatch(QWidget *window, TPlacer place)
        : QObject(window)
        , Place_(std::move(place))
    {
        setObjectName(QLatin1String(Name));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize
             || event->type() == QEvent::Expose)
            && frameKnown(window)) {
            window->removeEventFilter(this);
            deleteLater();
            Place_(window);
        }
        return false;
    }

private:
    TPlacer Place_;
};

// Places the window now and, unless its frame is known already, once more when it is.
void placeByFrame(QWidget *window, const TPlacer &place)
{
    place(window);
    if (frameKnown(window))
        return;
    // Placed anew: an earlier wait is replaced, never run after this placing.
    for (QObject *old : window->findChildren<QObject *>(QLatin1String(TFrameWatch::Name),
                                                        Qt::FindDirectChildrenOnly))
        delete old;
    new TFrameWatch(window, place);
}

} // namespace

void PlaceOnScreen(QWidget *window, TScreenArea area, int left, int top)
{
    const TPlacer place = [area, left, top](QWidget *w) {
        centreOn(w, screenArea(area, w), left, top);
    };
    if (left >= 0 && top >= 0) {
        place(window); // both edges given: the frame's size does not matter
        return;
    }
    placeByFrame(window, place);
}

TWindowFit FitWindow(QSize wanted, QSize least, QSize area)
{
    const auto fits = [&area](QSize s) {
        return s.width() <= area.width() && s.height() <= area.height();
    };
    return {!fits(wanted), !fits(least)};
}

TBesidePlacement BesidePosition(QSize outer, const QRect &anchor, const QRect &area,
                                bool anchorMayMove)
{
    QRect other = anchor;
    const int right = area.x() + area.width() - (anchor.x() + anchor.width());
    const int left = anchor.x() - area.x();
    const bool onTheRight = right >= left;
    if (anchorMayMove) {
        // Over as far as it takes, and as far as its other side has room.
        const int lacking = outer.width() - (onTheRight ? right : left);
        const int shift = std::clamp(lacking, 0, std::max(0, onTheRight ? left : right));
        other.translate(onTheRight ? -shift : shift, 0);
    }
    const int x = onTheRight ? other.x() + other.width() : other.x() - outer.width();
    return {{keptInside(x, outer.width(), area.x(), area.width()),
             keptInside(other.y(), outer.height(), area.y(), area.height())},
            other.topLeft()};
}

void PlaceBeside(QWidget *window, QWidget *anchor)
{
    const QPointer<QWidget> other = anchor ? anchor->window() : nullptr;
    const QRect area = screenArea(TScreenArea::Available, other);
    window->ensurePolished();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    // No larger than the screen's free area, frame included.
    const QSize room = area.size() - FrameAllowance;
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    placeByFrame(window, [other, area](QWidget *w) {
        const QRect anchorFrame = other ? other->frameGeometry() : QRect(area.center(), QSize());
        const bool mayMove =
            other && !(other->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
        const TBesidePlacement at =
            BesidePosition(w->frameGeometry().size(), anchorFrame, area, mayMove);
        if (other && at.Anchor != anchorFrame.topLeft())
            other->move(at.Anchor);
        w->move(at.Window);
    });
}

void CentreOnParent(QWidget *window)
{
    const QPointer<QWidget> parent =
        window->parentWidget() ? window->parentWidget()->window() : nullptr;
    // The size it will be shown at, as showing would settle it.
    window->ensurePolished();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    placeByFrame(window, [parent](QWidget *w) {
        centreOn(w, parent ? parent->frameGeometry() : screenArea(TScreenArea::Available));
    });
}

void ShowEmptyTitle(QWidget *window)
{
#ifdef LUMETRA_X11
    if (!window->windowTitle().isEmpty() || !window->testAttribute(Qt::WA_WState_Created))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform answers for X11 too, without a connection of its own.
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb") || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    static const char name[] = "_NET_WM_NAME";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!atom)
        return;
    static const char utf8[] = "UTF8_STRING";
    xcb_intern_atom_reply_t *type = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof utf8 - 1, utf8), nullptr);
    if (type) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                            atom->atom, type->atom, 8, 0, nullptr);
        xcb_flush(connection);
    }
    std::free(type);
    std::free(atom);
#else
    (void)window;
#endif
}
