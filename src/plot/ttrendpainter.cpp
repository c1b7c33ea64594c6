#include "ttrendpainter.h"

#include "taxisticks.h"
#include "tlinepaint.h"
#include "trecordtexts.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pad = 6;
constexpr double Gap = 5;

QFontMetricsF metrics(const QFont &font, const QPaintDevice *device)
{
    return device ? QFontMetricsF(font, device) : QFontMetricsF(font);
}

QString axisTitle(const QString &mode, TTrendQuantity q, const QString &prefix)
{
    QString name = TrendQuantityName(q);
    if (!mode.isEmpty() && mode != name)
        name = mode + QStringLiteral(", ") + name;
    const QString unit = TrendQuantityUnit(q);
    if (unit.isEmpty())
        return name;
    return QStringLiteral("%1 [%2%3]").arg(name, prefix, unit);
}

// Linear marks of a value axis in SI-scaled units; returns the exponent used.
int linearTicks(double min, double max, TTrendQuantity q, double pixels, double perLabel,
                std::vector<TTrendPainter::TTick> &ticks)
{
    const int e = TrendQuantityPrefixed(q) ? SiExponent(std::max(std::abs(min), std::abs(max))) : 0;
    const double scale = std::pow(10.0, e);
    const int count = std::clamp(int(pixels / std::max(perLabel, 1.0)), 2, 12);
    const double step = NiceStep((max - min) / scale / count);
    for (const double t : TicksBetween(min / scale, max / scale, step))
        ticks.push_back({t * scale, TickLabel(t, step), {}});
    return e;
}

void logTicks(double min, double max, TTrendQuantity q, std::vector<TTrendPainter::TTick> &ticks)
{
    if (!(min > 0) || !(max > min))
        return;
    const int first = int(std::floor(std::log10(min)));
    const int last = int(std::ceil(std::log10(max)));
    const bool fine = last - first <= 3;
    for (int d = first; d <= last && ticks.size() < 40; ++d)
        for (const double m : {1.0, 2.0, 5.0}) {
            if (m != 1.0 && !fine)
                continue;
            const double v = m * std::pow(10.0, d);
            if (v >= min * (1 - 1e-9) && v <= max * (1 + 1e-9))
                ticks.push_back({v, SiText(v, TrendQuantityUnit(q), 3), {}});
        }
}

} // namespace

TTrendPainter::TTrendPainter()
    : MainColor(Qt::blue)
    , SubColor(200, 100, 0)
    , GapColor(255, 200, 200)
    , GridColor(0xDC, 0xDC, 0xDC)
    , MarkerColor(0, 140, 0)
{
    TitleFont.setBold(true);
}

