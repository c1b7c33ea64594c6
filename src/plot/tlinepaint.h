#pragma once

#include <QColor>
#include <QList>
#include <QPointF>

class QPainter;

// Draws a line through points, width units thick and smoothed, as passes of one device pixel
// each, half a pixel apart across each segment. The raster engine draws a thin smoothed line on a
// fast path; a wide one is a path filled scan line by scan line, which for a line that zigzags
// across the plot costs a thousand times more (a hundred readings from one end of the scale to
// the other: 60 ms a paint).
void DrawThickLine(QPainter &p, const QList<QPointF> &points, const QColor &color, qreal width);
