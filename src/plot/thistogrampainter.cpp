#include "thistogrampainter.h"

#include "taxisticks.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pad = 4;
constexpr double LabelGap = 4;

QFontMetricsF metrics(const QFont &font, const QPaintDevice *device)
{
    return device ? QFontMetricsF(font, device) : QFontMetricsF(font);
}

} // namespace

THistogramPainter::THistogramPainter()
    : BarColor(70, 110, 170)
    , NominalPen(QColor(30, 30, 30), 1.5, Qt::SolidLine)
    , LimitPen(QColor(190, 40, 40), 1.5, Qt::DashLine)
    , GridPen(QColor(0xDC, 0xDC, 0xDC), 1, Qt::SolidLine)
    , FramePen(Qt::gray, 1)
{
    TitleFont.setBold(true);
}

THistogramPainter::TLayout THistogramPainter::layout(const THistogramPicture &h, const QRectF &area,
                                                     const QPaintDevice *device) const
{
    TLayout l;
    l.Area = area;
    const QFontMetricsF label = metrics(LabelFont, device);
    const QFontMetricsF title = metrics(TitleFont, device);
    const double lh = label.height();

    std::int64_t peak = 0;
    for (const std::int64_t c : h.Counts)
        peak = std::max(peak, c);
    const double top = area.top() + Pad + lh / 2;
    double bottom = area.bottom() - Pad - lh - LabelGap;
    if (!h.ValueTitle.isEmpty())
        bottom -= title.height() + LabelGap;
    const double plotHeight = std::max(1.0, bottom - top);
    // Marks a readable distance apart: two label heights at the least.
    const int wanted = std::clamp(int(plotHeight / (2.2 * lh)), 1, 8);
    l.CountStep = CountStep(std::max<std::int64_t>(peak, 1), wanted);
    l.CountTop = CountTop(std::max<std::int64_t>(peak, 1), l.CountStep);
    for (std::int64_t c = 0; c <= l.CountTop; c += l.CountStep)
        l.CountTicks.push_back(c);
    double countWidth = 0;
    for (const std::int64_t c : l.CountTicks)
        countWidth = std::max(countWidth, label.horizontalAdvance(QString::number(c)));

    double left = area.left() + Pad;
    if (!h.CountTitle.isEmpty()) {
        l.CountTitle = QRectF(left, top, title.height(), plotHeight);
        left += title.height() + LabelGap;
    }
    left += countWidth + LabelGap;
    const double right = area.right() - Pad;
    l.Plot = QRectF(left, top, std::max(1.0, right - left), plotHeight);
    for (const std::int64_t c : l.CountTicks) {
        const double y = l.Plot.bottom() - double(c) / double(l.CountTop) * l.Plot.height();
        l.CountLabels.push_back({QRectF(area.left(), y - lh / 2, left - LabelGap - area.left(), lh),
                                 QString::number(c)});
    }

    // Labels of the value axis, most important first; each stays inside the picture and is
    // dropped when it would touch one already placed.
    const double y = l.Plot.bottom() + LabelGap;
    const double space = label.horizontalAdvance(QLatin1Char(' ')) * 1.5;
    std::vector<std::pair<double, QString>> wantedLabels;
    for (const THistogramMark &m : h.Marks)
        if (m.Value >= h.SpanLow && m.Value <= h.SpanHigh && !m.Label.isEmpty())
            wantedLabels.push_back({m.Value, m.Label});
    if (!h.SpanLowLabel.isEmpty())
        wantedLabels.push_back({h.SpanLow, h.SpanLowLabel});
    if (!h.SpanHighLabel.isEmpty())
        wantedLabels.push_back({h.SpanHigh, h.SpanHighLabel});
    if (!h.empty())
        for (const auto &[value, text] : wantedLabels) {
            const double w = label.horizontalAdvance(text);
            const double x = xOf(h, l, value);
            const double from =
                std::clamp(x - w / 2, area.left(), std::max(area.left(), area.right() - w));
            const QRectF r(from, y, w, lh);
            const bool overlaps =
                std::any_of(l.ValueLabels.begin(), l.ValueLabels.end(), [&](const TLabel &o) {
                    return r.adjusted(-space, 0, space, 0).intersects(o.Rect);
                });
            if (!overlaps)
                l.ValueLabels.push_back({r, text});
        }
    std::sort(l.ValueLabels.begin(), l.ValueLabels.end(),
              [](const TLabel &a, const TLabel &b) { return a.Rect.left() < b.Rect.left(); });
    if (!h.ValueTitle.isEmpty())
        l.ValueTitle = QRectF(l.Plot.left(), y + lh + LabelGap, l.Plot.width(), title.height());
    return l;
}