TTrendPainter::TLayout TTrendPainter::layout(const TTrendView &v, const QSizeF &size,
                                             const QPaintDevice *device) const
{
    TLayout l;
    l.Size = size;
    l.Ratio = device ? device->devicePixelRatioF() : 1.0;
    const QFontMetricsF label = metrics(LabelFont, device);
    const QFontMetricsF title = metrics(TitleFont, device);
    const double lh = label.height();
    const double th = title.height();

    // Heights first: the number of value marks decides how wide their labels are.
    const bool dated = v.ByTime;
    const double top = Pad + lh / 2;
    const double bottom = size.height() - Pad - th - Gap - lh * (dated ? 2 : 1) - Gap;
    const double plotHeight = std::max(10.0, bottom - top);

    if (v.Log && v.YMin > 0) {
        logTicks(v.YMin, v.YMax, v.Quantity, l.YTicks);
        if (l.YTicks.size() < 3) {
            // Less than a decade in view: round values, each written with its prefix.
            l.YTicks.clear();
            linearTicks(v.YMin, v.YMax, v.Quantity, plotHeight, lh * 2.2, l.YTicks);
            for (TTick &t : l.YTicks)
                t.Text = SiText(t.At, TrendQuantityUnit(v.Quantity), 4);
        }
        l.YTitle = axisTitle(v.ModeName, v.Quantity, QString());
    } else {
        l.YExponent = linearTicks(v.YMin, v.YMax, v.Quantity, plotHeight, lh * 2.2, l.YTicks);
        l.YTitle = axisTitle(v.ModeName, v.Quantity, SiPrefix(l.YExponent));
    }
    double yWidth = 0;
    for (const TTick &t : l.YTicks)
        yWidth = std::max(yWidth, label.horizontalAdvance(t.Text));
    double subWidth = 0;
    if (v.Secondary) {
        const int e =
            linearTicks(v.SubMin, v.SubMax, v.SubQuantity, plotHeight, lh * 2.2, l.SubTicks);
        l.SubTitle = axisTitle(QString(), v.SubQuantity, SiPrefix(e));
        for (const TTick &t : l.SubTicks)
            subWidth = std::max(subWidth, label.horizontalAdvance(t.Text));
    }

    const double left = Pad + th + Gap + yWidth + Gap;
    const double right =
        v.Secondary ? size.width() - Pad - th - Gap - subWidth - Gap
                    : size.width() - Pad - label.horizontalAdvance(QStringLiteral("00:00:00")) / 2;
    // Whole device pixels wide, so that each envelope column is one pixel of the picture.
    const double width = std::max(10.0, std::floor((right - left) * l.Ratio) / l.Ratio);
    l.Plot = QRectF(left, top, width, plotHeight);

    if (v.ByTime) {
        const double per = label.horizontalAdvance(QStringLiteral("00:00:00.000")) + 3 * Gap;
        for (const TTimeTick &t : TimeTicks(qint64(std::ceil(v.XMin)), qint64(std::floor(v.XMax)),
                                            std::max(2, int(width / per))))
            l.XTicks.push_back({double(t.Ms), t.Clock, t.Date});
        l.XTitle = QStringLiteral("Time");
    } else {
        const double widest = std::max({std::abs(v.XMin), std::abs(v.XMax), 1.0});
        const double per = label.horizontalAdvance(QString::number(qint64(widest))) + 3 * Gap;
        const int count = std::clamp(int(width / per), 2, 12);
        const double step = NiceStep((v.XMax - v.XMin) / count, 1.0);
        for (const double t : TicksBetween(v.XMin, v.XMax, step))
            l.XTicks.push_back({t, TickLabel(t, step), {}});
        l.XTitle = QStringLiteral("Record Number");
    }
    return l;
}

TTrendMapping TTrendPainter::mapping(const TTrendView &v, const TLayout &l)
{
    return TTrendMapping::fromRange(v.ByTime, v.XMin, v.XMax,
                                    int(std::lround(l.Plot.width() * l.Ratio)));
}

double TTrendPainter::xToPixel(const TTrendView &v, const TLayout &l, double x)
{
    return l.Plot.left() + (x - v.XMin) / (v.XMax - v.XMin) * l.Plot.width();
}

double TTrendPainter::pixelToX(const TTrendView &v, const TLayout &l, double px)
{
    return v.XMin + (px - l.Plot.left()) / l.Plot.width() * (v.XMax - v.XMin);
}

double TTrendPainter::yToPixel(const TTrendView &v, const TLayout &l, double y)
{
    if (v.Log && v.YMin > 0) {
        if (!(y > 0))
            return l.Plot.bottom() + 2;
        return l.Plot.bottom()
               - (std::log10(y) - std::log10(v.YMin)) / (std::log10(v.YMax) - std::log10(v.YMin))
                     * l.Plot.height();
    }
    return l.Plot.bottom() - (y - v.YMin) / (v.YMax - v.YMin) * l.Plot.height();
}

double TTrendPainter::pixelToY(const TTrendView &v, const TLayout &l, double py)
{
    const double f = (l.Plot.bottom() - py) / l.Plot.height();
    if (v.Log && v.YMin > 0)
        return std::pow(10.0, std::log10(v.YMin) + f * (std::log10(v.YMax) - std::log10(v.YMin)));
    return v.YMin + f * (v.YMax - v.YMin);
}

double TTrendPainter::subToPixel(const TTrendView &v, const TLayout &l, double y)
{
    return l.Plot.bottom() - (y - v.SubMin) / (v.SubMax - v.SubMin) * l.Plot.height();
}

bool TTrendPainter::sparse(const TTrendEnvelope &e, const TLayout &l)
{
    return double(e.last() - e.first()) <= l.Plot.width() * l.Ratio;
}

