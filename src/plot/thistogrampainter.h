#pragma once

#include <QColor>
#include <QFont>
#include <QPen>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

class QPaintDevice;
class QPainter;

// An upright line across the histogram at a value, with its label under the value axis.
struct THistogramMark
{
    double Value = 0;
    QString Label;
    bool Nominal = false; // drawn solid and dark; the others dashed red
};

// What a histogram shows: bins of equal width, the value axis' span and the marked values.
struct THistogramPicture
{
    double Low = 0; // the left edge of the first bin
    double Width = 0;
    std::vector<std::int64_t> Counts;
    double SpanLow = 0; // the value axis, which holds every bin and every mark
    double SpanHigh = 0;
    QString SpanLowLabel;
    QString SpanHighLabel;
    // Labelled in this order while there is room: the first ones matter most.
    std::vector<THistogramMark> Marks;
    QString ValueTitle;
    QString CountTitle;

    bool empty() const { return Counts.empty() || !(Width > 0) || !(SpanHigh > SpanLow); }
};

// Draws a histogram: bars, a count axis with whole-number marks at round steps, the marked
// values as lines with labels that stay inside the picture and never overlap. The statistics
// window and the summary page both draw it, so they say the same.
class THistogramPainter
{
public:
    THistogramPainter();

    QColor BarColor;
    QPen NominalPen;
    QPen LimitPen;
    QPen GridPen;
    QPen FramePen;
    QFont LabelFont;
    QFont TitleFont;
    double EdgeRoom = 0.03; // of the span, left free at each end

    struct TLabel
    {
        QRectF Rect;
        QString Text;
    };
    struct TLayout
    {
        QRectF Area;
        QRectF Plot;
        std::int64_t CountStep = 1;
        std::int64_t CountTop = 1;
        std::vector<std::int64_t> CountTicks;
        std::vector<TLabel> CountLabels;
        std::vector<TLabel> ValueLabels; // under the value axis, left to right
        QRectF ValueTitle;
        QRectF CountTitle; // reads upwards
    };
    TLayout layout(const THistogramPicture &h, const QRectF &area,
                   const QPaintDevice *device = nullptr) const;
    double xOf(const THistogramPicture &h, const TLayout &l, double value) const;
    void paint(QPainter &p, const THistogramPicture &h, const QRectF &area) const;
};
