#include "tsummaryhistogram.h"

#include "tnominal.h"

#include <algorithm>

THistogramPicture SummaryHistogram(const TPartSummary &summary, const TGroupSummary &g)
{
    THistogramPicture h;
    const THistogram &bins = g.Histogram;
    h.CountTitle = QStringLiteral("Parts");
    if (bins.Counts.empty() || !(bins.Width > 0))
        return h;
    h.Low = bins.Low;
    h.Width = bins.Width;
    h.Counts = bins.Counts;
    const double dataLow = bins.Low;
    const double dataHigh = bins.Low + bins.Width * double(bins.Counts.size());
    double low = dataLow;
    double high = dataHigh;
    if (g.Nominal > 0) {
        low = std::min(low, g.Nominal);
        high = std::max(high, g.Nominal);
        std::vector<double> classes = summary.Classes;
        std::sort(classes.begin(), classes.end());
        // Out to the first limit beyond the readings on each side, when there is one.
        for (const double c : classes)
            if (g.Nominal * (1 - c / 100) <= dataLow) {
                low = std::min(low, g.Nominal * (1 - c / 100));
                break;
            }
        for (const double c : classes)
            if (g.Nominal * (1 + c / 100) >= dataHigh) {
                high = std::max(high, g.Nominal * (1 + c / 100));
                break;
            }
        // The nominal's label first, then the limits from the tightest out, both sides in turn.
        h.Marks.push_back({g.Nominal, QStringLiteral("nominal"), true});
        for (const double c : classes) {
            const QString number = QString::number(c);
            h.Marks.push_back({g.Nominal * (1 - c / 100), QStringLiteral("-%1 %").arg(number)});
            h.Marks.push_back({g.Nominal * (1 + c / 100), QStringLiteral("+%1 %").arg(number)});
        }
    }
    h.SpanLow = low;
    h.SpanHigh = high;
    h.SpanLowLabel = FormatSi(low, g.Kind, 5);
    h.SpanHighLabel = FormatSi(high, g.Kind, 5);
    h.ValueTitle = QStringLiteral("Readings %1 to %2")
                       .arg(FormatSi(g.Min, g.Kind, 5), FormatSi(g.Max, g.Kind, 5));
    return h;
}
