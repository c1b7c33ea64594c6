#pragma once

#include "tbasevalue.h"
#include "tmatchedsets.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TRecordTable;

// Count, mean, sample variance, minimum and maximum of a stream, updated in O(1) per value by
// Welford's method, which stays accurate where sum-of-squares cancels (a batch of 100 nF parts
// differing in the fifth digit).
class TRunningStats
{
public:
    void Add(double value)
    {
        ++Count_;
        const double delta = value - Mean_;
        Mean_ += delta / double(Count_);
        M2_ += delta * (value - Mean_);
        if (Count_ == 1 || value < Min_)
            Min_ = value;
        if (Count_ == 1 || value > Max_)
            Max_ = value;
    }
    std::int64_t Count() const { return Count_; }
    double Mean() const { return Mean_; }
    // n - 1 in the denominator; 0 below two values.
    double SampleVariance() const { return Count_ > 1 ? M2_ / double(Count_ - 1) : 0; }
    double SampleSd() const;
    double Min() const { return Min_; }
    double Max() const { return Max_; }

private:
    std::int64_t Count_ = 0;
    double Mean_ = 0;
    double M2_ = 0;
    double Min_ = 0;
    double Max_ = 0;
};

// The rows of one main mode and unit kind: "Cs" in farads apart from "Cp" and from "Rs".
struct TStatsGroup
{
    QByteArray Mode;
    TUnitKind Kind = TUnitKind::None;
    TRunningStats Running;
    std::vector<TPartValue> Parts; // in row order, for the median, classes and matched sets
};

// Statistics of record rows as they are added, from their texts: main mode, main value and
// main unit. Rows whose main reading is no number (OL, OPEN, dashes, blank) are counted apart.
class TPartStatistics
{
public:
    explicit TPartStatistics(QByteArray decimalSep = QByteArrayLiteral("."))
        : DecimalSep_(std::move(decimalSep))
    {}

    // record: the row's number; row: its place in the table, 0-based.
    void AddRow(QByteArrayView mode, QByteArrayView value, QByteArrayView unit, std::int32_t record,
                qsizetype row);
    // Rows of a table: all of them, a range, or the given (0-based) rows.
    void AddTable(const TRecordTable &table);
    void AddRows(const TRecordTable &table, qsizetype first, qsizetype last);
    void AddRows(const TRecordTable &table, std::span<const qsizetype> rows);
    void Clear();

    const std::vector<TStatsGroup> &Groups() const { return Groups_; }
    std::int64_t NonNumberRows() const { return NonNumbers_; }
    std::int64_t Rows() const { return Rows_; }
    const QByteArray &DecimalSep() const { return DecimalSep_; }

private:
    void addTableRow(const TRecordTable &table, qsizetype row);
    qsizetype groupOf(QByteArrayView mode, TUnitKind kind);

    QByteArray DecimalSep_;
    // The mode and unit of the last row, its unit's scale and group: a recording repeats them
    // row after row, so a row costs the reading of its number, not a search.
    std::string LastMode_, LastUnit_;
    std::optional<TUnitScale> LastScale_;
    qsizetype LastGroup_ = -1;
    bool HasLast_ = false;
    std::vector<TStatsGroup> Groups_;
    std::int64_t NonNumbers_ = 0;
    std::int64_t Rows_ = 0;
};
