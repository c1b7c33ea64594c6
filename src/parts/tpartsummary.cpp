#include "tpartsummary.h"

#include "teseries.h"
#include "ttolerance.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double MedianOf(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(mid), values.end());
    const double upper = values[mid];
    if (values.size() % 2 == 1)
        return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + std::ptrdiff_t(mid));
    return lower + (upper - lower) / 2;
}

THistogram HistogramOf(const std::vector<double> &values, double min, double max, int bins)
{
    THistogram h;
    if (values.empty())
        return h;
    if (bins <= 0)
        bins = std::clamp(int(std::lround(std::sqrt(double(values.size())))), 5, 40);
    h.Counts.assign(std::size_t(bins), 0);
    if (max <= min) {
        // All alike: one bar in the middle, a bin as wide as one part in 10^4 of the value.
        h.Width = std::max(std::fabs(min) * 1e-4, 1e-300);
        h.Low = min - h.Width * bins / 2;
    } else {
        h.Low = min;
        h.Width = (max - min) / bins;
    }
    for (const double v : values) {
        const int bin = int((v - h.Low) / h.Width);
        ++h.Counts[std::size_t(std::clamp(bin, 0, bins - 1))];
    }
    return h;
}

// The quantities the meter shows a value of this size in, by the prefix it would take: pF and
// nF are farads only, uF/uH and mF/mH either, H/Ohm and kH/kOhm either, MOhm ohms only.
std::vector<TUnitKind> kindsShowing(double value)
{
    const int step = int(std::floor(std::log10(value) / 3));
    if (step <= -3)
        return {TUnitKind::Farad};
    if (step <= -1)
        return {TUnitKind::Farad, TUnitKind::Henry};
    if (step <= 1)
        return {TUnitKind::Henry, TUnitKind::Ohm};
    return {TUnitKind::Ohm};
}

QString quantityText(TUnitKind kind)
{
    switch (kind) {
    case TUnitKind::Farad:
        return QStringLiteral("farads");
    case TUnitKind::Henry:
        return QStringLiteral("henries");
    case TUnitKind::Ohm:
        return QStringLiteral("ohms");
    default:
        return QStringLiteral("[%1]").arg(UnitKindText(kind));
    }
}

} // namespace

std::optional<TUnitKind> NominalKind(const TNominal &nominal,
                                     const std::vector<std::pair<TUnitKind, double>> &groups)
{
    const std::vector<TUnitKind> kinds =
        nominal.Kind ? std::vector<TUnitKind>{*nominal.Kind} : kindsShowing(nominal.Value);
    std::optional<TUnitKind> best;
    double bestDistance = 0;
    for (const auto &[kind, median] : groups) {
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
            continue;
        // By ratio: 100n lies nearer 90n than 1u does, though not by difference.
        const double distance = median > 0 ? std::fabs(std::log(median / nominal.Value))
                                           : std::numeric_limits<double>::infinity();
        if (!best || distance < bestDistance) {
            best = kind;
            bestDistance = distance;
        }
    }
    return best;
}

QString UnmatchedNominalText(const TPartSummary &summary, const TNominal &nominal)
{
    QStringList groups;
    std::vector<std::pair<TUnitKind, double>> medians;
    for (const TGroupSummary &g : summary.Groups) {
        groups << GroupTitle(g);
        medians.emplace_back(g.Kind, g.Median);
    }
    const QString parts = groups.join(QStringLiteral(", "));
    // Its quantity is there: an earlier nominal took it.
    if (const auto kind = NominalKind(nominal, medians)) {
        const auto g = std::find_if(summary.Groups.begin(), summary.Groups.end(),
                                    [&](const TGroupSummary &x) { return x.Kind == *kind; });
        return QStringLiteral("%1 is for the parts in %2, which have the nominal %3; the parts "
                              "are %4")
            .arg(nominal.Text, quantityText(*kind), FormatSi(g->Nominal, g->Kind), parts);
    }
    QStringList kinds;
    for (const TUnitKind kind :
         nominal.Kind ? std::vector<TUnitKind>{*nominal.Kind} : kindsShowing(nominal.Value))
        kinds << quantityText(kind);
    return QStringLiteral("%1 is for parts in %2, and there are none; the parts are %3")
        .arg(nominal.Text, kinds.join(QStringLiteral(" or ")), parts);
}