double THistogramPainter::xOf(const THistogramPicture &h, const TLayout &l, double value) const
{
    if (!(h.SpanHigh > h.SpanLow))
        return l.Plot.left();
    // A little room at both ends, so a line at an end of the span stands clear of the frame
    // and its label can be centred under it.
    const double room = (h.SpanHigh - h.SpanLow) * EdgeRoom;
    const double low = h.SpanLow - room;
    return l.Plot.left() + (value - low) / (h.SpanHigh + room - low) * l.Plot.width();
}

void THistogramPainter::paint(QPainter &p, const THistogramPicture &h, const QRectF &area) const
{
    const TLayout l = layout(h, area, p.device());
    p.save();
    p.fillRect(area, Qt::white);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(GridPen);
    for (const std::int64_t c : l.CountTicks) {
        const double y =
            std::floor(l.Plot.bottom() - double(c) / double(l.CountTop) * l.Plot.height()) + 0.5;
        p.drawLine(QPointF(l.Plot.left(), y), QPointF(l.Plot.right(), y));
    }
    if (!h.empty()) {
        p.setPen(Qt::NoPen);
        p.setBrush(BarColor);
        for (std::size_t i = 0; i < h.Counts.size(); ++i) {
            if (h.Counts[i] <= 0)
                continue;
            const double x0 = xOf(h, l, h.Low + h.Width * double(i));
            const double x1 = xOf(h, l, h.Low + h.Width * double(i + 1));
            const double gap = std::min(1.0, (x1 - x0) / 4);
            const double height = double(h.Counts[i]) / double(l.CountTop) * l.Plot.height();
            p.drawRect(QRectF(x0 + gap, l.Plot.bottom() - height, x1 - x0 - 2 * gap, height));
        }
        p.setBrush(Qt::NoBrush);
        p.setRenderHint(QPainter::Antialiasing, true);
        for (const THistogramMark &m : h.Marks) {
            if (m.Value < h.SpanLow || m.Value > h.SpanHigh)
                continue;
            const double x = xOf(h, l, m.Value);
            p.setPen(m.Nominal ? NominalPen : LimitPen);
            p.drawLine(QPointF(x, l.Plot.top()), QPointF(x, l.Plot.bottom()));
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    p.setPen(FramePen);
    p.drawRect(QRectF(std::floor(l.Plot.left()) + 0.5, std::floor(l.Plot.top()) + 0.5,
                      std::floor(l.Plot.width()), std::floor(l.Plot.height())));

    p.setPen(Qt::black);
    p.setFont(LabelFont);
    for (const TLabel &t : l.CountLabels)
        p.drawText(t.Rect, Qt::AlignRight | Qt::AlignVCenter, t.Text);
    for (const TLabel &t : l.ValueLabels)
        p.drawText(t.Rect, Qt::AlignCenter, t.Text);
    p.setFont(TitleFont);
    if (!h.ValueTitle.isEmpty())
        p.drawText(l.ValueTitle, Qt::AlignCenter, h.ValueTitle);
    if (!h.CountTitle.isEmpty()) {
        const QRectF r = l.CountTitle;
        p.translate(r.left(), r.bottom());
        p.rotate(-90);
        p.drawText(QRectF(0, 0, r.height(), r.width()), Qt::AlignCenter, h.CountTitle);
    }
    p.restore();
}
