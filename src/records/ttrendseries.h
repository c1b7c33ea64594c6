#pragma once

#include "tmeterstate.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// What a trace of the trend measures. The main reading is a capacitance, inductance or
// resistance; the secondary one D, Q, a series or parallel resistance, or a phase angle.
enum class TTrendQuantity : std::uint8_t { None, Farad, Henry, Ohm, D, Q, Degree };
inline constexpr int TrendQuantityCount = 7;

// "F", "H", "Ohm", "deg"; empty for D, Q and None.
QString TrendQuantityUnit(TTrendQuantity q);
// "Capacitance", "Inductance", "Resistance", "D", "Q", "Phase"; empty for None.
QString TrendQuantityName(TTrendQuantity q);
// Whether values of q are written with an SI prefix (nF, kOhm).
bool TrendQuantityPrefixed(TTrendQuantity q);

enum TTrendChannel : int { tcMain = 0, tcSub = 1 };

// One decoded frame as the trend keeps it: both readings in base units, or their status word.
struct TTrendReading
{
    qint64 TimeMs = 0; // since 1970, UTC
    std::array<double, 2> Value{};
    std::array<TTrendQuantity, 2> Quantity{TTrendQuantity::None, TTrendQuantity::None};
    std::array<std::uint8_t, 2> Status{stBlank, stBlank}; // stReading: Value holds the number
};

// The frame the display shows now, as the trend keeps it.
TTrendReading TrendReading(const TMeterState &s, qint64 timeMs);

// Figures of readings of one quantity: how many numbers and status words, their extremes,
// mean and spread (merged pairwise, so a million close values keep their deviation).
struct TTrendSummary
{
    qint64 Valid = 0;
    qint64 Gaps = 0; // status words: OL, OPEN, ...
    double Min = std::numeric_limits<double>::infinity();
    double Max = -std::numeric_limits<double>::infinity();
    double Mean = 0;
    double M2 = 0; // the sum of squared deviations from Mean

    void add(double v);
    void merge(const TTrendSummary &o);
    double sd() const; // the sample deviation; 0 below two values
};

// Every reading since the chart was last emptied, 12 bytes each (the time as milliseconds since
// the first reading, both values as floats with the status word inside a NaN), in fixed chunks
// that never move. Above them, per channel, a summary of every 64 and every 4096 readings, kept
// as readings arrive, so the figures of any range, and the envelope of a view, come from a few
// hundred entries however long the run. What a reading measures is kept as runs, since it
// changes only when the user turns the meter's dial.
class TTrendSeries
{
public:
    static constexpr qsizetype BlockSize = 64;
    static constexpr qsizetype SuperSize = 4096;

    void append(const TTrendReading &r);
    void clear();
    qsizetype count() const { return Count_; }
    // Changes whenever the readings are emptied, so a cached view knows it is stale.
    std::uint64_t generation() const { return Generation_; }

    qint64 timeMs(qsizetype i) const { return Epoch_ + qint64(chunk(i).Time[slot(i)]); }
    // NaN for a status word.
    double value(int channel, qsizetype i) const { return chunk(i).Value[channel][slot(i)]; }
    std::uint8_t status(int channel, qsizetype i) const;
    TTrendQuantity quantity(int channel, qsizetype i) const;
    // The first reading at or after ms; count() when none is.
    qsizetype lowerBoundTime(qint64 ms) const;
    // The quantities of a channel, in the order they first came.
    std::vector<TTrendQuantity> quantities(int channel) const;

    // The readings from..to-1 of quantity q; with others, the figures of each other quantity
    // among them too (indexed by quantity).
    using TOthers = std::array<TTrendSummary, TrendQuantityCount>;
    TTrendSummary summarize(int channel, qsizetype from, qsizetype to, TTrendQuantity q,
                            TOthers *others = nullptr) const;
    // Calls fn(a, b, q) for each stretch of one quantity within from..to-1.
    template<typename Fn> void forRuns(int channel, qsizetype from, qsizetype to, Fn &&fn) const;
    // Every reading of from..to-1, whatever its quantity.
    TTrendSummary summarizeAll(int channel, qsizetype from, qsizetype to) const;

    // Heap bytes held, for the memory figures.
    qsizetype capacityBytes() const;

private:
    struct TChunk
    {
        std::uint32_t Time[SuperSize];
        float Value[2][SuperSize];
    };
    struct TBlock
    {
        double Mean;
        double M2;
        float Min;
        float Max;
        std::uint16_t Valid;
        std::uint16_t Gaps;
    };
    struct TRun
    {
        qsizetype From;
        TTrendQuantity Quantity;
    };

    const TChunk &chunk(qsizetype i) const { return *Chunks_[std::size_t(i / SuperSize)]; }
    static std::size_t slot(qsizetype i) { return std::size_t(i % SuperSize); }
    static TTrendSummary fromBlock(const TBlock &b);
    static void addToBlock(TBlock &b, float v);
    void summarizeRaw(int channel, qsizetype from, qsizetype to, TTrendSummary &s) const;

    std::vector<std::unique_ptr<TChunk>> Chunks_;
    qsizetype Count_ = 0;
    qint64 Epoch_ = 0;
    std::uint32_t LastOffset_ = 0;
    std::uint64_t Generation_ = 0;
    std::array<std::vector<TRun>, 2> Runs_;
    std::array<std::vector<TBlock>, 2> Blocks_;
    std::array<std::vector<TBlock>, 2> Supers_;
};

template<typename Fn>
void TTrendSeries::forRuns(int channel, qsizetype from, qsizetype to, Fn &&fn) const
{
    const std::vector<TRun> &runs = Runs_[std::size_t(channel)];
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, Count_);
    if (from >= to || runs.empty())
        return;
    // The run holding from: the last one that starts at or before it.
    std::size_t r =
        std::size_t(std::upper_bound(runs.begin(), runs.end(), from,
                                     [](qsizetype v, const TRun &run) { return v < run.From; })
                    - runs.begin());
    r = r == 0 ? 0 : r - 1;
    for (qsizetype a = from; a < to; ++r) {
        const qsizetype end = r + 1 < runs.size() ? std::min(runs[r + 1].From, to) : to;
        fn(a, end, runs[r].Quantity);
        a = end;
    }
}
