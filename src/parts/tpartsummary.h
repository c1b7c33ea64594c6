#pragma once

#include "tmatchedsets.h"
#include "tnominal.h"
#include "tpartstatistics.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// What a summary is asked to work out beyond the plain figures.
struct TSummaryOptions
{
    // Typed nominals, each for the groups of one quantity (Cs and Cp in farads alike, see
    // NominalKind); a group without one takes the value of Series nearest its median.
    std::vector<TNominal> Nominals;
    int Series = 12;
    std::vector<double> Classes = {0.5, 1, 2, 5, 10, 20};
    int MatchSize = 2;
    double MatchWithinPercent = 0.5;
    int HistogramBins = 0; // 0: about the square root of the count, 5 to 40
};

struct THistogram
{
    double Low = 0; // the left edge of the first bin
    double Width = 0;
    std::vector<std::int64_t> Counts;
};

struct TGroupSummary
{
    QString Mode;
    TUnitKind Kind = TUnitKind::None;
    std::int64_t Count = 0;
    double Mean = 0;
    double Sd = 0;
    double Min = 0;
    double Max = 0;
    double Median = 0;
    double SpreadPercent = 0; // (max - min) in % of the mean
    double Nominal = 0;       // 0: none (no positive median to round)
    bool NominalTyped = false;
    int Series = 0;                        // the E series the nominal came from; 0 when typed
    std::vector<std::int64_t> ClassCounts; // the classes, then below, then above
    THistogram Histogram;
    std::vector<TMatchedSet> Sets;
};

struct TPartSummary
{
    std::vector<TGroupSummary> Groups; // the largest first
    // Typed nominals that apply to no group: of a quantity no group has, or of one an earlier
    // nominal took. Empty when there are no groups at all.
    std::vector<TNominal> UnmatchedNominals;
    std::vector<double> Classes;
    int MatchSize = 2;
    double MatchWithinPercent = 0.5;
    std::int64_t Rows = 0;
    std::int64_t NonNumberRows = 0;
};

// Works out the median, nominal, classes, histogram and matched sets of each group: O(n log n),
// which is why a live view calls it a few times a second rather than on every row.
TPartSummary Summarize(const TPartStatistics &stats, const TSummaryOptions &options);

// The summary as aligned plain text, one block per group, for a terminal or a log.
QString SummaryText(const TPartSummary &summary);
// The same figures as JSON, in base units, for scripts.
QByteArray SummaryJson(const TPartSummary &summary);

// The quantity a typed nominal is for, among groups of parts given by their unit kinds and
// medians: the unit typed with it, else one the meter shows such a value in (100n: farads; 4.7k:
// henries or ohms; 2m2: farads or henries), of those the one with a median nearest it. None
// when no group is of that quantity.
std::optional<TUnitKind> NominalKind(const TNominal &nominal,
                                     const std::vector<std::pair<TUnitKind, double>> &groups);
// What is wrong with a nominal that applies to no group of the summary, naming the groups:
// "100nH is for parts in henries; the parts are Cs [F], Rs [Ohm]".
QString UnmatchedNominalText(const TPartSummary &summary, const TNominal &nominal);

// A percentage as the summaries print it: "0.123 %".
QString PercentText(double v, int decimals = 3);
// The parts of a matched set by their rows in the table, 1-based, each with its record number
// where that differs: "3, 17", or after an Open "67, 134 (record 67)".
QString SetRowsText(const TMatchedSet &set);
// A group's figures as label and text, in the order every summary lists them; the nominal's
// series is named after it, with `seriesNote` (", nearest the median" or nothing).
QList<QPair<QString, QString>> GroupFigures(const TGroupSummary &g, const QString &seriesNote);

// The name of class i of a summary: "0.5 %", "below", "above".
QString ClassName(const TPartSummary &summary, int index);
// A group's heading: its mode and the kind of its unit, "Cp [F]"; "(no mode)" when the meter
// showed none.
QString GroupTitle(const TGroupSummary &g);
// Row i of a group's class table: the class, its count and its share of the group. A tolerance
// class is written after `plusMinus` ("\u00B1" on screen and paper, "+/-" in plain text).
QStringList ClassRow(const TPartSummary &summary, const TGroupSummary &g, int index,
                     const QString &plusMinus);
