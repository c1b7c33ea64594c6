#include "tpagedchartpainter.h"

#include "taxisticks.h"
#include "tchartpoints.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Room around the whole chart, and between a label and what it labels.
constexpr double MarginLeft = 4;
constexpr double MarginTop = 8;
constexpr double MarginRight = 12;
constexpr double MarginBottom = 4;
constexpr double LabelGap = 5;
constexpr double BottomLabelGap = 7;
constexpr double TitleGap = 4;

// The desktop's own face: the labels a little larger than a window's text, the titles bold.
QFont chartFont(bool bold)
{
    QFont f;
    f.setPointSizeF(bold ? 9 : 10);
    f.setBold(bold);
    return f;
}

QFontMetricsF metrics(const QFont &font, const QPaintDevice *device)
{
    return device ? QFontMetricsF(font, device) : QFontMetricsF(font);
}

// How many labels an axis of `pixels` length carries, `pixelsPerLabel` apart at the least.
int labelCount(double pixels, double pixelsPerLabel)
{
    return std::clamp(int(pixels / std::max(pixelsPerLabel, 1.0)), 2, 10);
}

// A pixel-sharp place for a one-pixel line.
double sharp(double v)
{
    return std::floor(v) + 0.5;
}

} // namespace

TPagedChartPainter::TPagedChartPainter()
    : GridPen(QColor(0xC0, 0xC0, 0xC0), 1, Qt::SolidLine)
    , FramePen(QColor(0xB4, 0xB4, 0xB4), 1)
    , AxisPen(QColor(0x80, 0x80, 0x80), 1)
    , LinePen(QColor(Qt::blue), 2)
    , LabelFont(chartFont(false))
    , TitleFont(chartFont(true))
{
    Bottom = {1, 100, QStringLiteral("Record Number"), 1.0, false, false};
    Left = {-40, 40, QStringLiteral("Value"), 0.1, true, false};
    LinePen.setCapStyle(Qt::RoundCap);
    LinePen.setJoinStyle(Qt::RoundJoin);
}

std::pair<double, double> TPagedChartPainter::span(const TChartAxis &a)
{
    if (a.Max > a.Min)
        return {a.Min, a.Max};
    return {a.Min - 1.0, a.Max + 1.0};
}

TPagedChartPainter::TLayout TPagedChartPainter::layout(const QSizeF &size,
                                                       const QPaintDevice *device) const
{
    TLayout l;
    l.Size = size;
    const QFontMetricsF label = metrics(LabelFont, device);
    const QFontMetricsF title = metrics(TitleFont, device);
    const double labelHeight = label.height();
    const auto [bottomMin, bottomMax] = span(Bottom);
    const auto [leftMin, leftMax] = span(Left);

    // Heights first: they decide how many labels the value axis carries, which decides how
    // wide its labels are, which decides the width left for the record numbers.
    const double top = MarginTop + labelHeight / 2;
    double bottom = size.height() - MarginBottom;
    if (!Bottom.Title.isEmpty())
        bottom -= title.height() + TitleGap;
    bottom -= labelHeight + BottomLabelGap;
    const double plotHeight = std::max(1.0, bottom - top);
    l.LeftStep =
        NiceStep((leftMax - leftMin) / labelCount(plotHeight, labelHeight * 2), Left.MinStep);
    l.LeftTicks = TicksBetween(leftMin, leftMax, l.LeftStep);
    double labelWidth = 0;
    for (const double t : l.LeftTicks)
        labelWidth = std::max(labelWidth, label.horizontalAdvance(TickLabel(t, l.LeftStep)));

    double left = MarginLeft;
    if (!Left.Title.isEmpty())
        left += title.height() + TitleGap;
    left += labelWidth + LabelGap;
    // The label of the last record number stands half outside the plot.
    const double right =
        size.width() - MarginRight - label.horizontalAdvance(TickLabel(bottomMax, 1.0)) / 2;
    const double plotWidth = std::max(1.0, right - left);
    const double widest = std::max({std::abs(bottomMin), std::abs(bottomMax), 1.0});
    const int digits = int(std::floor(std::log10(widest))) + 1;
    l.BottomStep = NiceStep(
        (bottomMax - bottomMin)
            / labelCount(plotWidth, digits * label.horizontalAdvance(QLatin1Char('0')) + 14),
        Bottom.MinStep);
    l.BottomTicks = TicksBetween(bottomMin, bottomMax, l.BottomStep);

    l.Plot = QRectF(left, top, plotWidth, plotHeight);
    l.BottomTitle = QRectF(left, l.Plot.bottom() + BottomLabelGap + labelHeight + TitleGap,
                           plotWidth, title.height());
    l.LeftTitle = QRectF(MarginLeft, top, title.height(), plotHeight);
    return l;
}

QPointF TPagedChartPainter::map(const TLayout &l, double x, double y) const
{
    const auto [bottomMin, bottomMax] = span(Bottom);
    const auto [leftMin, leftMax] = span(Left);
    return {l.Plot.left() + (x - bottomMin) / (bottomMax - bottomMin) * l.Plot.width(),
            l.Plot.bottom() - (y - leftMin) / (leftMax - leftMin) * l.Plot.height()};
}