void TTrendPainter::paintTrace(QPainter &p, const TTrendView &v, const TLayout &l,
                               const TTrendSeries &s, const TTrendEnvelope &e, int channel,
                               TTrendQuantity q, const QColor &color, bool bands) const
{
    const bool main = channel == tcMain;
    const auto y = [&](double value) {
        return main ? yToPixel(v, l, value) : subToPixel(v, l, value);
    };
    const QRectF &plot = l.Plot;
    // A line through readings one by one is smoothed; an envelope is crisp pixel columns.
    p.setRenderHint(QPainter::Antialiasing, sparse(e, l) && !bands);
    if (sparse(e, l)) {
        // One reading at a time, with the neighbours beyond each edge so the line runs on.
        const qsizetype from = std::max<qsizetype>(0, e.first() - 1);
        const qsizetype to = std::min(s.count(), e.last() + 1);
        const double spacing =
            to - from > 1 ? plot.width() / std::max(1.0, double(e.last() - e.first())) : 1e9;
        QList<QPointF> line;
        QRectF bandRun;
        std::vector<std::pair<QRectF, QString>> words;
        const auto flush = [&] {
            if (bands) {
                line.clear();
                return;
            }
            if (line.size() > 1) {
                DrawThickLine(p, line, color, 1.5);
            }
            if (spacing >= 8) {
                p.setPen(Qt::NoPen);
                p.setBrush(color);
                for (const QPointF &pt : line)
                    p.drawEllipse(pt, 2.2, 2.2);
                p.setBrush(Qt::NoBrush);
            }
            line.clear();
        };
        s.forRuns(channel, from, to, [&](qsizetype a, qsizetype b, TTrendQuantity runQ) {
            flush(); // another quantity between breaks the line
            if (runQ != q)
                return;
            for (qsizetype i = a; i < b; ++i) {
                const double value = s.value(channel, i);
                const double x = xToPixel(v, l, v.ByTime ? double(s.timeMs(i)) : double(i + 1));
                if (std::isnan(value)) {
                    flush();
                    if (!main || !bands)
                        continue;
                    // A status word: a band over its place (one band over a run of them, so
                    // no seam shows between), named when there is room.
                    const double half = std::max(2.0, spacing / 2);
                    const QRectF band(x - half, plot.top(), 2 * half, plot.height());
                    if (!bandRun.isNull() && band.left() <= bandRun.right() + 0.5)
                        bandRun = bandRun.united(band);
                    else {
                        if (!bandRun.isNull())
                            p.fillRect(bandRun.intersected(plot), GapColor);
                        bandRun = band;
                    }
                    const QString word = RecordReadingText(s.status(channel, i), QString());
                    if (!word.isEmpty()
                        && band.width() > p.fontMetrics().horizontalAdvance(word) + 4)
                        words.push_back({band.intersected(plot).adjusted(0, 4, 0, 0), word});
                    continue;
                }
                line.append(QPointF(x, y(value)));
            }
            flush();
        });
        flush();
        if (!bandRun.isNull())
            p.fillRect(bandRun.intersected(plot), GapColor);
        p.setPen(QColor(160, 40, 40));
        for (const auto &[rect, word] : words)
            p.drawText(rect, Qt::AlignHCenter | Qt::AlignTop, word);
        return;
    }

    // The envelope: per column a line from its lowest to its highest reading, reaching to the
    // neighbour's when the trace runs on without a status word between.
    const std::vector<TEnvelopeColumn> &cols = e.columns();
    std::vector<QLineF> lines;
    lines.reserve(cols.size());
    std::vector<QRectF> gaps;
    const double w = 1.0 / l.Ratio;
    for (std::size_t c = 0; c < cols.size(); ++c) {
        const TEnvelopeColumn &col = cols[c];
        const double x = plot.left() + (double(c) + 0.5) * w;
        if (col.Gaps > 0 && main)
            gaps.push_back(QRectF(x - w / 2, plot.top(), w, plot.height()));
        if (col.Valid == 0)
            continue;
        double low = col.Min;
        double high = col.Max;
        if (c > 0 && cols[c - 1].Valid > 0 && cols[c - 1].Gaps == 0 && col.Gaps == 0) {
            low = std::min(low, double(cols[c - 1].Max));
            high = std::max(high, double(cols[c - 1].Min));
        }
        const double y0 = y(low);
        const double y1 = y(high);
        // Both ends are drawn, so a flat stretch still shows as one pixel.
        lines.emplace_back(x, y0, x, y1);
    }
    // A column with a status word gets a band behind the trace and a mark at the foot, which
    // stays visible however thin the band.
    if (bands) {
        for (const QRectF &g : gaps) {
            p.fillRect(g, GapColor);
            p.fillRect(QRectF(g.left() - 1, plot.bottom() - 5, g.width() + 2, 5),
                       QColor(210, 50, 50));
        }
        return;
    }
    p.setPen(QPen(color, 0));
    p.drawLines(lines.data(), int(lines.size()));
}

