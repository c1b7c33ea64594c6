#pragma once

#include <QIcon>

// The tool bars' sixteen 16 x 16 icons, by image index. Each comes from the desktop's icon theme
// where the theme has one, else from a drawing of our own, so no button is ever blank.
enum TImageIndex {
    iiFirst = 0,
    iiPrevious = 1,
    iiNext = 2,
    iiLast = 3,
    iiBlankPage = 4,
    iiFloppy = 5,
    iiZoomOut = 6,
    iiZoomIn = 7,
    iiFolderYellow = 8,
    iiFolderGrey = 9,
    iiPrinter = 10,
    iiGo = 11,
    iiBlackZoomIn = 12,
    iiBlackZoomOut = 13,
    iiEnlarge = 14,
    iiShrink = 15,
};
inline constexpr int ImageCount = 16;

QIcon ToolIcon(int index);
// Our own drawing of an icon, without the theme.
QIcon DrawnToolIcon(int index);
// The program's icon: the meter with its display, at the sizes of the desktop's icon theme.
inline constexpr int ProgramIconSizes[] = {LUMETRA_ICON_SIZES};
QIcon ProgramIcon();