std::pair<qsizetype, qsizetype> TPagedChartPainter::pointsInView(double min, double max,
                                                                 qsizetype count)
{
    const double lo = std::ceil(min) - 1.0;
    const double hi = std::floor(max) + 1.0;
    const qsizetype from = lo <= 0.0 ? 0 : lo >= double(count) ? count : qsizetype(lo);
    const qsizetype to = hi < 0.0 ? -1 : hi >= double(count - 1) ? count - 1 : qsizetype(hi);
    return {from, to};
}

void TPagedChartPainter::paintFrame(QPainter &p, const TLayout &l) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRectF(QPointF(0, 0), l.Size), Background);
    const QRectF &plot = l.Plot;
    p.setPen(GridPen);
    for (const double t : l.BottomTicks) {
        const double x = sharp(map(l, t, 0).x());
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (const double t : l.LeftTicks) {
        const double y = sharp(map(l, 0, t).y());
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(FramePen);
    p.drawRect(QRectF(sharp(plot.left()), sharp(plot.top()), std::floor(plot.width()),
                      std::floor(plot.height())));
    p.setPen(AxisPen);
    if (Left.LineVisible)
        p.drawLine(QPointF(sharp(plot.left()), plot.top()),
                   QPointF(sharp(plot.left()), plot.bottom()));
    if (Bottom.LineVisible)
        p.drawLine(QPointF(plot.left(), sharp(plot.bottom())),
                   QPointF(plot.right(), sharp(plot.bottom())));
    constexpr double TickLength = 5;
    if (Left.TicksVisible)
        for (const double t : l.LeftTicks) {
            const double y = sharp(map(l, 0, t).y());
            p.drawLine(QPointF(plot.left() - TickLength, y), QPointF(plot.left(), y));
        }
    if (Bottom.TicksVisible)
        for (const double t : l.BottomTicks) {
            const double x = sharp(map(l, t, 0).x());
            p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + TickLength));
        }

    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setPen(Qt::black);
    p.setFont(LabelFont);
    const QFontMetricsF label(LabelFont, p.device());
    const double labelHeight = label.height();
    for (const double t : l.BottomTicks) {
        const double x = map(l, t, 0).x();
        p.drawText(QRectF(x - 100, plot.bottom() + BottomLabelGap, 200, labelHeight),
                   Qt::AlignHCenter | Qt::AlignTop, TickLabel(t, l.BottomStep));
    }
    for (const double t : l.LeftTicks) {
        const double y = map(l, 0, t).y();
        p.drawText(QRectF(0, y - labelHeight / 2, plot.left() - LabelGap, labelHeight),
                   Qt::AlignRight | Qt::AlignVCenter, TickLabel(t, l.LeftStep));
    }
    p.setFont(TitleFont);
    if (!Bottom.Title.isEmpty())
        p.drawText(l.BottomTitle, Qt::AlignCenter, Bottom.Title);
    if (!Left.Title.isEmpty()) {
        const QRectF r = l.LeftTitle;
        p.translate(r.left(), r.bottom());
        p.rotate(-90);
        p.drawText(QRectF(0, 0, r.height(), r.width()), Qt::AlignCenter, Left.Title);
    }
    p.restore();
}

void TPagedChartPainter::paintLine(QPainter &p, const TLayout &l, const TChartPoints &points) const
{
    const auto [from, to] = pointsInView(Bottom.Min, Bottom.Max, points.count());
    if (to < from)
        return;
    p.save();
    p.setClipRect(l.Plot);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(LinePen);
    QList<QPointF> line;
    const double columns = std::max(1.0, l.Plot.width());
    if (double(to - from) > 4 * columns) {
        // More points than the line could show apart: per pixel column the first, the lowest,
        // the highest and the last, in the order they came, so every peak keeps its height.
        line.reserve(qsizetype(columns) * 4 + 4);
        qsizetype i = from;
        while (i <= to) {
            const double x = std::floor(map(l, double(i), 0).x());
            qsizetype lowAt = i;
            qsizetype highAt = i;
            const qsizetype first = i;
            for (; i <= to && std::floor(map(l, double(i), 0).x()) == x; ++i) {
                if (points.at(i) < points.at(lowAt))
                    lowAt = i;
                if (points.at(i) > points.at(highAt))
                    highAt = i;
            }
            const qsizetype last = i - 1;
            qsizetype order[4] = {first, std::min(lowAt, highAt), std::max(lowAt, highAt), last};
            for (const qsizetype k : order)
                line.append(QPointF(x + 0.5, map(l, 0, points.at(k)).y()));
        }
    } else {
        line.reserve(to - from + 1);
        for (qsizetype i = from; i <= to; ++i)
            line.append(map(l, double(i), points.at(i)));
    }
    p.drawPolyline(line.constData(), int(line.size()));
    if (Markers) {
        p.setBrush(LinePen.color());
        for (const QPointF &pt : line)
            p.drawEllipse(pt, 2.5, 2.5);
    }
    p.restore();
}

void TPagedChartPainter::paint(QPainter &p, const QSizeF &size, const TChartPoints &points) const
{
    const TLayout l = layout(size, p.device());
    paintFrame(p, l);
    paintLine(p, l, points);
}
