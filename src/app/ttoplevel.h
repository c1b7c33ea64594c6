#pragma once

class QWidget;

// How top-level windows meet the desktop: where they open and what title the window manager
// shows.

// The part of the screen a window is centred on.
enum class TScreenArea { Whole, Available };

// Places a window by its outer size, frame included: centred on the area of the primary screen,
// or at the left and top edge given (a negative one is centred). On X11 the frame is known only
// once the window manager has framed the window, some time after it is shown; the window is
// placed again, once, as soon as it is.
void PlaceOnScreen(QWidget *window, TScreenArea area, int left = -1, int top = -1);

// Centres a dialog by its outer size on its parent's window, frame included, as PlaceOnScreen
// does on the screen (on the screen's free area when it has no parent). Qt's own placing
// guesses the frame before the window manager has made it: on X11 a dialog sat a title bar's
// height too high. Call before showing the dialog.
void CentreOnParent(QWidget *window);

// An empty title stays empty on the screen too: Qt gives the native window the program's name
// in its place, which the window manager would show. Call once the native window exists and
// again after every change of the title.
void ShowEmptyTitle(QWidget *window);
