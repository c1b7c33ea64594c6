#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

class QPaintDevice;
class QPainter;
class TChartPoints;

// One value axis of the paged chart: its scale, title and which of its parts are drawn.
struct TChartAxis
{
    double Min = 0;
    double Max = 1;
    QString Title;
    double MinStep = 0; // labels are at least this far apart
    bool LineVisible = false;
    bool TicksVisible = false;
};

// Draws the paged trend chart: white ground, no title or legend, grid lines at the labelled
// marks of both axes, one line through the points of the window in view. Painting only, so the
// window's chart, its saved picture and the benchmarks all draw the same picture.
class TPagedChartPainter
{
public:
    TPagedChartPainter();

    TChartAxis Bottom;
    TChartAxis Left;
    QColor Background = Qt::white;
    QPen GridPen;
    QPen FramePen; // the plot area's border
    QPen AxisPen;  // an axis line, where one is drawn
    QPen LinePen;
    bool Markers = false;
    QFont LabelFont;
    QFont TitleFont;

    struct TLayout
    {
        QSizeF Size;
        QRectF Plot; // the area the line is drawn in
        double BottomStep = 1;
        double LeftStep = 1;
        std::vector<double> BottomTicks;
        std::vector<double> LeftTicks;
        // Where each axis title stands (the left one reads upwards, centred on this rectangle).
        QRectF BottomTitle;
        QRectF LeftTitle;
    };
    // The layout on a picture of size, fonts measured for device (the screen when null).
    TLayout layout(const QSizeF &size, const QPaintDevice *device = nullptr) const;
    // A point's place in the picture.
    QPointF map(const TLayout &l, double x, double y) const;
    // Indexes of the points the line is drawn through: the window and one neighbour each side,
    // clipped to the points there are; first > last when none.
    static std::pair<qsizetype, qsizetype> pointsInView(double min, double max, qsizetype count);

    // Ground, grid, labels and titles: what only changes with the size or a scale.
    void paintFrame(QPainter &p, const TLayout &l) const;
    // The line through the points in view.
    void paintLine(QPainter &p, const TLayout &l, const TChartPoints &points) const;
    void paint(QPainter &p, const QSizeF &size, const TChartPoints &points) const;

private:
    // The range an axis draws: a single value still gets some room.
    static std::pair<double, double> span(const TChartAxis &a);
};