void TTrendPainter::paint(QPainter &p, const TTrendView &v, const TLayout &l, const TTrendSeries &s,
                          const TTrendEnvelope &main, const TTrendEnvelope *sub) const
{
    p.save();
    const QRectF &plot = l.Plot;
    p.fillRect(QRectF(QPointF(0, 0), l.Size), Qt::white);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(GridColor, 0));
    for (const TTick &t : l.XTicks) {
        const double x = xToPixel(v, l, t.At);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (const TTick &t : l.YTicks) {
        const double y = yToPixel(v, l, t.At);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

    p.save();
    p.setClipRect(plot);
    p.setFont(LabelFont);
    // The main trace's status words first, behind both traces.
    paintTrace(p, v, l, s, main, tcMain, v.Quantity, MainColor, true);
    if (v.Secondary && sub)
        paintTrace(p, v, l, s, *sub, tcSub, v.SubQuantity, SubColor, false);
    paintTrace(p, v, l, s, main, tcMain, v.Quantity, MainColor, false);

    // The markers, and the crosshair under the pointer.
    const auto marker = [&](const std::optional<qsizetype> &at, const QString &name) {
        if (!at || *at < 0 || *at >= s.count())
            return;
        const double x = xToPixel(v, l, v.ByTime ? double(s.timeMs(*at)) : double(*at + 1));
        p.setPen(QPen(MarkerColor, 1, Qt::SolidLine));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.drawText(QRectF(x + 3, plot.top() + 2, 40, 20), Qt::AlignLeft | Qt::AlignTop, name);
    };
    marker(v.MarkerA, QStringLiteral("A"));
    marker(v.MarkerB, QStringLiteral("B"));
    if (v.Pointer && plot.contains(*v.Pointer)) {
        p.setPen(QPen(QColor(90, 90, 90), 0, Qt::DashLine));
        p.drawLine(QPointF(v.Pointer->x(), plot.top()), QPointF(v.Pointer->x(), plot.bottom()));
        p.drawLine(QPointF(plot.left(), v.Pointer->y()), QPointF(plot.right(), v.Pointer->y()));
    }
    if (v.Rubber) {
        p.setPen(QPen(QColor(40, 80, 160), 0, Qt::DashLine));
        p.setBrush(QColor(40, 80, 160, 40));
        p.drawRect(v.Rubber->normalized());
        p.setBrush(Qt::NoBrush);
    }
    p.restore();

    p.setPen(QPen(Qt::gray, 0));
    p.drawRect(plot);

    p.setPen(Qt::black);
    p.setFont(LabelFont);
    const QFontMetricsF label(LabelFont, p.device());
    const double lh = label.height();
    for (const TTick &t : l.XTicks) {
        const double x = xToPixel(v, l, t.At);
        p.drawText(QRectF(x - 100, plot.bottom() + Gap, 200, lh), Qt::AlignHCenter | Qt::AlignTop,
                   t.Text);
        if (!t.Second.isEmpty())
            p.drawText(QRectF(x - 100, plot.bottom() + Gap + lh, 200, lh),
                       Qt::AlignHCenter | Qt::AlignTop, t.Second);
    }
    for (const TTick &t : l.YTicks)
        p.drawText(QRectF(0, yToPixel(v, l, t.At) - lh / 2, plot.left() - Gap, lh),
                   Qt::AlignRight | Qt::AlignVCenter, t.Text);
    if (v.Secondary) {
        p.setPen(SubColor.darker(130));
        for (const TTick &t : l.SubTicks)
            p.drawText(QRectF(plot.right() + Gap, subToPixel(v, l, t.At) - lh / 2, 200, lh),
                       Qt::AlignLeft | Qt::AlignVCenter, t.Text);
    }
    p.setFont(TitleFont);
    const double th = QFontMetricsF(TitleFont, p.device()).height();
    p.setPen(Qt::black);
    p.drawText(QRectF(plot.left(), l.Size.height() - Pad - th, plot.width(), th), Qt::AlignCenter,
               l.XTitle);
    p.save();
    p.translate(Pad, plot.bottom());
    p.rotate(-90);
    p.drawText(QRectF(0, 0, plot.height(), th), Qt::AlignCenter, l.YTitle);
    p.restore();
    if (v.Secondary) {
        p.setPen(SubColor.darker(130));
        p.translate(l.Size.width() - Pad, plot.top());
        p.rotate(90);
        p.drawText(QRectF(0, 0, plot.height(), th), Qt::AlignCenter, l.SubTitle);
    }
    p.restore();
}
