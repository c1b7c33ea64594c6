#pragma once

#include "ttrendseries.h"

#include <vector>

// How a view lays readings out in pixel columns: column c holds the readings with
// floor(x / Width) - Origin == c, x being the record number (the reading's index + 1, as on
// the chart) or, by time, milliseconds since 1970. The columns sit on a grid of Width that
// does not move with the view, so a view moved on by whole columns finds a reading in the same
// column as before, to the last bit.
struct TTrendMapping
{
    bool ByTime = false;
    double Width = 1;
    qint64 Origin = 0;
    int Columns = 0;

    // The mapping of a view from xMin to xMax over columns: the width rounded to twelve
    // digits, so that the same span always gives the same grid, and xMin to the nearest column.
    static TTrendMapping fromRange(bool byTime, double xMin, double xMax, int columns);
    bool operator==(const TTrendMapping &) const = default;
    double x0() const { return double(Origin) * Width; }
    double x(const TTrendSeries &s, qsizetype i) const
    {
        return ByTime ? double(s.timeMs(i)) : double(i + 1);
    }
    // The column x falls in (may be outside 0..Columns-1).
    qint64 column(double x) const;
};

// The lowest and highest reading of each column, and how many numbers and status words it
// holds: what a scope draws so that every extreme stays in view at any zoom.
struct TEnvelopeColumn
{
    float Min = 0;
    float Max = 0;
    qint32 Valid = 0;
    qint32 Gaps = 0;
};

// The envelope of one channel and quantity under a mapping. Worked out from the series'
// summaries (a few hundred entries a column at most, whatever the history); then kept up as
// readings arrive: a new reading is folded into its column, and a view that moves on by whole
// columns (one that follows the newest readings) keeps the columns it already has.
class TTrendEnvelope
{
public:
    // Brings the columns up to date; true when they changed.
    bool update(const TTrendSeries &s, int channel, TTrendQuantity q, const TTrendMapping &m);
    const std::vector<TEnvelopeColumn> &columns() const { return Columns_; }
    // The readings in view: from first() to last() - 1.
    qsizetype first() const { return Bounds_.empty() ? 0 : Bounds_.front(); }
    qsizetype last() const { return Bounds_.empty() ? 0 : Bounds_.back(); }
    // Whether the last update had to work every column out again.
    bool recomputed() const { return Recomputed_; }

    // The first reading at or after column c's left edge (count() when none is).
    static qsizetype boundary(const TTrendSeries &s, const TTrendMapping &m, qint64 c);

private:
    void compute(const TTrendSeries &s, int from, int to);
    void fold(const TTrendSeries &s, qsizetype from, qsizetype to);

    std::vector<TEnvelopeColumn> Columns_;
    std::vector<qsizetype> Bounds_; // Columns_.size() + 1 boundaries
    TTrendMapping Mapping_;
    int Channel_ = -1;
    TTrendQuantity Quantity_ = TTrendQuantity::None;
    std::uint64_t Generation_ = 0;
    qsizetype Done_ = 0; // readings folded in so far
    bool Recomputed_ = false;
};
