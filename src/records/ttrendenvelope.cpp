#include "ttrendenvelope.h"

#include <cmath>

TTrendMapping TTrendMapping::fromRange(bool byTime, double xMin, double xMax, int columns)
{
    TTrendMapping m;
    m.ByTime = byTime;
    m.Columns = std::max(1, columns);
    double w = (xMax - xMin) / m.Columns;
    if (!(w > 1e-6) || !std::isfinite(w))
        w = 1e-6;
    const double scale = std::pow(10.0, std::floor(std::log10(w)) - 11);
    m.Width = std::round(w / scale) * scale;
    m.Origin = qint64(std::llround(std::clamp(xMin / m.Width, -1e15, 1e15)));
    return m;
}

qint64 TTrendMapping::column(double x) const
{
    const double c = std::floor(x / Width);
    return qint64(std::clamp(c, -1e15, 1e15)) - Origin;
}

qsizetype TTrendEnvelope::boundary(const TTrendSeries &s, const TTrendMapping &m, qint64 c)
{
    // The predicate is the one fold() uses, so a reading lands in the same column both ways.
    qsizetype lo = 0;
    qsizetype hi = s.count();
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (m.column(m.x(s, mid)) < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void TTrendEnvelope::compute(const TTrendSeries &s, int from, int to)
{
    for (int c = from; c <= to; ++c)
        Bounds_[std::size_t(c)] = boundary(s, Mapping_, c);
    for (int c = from; c < to; ++c) {
        const TTrendSummary sum =
            s.summarize(Channel_, Bounds_[std::size_t(c)], Bounds_[std::size_t(c) + 1], Quantity_);
        TEnvelopeColumn &col = Columns_[std::size_t(c)];
        col.Valid = qint32(sum.Valid);
        col.Gaps = qint32(sum.Gaps);
        col.Min = sum.Valid ? float(sum.Min) : 0.0f;
        col.Max = sum.Valid ? float(sum.Max) : 0.0f;
    }
}

void TTrendEnvelope::fold(const TTrendSeries &s, qsizetype from, qsizetype to)
{
    s.forRuns(Channel_, from, to, [&](qsizetype a, qsizetype b, TTrendQuantity q) {
        for (qsizetype i = a; i < b; ++i) {
            const qint64 c = Mapping_.column(Mapping_.x(s, i));
            if (c < 0 || c >= qint64(Columns_.size()))
                continue;
            // A reading beyond the view's right edge now has moved its end on.
            Bounds_[std::size_t(c) + 1] = std::max(Bounds_[std::size_t(c) + 1], i + 1);
            for (std::size_t k = std::size_t(c) + 2; k < Bounds_.size(); ++k)
                Bounds_[k] = std::max(Bounds_[k], i + 1);
            if (q != Quantity_)
                continue;
            TEnvelopeColumn &col = Columns_[std::size_t(c)];
            const double v = s.value(Channel_, i);
            if (std::isnan(v)) {
                ++col.Gaps;
                continue;
            }
            const float f = float(v);
            if (col.Valid == 0) {
                col.Min = col.Max = f;
            } else {
                col.Min = std::min(col.Min, f);
                col.Max = std::max(col.Max, f);
            }
            ++col.Valid;
        }
    });
}

bool TTrendEnvelope::update(const TTrendSeries &s, int channel, TTrendQuantity q,
                            const TTrendMapping &m)
{
    Recomputed_ = false;
    const bool sameKind = s.generation() == Generation_ && channel == Channel_ && q == Quantity_
                          && m.ByTime == Mapping_.ByTime && m.Width == Mapping_.Width
                          && m.Columns == Mapping_.Columns && Done_ <= s.count()
                          && !Columns_.empty();
    if (sameKind && m.Origin == Mapping_.Origin) {
        if (Done_ == s.count())
            return false;
        fold(s, Done_, s.count());
        Done_ = s.count();
        return true;
    }
    const qint64 k = m.Origin - Mapping_.Origin;
    if (sameKind && k > 0 && k < m.Columns) {
        // Moved on by whole columns: what arrived meanwhile goes into the old columns, the
        // old ones slide left, and only the new ones at the right are worked out.
        fold(s, Done_, s.count());
        const auto n = std::size_t(k);
        Columns_.erase(Columns_.begin(), Columns_.begin() + std::ptrdiff_t(n));
        Columns_.resize(std::size_t(m.Columns));
        Bounds_.erase(Bounds_.begin(), Bounds_.begin() + std::ptrdiff_t(n));
        Bounds_.resize(std::size_t(m.Columns) + 1);
        Mapping_ = m;
        compute(s, m.Columns - int(n), m.Columns);
        Done_ = s.count();
        return true;
    }
    Generation_ = s.generation();
    Channel_ = channel;
    Quantity_ = q;
    Mapping_ = m;
    Columns_.assign(std::size_t(std::max(0, m.Columns)), TEnvelopeColumn{});
    Bounds_.assign(Columns_.size() + 1, 0);
    if (m.Columns > 0 && m.Width > 0)
        compute(s, 0, m.Columns);
    Done_ = s.count();
    Recomputed_ = true;
    return true;
}
