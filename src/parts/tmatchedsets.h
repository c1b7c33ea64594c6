#pragma once

#include <QList>
#include <cstdint>
#include <span>
#include <vector>

// One measured part: its value in base units, the record number of the row that holds it, and
// that row's place in its table (0-based): after an Open a table may hold a number twice. A
// table holds fewer rows than an int counts, so a part takes 16 bytes.
struct TPartValue
{
    double Value = 0;
    std::int32_t Record = 0;
    std::int32_t Row = 0;
};

struct TMatchedSet
{
    QList<std::int32_t> Records; // in the order of their values
    QList<std::int32_t> Rows;    // the same parts' rows, 0-based
    double Mean = 0;
    double SpreadPercent = 0; // (largest - smallest) / smallest
};

// Sets of k parts whose values lie within withinPercent of each other, tightest first, each
// part in at most one set. The tightest k-set among the parts left is always a run of k
// neighbours in value order, so runs are taken tightest first (the lower value first on a tie)
// and the parts left are joined up again. Parts of zero or negative value never match.
std::vector<TMatchedSet> FindMatchedSets(std::span<const TPartValue> parts, int k,
                                         double withinPercent);