TPartSummary Summarize(const TPartStatistics &stats, const TSummaryOptions &options)
{
    TPartSummary summary;
    summary.Classes = options.Classes;
    summary.MatchSize = options.MatchSize;
    summary.MatchWithinPercent = options.MatchWithinPercent;
    summary.Rows = stats.Rows();
    summary.NonNumberRows = stats.NonNumberRows();
    // The medians first: a nominal typed without its unit goes to the quantity whose parts lie
    // nearest it.
    std::vector<std::vector<double>> groupValues;
    std::vector<std::pair<TUnitKind, double>> medians;
    for (const TStatsGroup &g : stats.Groups()) {
        std::vector<double> &values = groupValues.emplace_back();
        values.reserve(g.Parts.size());
        for (const TPartValue &p : g.Parts)
            values.push_back(p.Value);
        medians.emplace_back(g.Kind, MedianOf(values));
    }
    // One nominal a quantity, the first given for it.
    std::vector<std::pair<TUnitKind, double>> nominals;
    for (const TNominal &n : options.Nominals) {
        const std::optional<TUnitKind> kind = NominalKind(n, medians);
        const bool taken = kind
                           && std::any_of(nominals.begin(), nominals.end(),
                                          [&](const auto &t) { return t.first == *kind; });
        if (kind && !taken)
            nominals.emplace_back(*kind, n.Value);
        else if (!medians.empty())
            summary.UnmatchedNominals.push_back(n);
    }
    for (std::size_t gi = 0; gi < stats.Groups().size(); ++gi) {
        const TStatsGroup &g = stats.Groups()[gi];
        TGroupSummary s;
        s.Mode = QString::fromUtf8(g.Mode);
        s.Kind = g.Kind;
        s.Count = g.Running.Count();
        s.Mean = g.Running.Mean();
        s.Sd = g.Running.SampleSd();
        s.Min = g.Running.Min();
        s.Max = g.Running.Max();
        const std::vector<double> &values = groupValues[gi];
        s.Median = medians[gi].second;
        s.SpreadPercent = s.Mean != 0 ? (s.Max - s.Min) / std::fabs(s.Mean) * 100 : 0;
        const auto typed = std::find_if(nominals.begin(), nominals.end(),
                                        [&](const auto &n) { return n.first == g.Kind; });
        if (typed != nominals.end()) {
            s.Nominal = typed->second;
            s.NominalTyped = true;
        } else if (const auto e = NearestESeries(s.Median, options.Series)) {
            s.Nominal = *e;
            s.Series = options.Series;
        }
        if (s.Nominal > 0) {
            s.ClassCounts.assign(options.Classes.size() + 2, 0);
            for (const double v : values)
                ++s.ClassCounts[std::size_t(ToleranceClassOf(v, s.Nominal, options.Classes))];
        }
        s.Histogram = HistogramOf(values, s.Min, s.Max, options.HistogramBins);
        s.Sets = FindMatchedSets(g.Parts, options.MatchSize, options.MatchWithinPercent);
        summary.Groups.push_back(std::move(s));
    }
    std::stable_sort(
        summary.Groups.begin(), summary.Groups.end(),
        [](const TGroupSummary &a, const TGroupSummary &b) { return a.Count > b.Count; });
    return summary;
}

QString ClassName(const TPartSummary &summary, int index)
{
    const int n = int(summary.Classes.size());
    if (index == n)
        return QStringLiteral("below");
    if (index == n + 1)
        return QStringLiteral("above");
    return QString::number(summary.Classes[std::size_t(index)]) + QStringLiteral(" %");
}

QString GroupTitle(const TGroupSummary &g)
{
    const QString unit = UnitKindText(g.Kind);
    return (g.Mode.isEmpty() ? QStringLiteral("(no mode)") : g.Mode)
           + (unit.isEmpty() ? QString() : QStringLiteral(" [") + unit + QLatin1Char(']'));
}

QStringList ClassRow(const TPartSummary &summary, const TGroupSummary &g, int index,
                     const QString &plusMinus)
{
    const qint64 n = g.ClassCounts[std::size_t(index)];
    return {index < int(summary.Classes.size()) ? plusMinus + ClassName(summary, index)
                                                : ClassName(summary, index),
            QString::number(n), PercentText(g.Count ? 100.0 * double(n) / double(g.Count) : 0, 1)};
}

QString PercentText(double v, int decimals)
{
    return QString::number(v, 'f', decimals) + QStringLiteral(" %");
}

QString SetRowsText(const TMatchedSet &set)
{
    QStringList parts;
    for (qsizetype i = 0; i < set.Rows.size(); ++i) {
        const qint64 row = qint64(set.Rows[i]) + 1;
        const qint64 record = i < set.Records.size() ? set.Records[i] : row;
        parts << (record == row ? QString::number(row)
                                : QStringLiteral("%1 (record %2)").arg(row).arg(record));
    }
    return parts.join(QStringLiteral(", "));
}

QList<QPair<QString, QString>> GroupFigures(const TGroupSummary &g, const QString &seriesNote)
{
    QList<QPair<QString, QString>> figures = {
        {QStringLiteral("Count"), QString::number(g.Count)},
        {QStringLiteral("Mean"), FormatSi(g.Mean, g.Kind, 6)},
        {QStringLiteral("Std dev"), FormatSi(g.Sd, g.Kind, 4)},
        {QStringLiteral("Min"), FormatSi(g.Min, g.Kind, 6)},
        {QStringLiteral("Max"), FormatSi(g.Max, g.Kind, 6)},
        {QStringLiteral("Median"), FormatSi(g.Median, g.Kind, 6)},
        {QStringLiteral("Spread"), PercentText(g.SpreadPercent) + QStringLiteral(" of mean")},
    };
    if (g.Nominal > 0)
        figures.append(
            {QStringLiteral("Nominal"),
             FormatSi(g.Nominal, g.Kind, 4)
                 + (g.NominalTyped ? QString()
                                   : QStringLiteral(" (E%1%2)").arg(g.Series).arg(seriesNote))});
    return figures;
}

