#pragma once

#include <QList>
#include <cstdint>
#include <span>
#include <vector>

// One measured part: its value in base units and the number of the row that holds it.
struct TPartValue
{
    double Value = 0;
    std::int32_t Record = 0;
};

struct TMatchedSet
{
    QList<std::int32_t> Records; // in the order of their values
    double Mean = 0;
    double SpreadPercent = 0; // (largest - smallest) / smallest
};

// Sets of k parts whose values lie within withinPercent of each other, tightest first, each
// part in at most one set. The tightest k-set among the parts left is always a run of k
// neighbours in value order, so runs are taken tightest first (the lower value first on a tie)
// and the parts left are joined up again. Parts of zero or negative value never match.
std::vector<TMatchedSet> FindMatchedSets(std::span<const TPartValue> parts, int k,
                                         double withinPercent);
