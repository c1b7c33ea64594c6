#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// How top-level windows meet the desktop: where they open and what title the window manager
// shows.

// The part of the screen a window is centred on.
enum class TScreenArea { Whole, Available };

// Places a window by its outer size, frame included: centred on the area of its screen (and
// kept inside it, its top left corner first), or at the left and top edge given (a negative
// one is centred). On X11 the frame is known only once the window manager has framed the
// window, some time after it is shown; the window is placed again, once, as soon as it is.
void PlaceOnScreen(QWidget *window, TScreenArea area, int left = -1, int top = -1);

// How a window of the outer size wanted, whose layout needs at least the outer size least, is
// opened on a screen's free area: at its size, or maximised where that does not fit; where not
// even the least does (a small screen at 200 %), its content scrolls inside it.
struct TWindowFit
{
    bool Maximise = false;
    bool Scroll = false;
};
TWindowFit FitWindow(QSize wanted, QSize least, QSize area);

// Room for a frame not made yet: a title bar and borders, as a window manager draws them.
inline constexpr QSize FrameAllowance(16, 48);

// Where a window of the outer size goes beside another (anchor, its outer rectangle): at the
// side with more room, top edges level, inside the area. Where the other may move it moves over
// as far as it takes to make room, and no further than the area lets it; so the two overlap
// only where the area cannot hold both side by side, and then as little as it allows.
struct TBesidePlacement
{
    QPoint Window;
    QPoint Anchor; // the other's top left corner, moved or not
};
TBesidePlacement BesidePosition(QSize outer, const QRect &anchor, const QRect &area,
                                bool anchorMayMove);

// Places a window beside another (by their frames, as PlaceOnScreen does) on the other's
// screen, no larger than that screen's free area; the other, unless maximised, moves over to
// make room. Call before showing the window.
void PlaceBeside(QWidget *window, QWidget *anchor);

// Centres a dialog by its outer size on its parent's window, frame included, as PlaceOnScreen
// does on the screen (on the screen's free area when it has no parent). Qt's own placing
// guesses the frame before the window manager has made it: on X11 a dialog sat a title bar's
// height too high. Call before showing the dialog.
void CentreOnParent(QWidget *window);

// An empty title stays empty on the screen too: Qt gives the native window the program's name
// in its place, which the window manager would show. Call once the native window exists and
// again after every change of the title.
void ShowEmptyTitle(QWidget *window);
