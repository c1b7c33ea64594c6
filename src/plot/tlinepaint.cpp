#include "tlinepaint.h"

#include <QLineF>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>
#include <vector>

void DrawThickLine(QPainter &p, const QList<QPointF> &points, const QColor &color, qreal width)
{
    if (points.size() < 2)
        return;
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    // Half a pixel apart: smoothed passes blend over each other rather than add up, so passes
    // a whole pixel apart leave the middle of the line lighter than its colour.
    const qreal pixels = std::max<qreal>(1, width * ratio);
    const int passes = std::max(1, int(std::lround(2 * pixels - 1)));
    const qreal step = 0.5 / ratio;
    std::vector<QLineF> lines;
    lines.reserve(std::size_t(points.size() - 1) * std::size_t(passes));
    for (qsizetype k = 1; k < points.size(); ++k) {
        const QPointF a = points[k - 1];
        const QPointF b = points[k];
        // Side by side across the segment: stacked for a flat one, in a row for a steep one.
        const bool flat = std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y());
        for (int i = 0; i < passes; ++i) {
            const qreal o = (qreal(i) - qreal(passes - 1) / 2) * step;
            const QPointF d = flat ? QPointF(0, o) : QPointF(o, 0);
            lines.emplace_back(a + d, b + d);
        }
    }
    QPen pen(color, 0); // one device pixel, whatever the scale
    pen.setCosmetic(true);
    p.save();
    p.setPen(pen);
    p.drawLines(lines.data(), int(lines.size()));
    p.restore();
}
