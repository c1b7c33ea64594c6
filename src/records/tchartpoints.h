#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

// Every value the trend chart has plotted since it was last emptied. A point's X is its index,
// so only the value is kept: 8 bytes a point. Values live in fixed-size chunks, so appending
// never moves the history already stored (a growing flat array would copy it all now and then,
// and one reading would cost as much as the whole run so far).
class TChartPoints
{
public:
    static constexpr qsizetype ChunkSize = 4096;

    void append(double value);
    void clear();
    qsizetype count() const { return Count_; }
    double at(qsizetype index) const
    {
        return Chunks_[std::size_t(index / ChunkSize)][std::size_t(index % ChunkSize)];
    }

    // The limit check of a scroll: X runs from 0 to count() - 1 without gaps.
    bool hasXAbove(double x) const { return Count_ > 0 && double(Count_ - 1) > x; }
    bool hasXBelow(double x) const { return Count_ > 0 && 0.0 < x; }

    // Heap bytes held for the points, for the memory figures.
    qsizetype capacityBytes() const;

private:
    std::vector<std::unique_ptr<double[]>> Chunks_;
    qsizetype Count_ = 0;
};