namespace {

// Two columns, the labels padded to one width.
QString Table(const QList<QPair<QString, QString>> &rows, int indent)
{
    int width = 0;
    for (const auto &r : rows)
        width = std::max(width, int(r.first.size()));
    QString out;
    for (const auto &r : rows)
        out += QString(indent, QLatin1Char(' ')) + r.first.leftJustified(width + 2) + r.second
               + QLatin1Char('\n');
    return out;
}

} // namespace

QString SummaryText(const TPartSummary &summary)
{
    QString out;
    out += Table({{QStringLiteral("Rows"), QString::number(summary.Rows)},
                  {QStringLiteral("Not a number"), QString::number(summary.NonNumberRows)}},
                 0);
    for (const TGroupSummary &g : summary.Groups) {
        out += QLatin1Char('\n');
        out += GroupTitle(g) + QLatin1Char('\n');
        const auto figures = GroupFigures(g, QStringLiteral(", nearest the median"));
        out += Table(figures, 2);
        if (!g.ClassCounts.empty()) {
            out += QStringLiteral("  Class      Count  Share\n");
            for (int i = 0; i < int(g.ClassCounts.size()); ++i) {
                const QStringList row = ClassRow(summary, g, i, QStringLiteral("+/-"));
                out +=
                    QStringLiteral("  %1 %2 %3\n").arg(row[0], -10).arg(row[1], 5).arg(row[2], 7);
            }
        }
        out += QStringLiteral("  Matched sets of %1 within %2 %: %3\n")
                   .arg(summary.MatchSize)
                   .arg(summary.MatchWithinPercent)
                   .arg(g.Sets.size());
        for (const TMatchedSet &set : g.Sets)
            out += QStringLiteral("    rows %1  (%2, mean %3)\n")
                       .arg(SetRowsText(set), PercentText(set.SpreadPercent),
                            FormatSi(set.Mean, g.Kind, 5));
    }
    return out;
}

QByteArray SummaryJson(const TPartSummary &summary)
{
    QJsonObject root;
    root[QStringLiteral("rows")] = double(summary.Rows);
    root[QStringLiteral("notANumber")] = double(summary.NonNumberRows);
    QJsonArray classes;
    for (const double c : summary.Classes)
        classes.append(c);
    root[QStringLiteral("classesPercent")] = classes;
    root[QStringLiteral("matchSize")] = summary.MatchSize;
    root[QStringLiteral("matchWithinPercent")] = summary.MatchWithinPercent;
    QJsonArray groups;
    for (const TGroupSummary &g : summary.Groups) {
        QJsonObject o;
        o[QStringLiteral("mode")] = g.Mode;
        o[QStringLiteral("unit")] = UnitKindText(g.Kind);
        o[QStringLiteral("count")] = double(g.Count);
        o[QStringLiteral("mean")] = g.Mean;
        o[QStringLiteral("sd")] = g.Sd;
        o[QStringLiteral("min")] = g.Min;
        o[QStringLiteral("max")] = g.Max;
        o[QStringLiteral("median")] = g.Median;
        o[QStringLiteral("spreadPercent")] = g.SpreadPercent;
        if (g.Nominal > 0) {
            o[QStringLiteral("nominal")] = g.Nominal;
            o[QStringLiteral("nominalSeries")] =
                g.NominalTyped ? QJsonValue() : QJsonValue(QStringLiteral("E%1").arg(g.Series));
            QJsonArray counts;
            for (const auto c : g.ClassCounts)
                counts.append(double(c));
            o[QStringLiteral("classCounts")] = counts; // the classes, then below, then above
        }
        QJsonObject hist;
        hist[QStringLiteral("low")] = g.Histogram.Low;
        hist[QStringLiteral("width")] = g.Histogram.Width;
        QJsonArray bins;
        for (const auto c : g.Histogram.Counts)
            bins.append(double(c));
        hist[QStringLiteral("counts")] = bins;
        o[QStringLiteral("histogram")] = hist;
        QJsonArray sets;
        for (const TMatchedSet &set : g.Sets) {
            QJsonObject so;
            QJsonArray records;
            for (const auto r : set.Records)
                records.append(r);
            so[QStringLiteral("records")] = records;
            QJsonArray rows; // 1-based, as the grid and the record file count them
            for (const auto r : set.Rows)
                rows.append(qint64(r) + 1);
            so[QStringLiteral("rows")] = rows;
            so[QStringLiteral("mean")] = set.Mean;
            so[QStringLiteral("spreadPercent")] = set.SpreadPercent;
            sets.append(so);
        }
        o[QStringLiteral("matchedSets")] = sets;
        groups.append(o);
    }
    root[QStringLiteral("groups")] = groups;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
