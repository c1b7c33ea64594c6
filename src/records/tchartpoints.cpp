#include "tchartpoints.h"

void TChartPoints::append(double value)
{
    const auto slot = std::size_t(Count_ % ChunkSize);
    if (slot == 0 && std::size_t(Count_ / ChunkSize) == Chunks_.size())
        Chunks_.push_back(std::make_unique_for_overwrite<double[]>(std::size_t(ChunkSize)));
    Chunks_[std::size_t(Count_ / ChunkSize)][slot] = value;
    ++Count_;
}

void TChartPoints::clear()
{
    // A long run's chunks go back to the system; the next run starts small again.
    Chunks_.clear();
    Chunks_.shrink_to_fit();
    Count_ = 0;
}

qsizetype TChartPoints::capacityBytes() const
{
    return qsizetype(Chunks_.size()) * ChunkSize * qsizetype(sizeof(double))
           + qsizetype(Chunks_.capacity() * sizeof(Chunks_[0]));
}
