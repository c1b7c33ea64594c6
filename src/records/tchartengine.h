#pragma once

#include <QString>
#include <QtGlobal>

// What the trend chart's paging controller needs of a chart: one line series whose points get
// X = the number of points held before them, a horizontal axis the controller scrolls by
// pages, a vertical axis it scales, and a picture of the chart as a file. The window's chart
// widget implements it; a headless one stands in where no window is wanted.
class TChartEngine
{
public:
    virtual ~TChartEngine() = default;

    virtual void appendPoint(double value) = 0;
    virtual void removeAllPoints() = 0;
    virtual qsizetype pointCount() const = 0;

    // The horizontal axis is always scaled by hand. A minimum above the current maximum, or a
    // maximum below the current minimum, is refused and leaves the axis as it was; the same
    // holds for the vertical axis.
    virtual void setBottomMin(double value) = 0;
    virtual void setBottomMax(double value) = 0;
    virtual double bottomMin() const = 0;
    virtual double bottomMax() const = 0;
    // Moves both ends of the horizontal axis by offset, but only towards points that exist: up
    // only if some point lies right of the maximum, down only if some point lies left of the
    // minimum; otherwise nothing moves.
    virtual void scrollBottom(double offset) = 0;

    virtual void setLeftMin(double value) = 0;
    virtual void setLeftMax(double value) = 0;

    // Draws the chart at its on-screen size on white and writes it as a Windows bitmap. On
    // failure returns false with a message for the user in *error.
    virtual bool saveBitmap(const QString &fileName, QString *error) = 0;
};
