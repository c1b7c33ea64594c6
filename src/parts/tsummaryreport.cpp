#include "tsummaryreport.h"

#include "thistogrampainter.h"
#include "trecordreport.h"
#include "treportwriter.h"
#include "tsummaryhistogram.h"
#include "ttolerance.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace {

QFont pageFont(int pixels, bool bold = false)
{
    // The record report's face, so the two read as one program's pages.
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Draws rows of cells at the given column offsets; returns the y below the last row.
double drawRows(QPainter &p, double x, double y, const QList<double> &columns,
                const QList<QStringList> &rows, double lineHeight)
{
    for (const QStringList &row : rows) {
        for (int c = 0; c < row.size() && c < columns.size(); ++c)
            p.drawText(QRectF(x + columns[c], y, 400, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       row[c]);
        y += lineHeight;
    }
    return y;
}

} // namespace

TSummaryReport::TSummaryReport(TPartSummary summary, const QDateTime &now)
    : Summary_(std::move(summary))
    , DateText_(now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
{}

int TSummaryReport::PageCount(const QSizeF &) const
{
    return std::max<int>(1, int(Summary_.Groups.size()));
}

void TSummaryReport::DrawPage(QPainter &p, int page, const QSizeF &printable) const
{
    const double w = printable.width();
    const double line = 20;
    double y = 0;
    p.setPen(Qt::black);
    p.setFont(pageFont(20, true));
    p.drawText(QRectF(0, y, w, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Parts summary"));
    p.setFont(pageFont(13));
    p.drawText(QRectF(0, y, w, 30), Qt::AlignRight | Qt::AlignVCenter, DateText_);
    y += 36;
    p.drawText(QRectF(0, y, w, line), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Rows: %1    Not a number: %2    Page %3 of %4")
                   .arg(Summary_.Rows)
                   .arg(Summary_.NonNumberRows)
                   .arg(page + 1)
                   .arg(PageCount(printable)));
    y += line + 8;
    if (page < 0 || page >= int(Summary_.Groups.size())) {
        p.drawText(QRectF(0, y, w, line), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("No readings."));
        return;
    }
    const TGroupSummary &g = Summary_.Groups[std::size_t(page)];
    p.setFont(pageFont(16, true));
    p.drawText(QRectF(0, y, w, 26), Qt::AlignLeft | Qt::AlignVCenter, GroupTitle(g));
    y += 32;

    // Figures on the left, the class table on the right.
    p.setFont(pageFont(13));
    QList<QStringList> figures;
    for (const auto &[label, text] : GroupFigures(g, QString()))
        figures.append({label, text});
    const double top = y;
    const double yFigures = drawRows(p, 0, y, {0, 90}, figures, line);
    double yClasses = top;
    if (!g.ClassCounts.empty()) {
        QList<QStringList> rows;
        p.setFont(pageFont(13, true));
        yClasses = drawRows(
            p, w / 2, yClasses, {0, 120, 190},
            {{QStringLiteral("Class"), QStringLiteral("Count"), QStringLiteral("Share")}}, line);
        p.setFont(pageFont(13));
        for (int i = 0; i < int(g.ClassCounts.size()); ++i)
            rows.append(ClassRow(Summary_, g, i, QStringLiteral("\u00B1")));
        yClasses = drawRows(p, w / 2, yClasses, {0, 120, 190}, rows, line);
    }
    y = std::max(yFigures, yClasses) + 16;

    // The histogram, drawn as the statistics window draws it.
    THistogramPainter histogram;
    histogram.LabelFont = pageFont(11);
    histogram.TitleFont = pageFont(11, true);
    const QRectF box(0, y, w, 270);
    histogram.paint(p, SummaryHistogram(Summary_, g), box);
    y = box.bottom() + 16;

    // The matched sets, as many as the page holds.
    p.setFont(pageFont(13, true));
    p.setPen(Qt::black);
    p.drawText(QRectF(0, y, w, line), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Matched sets of %1 within %2 %: %3")
                   .arg(Summary_.MatchSize)
                   .arg(Summary_.MatchWithinPercent)
                   .arg(g.Sets.size()));
    y += line;
    p.setFont(pageFont(13));
    const double bottom = printable.height() - line;
    for (std::size_t i = 0; i < g.Sets.size(); ++i) {
        if (y + line > bottom) {
            p.drawText(QRectF(0, y, w, line), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("... and %1 more").arg(g.Sets.size() - i));
            break;
        }
        const TMatchedSet &set = g.Sets[i];
        drawRows(p, 0, y, {0, 40, 330, 450},
                 {{QString::number(i + 1), QStringLiteral("rows ") + SetRowsText(set),
                   PercentText(set.SpreadPercent),
                   QStringLiteral("mean ") + FormatSi(set.Mean, g.Kind, 5)}},
                 line);
        y += line;
    }
}

bool SaveSummaryPdf(const TPartSummary &summary, const QString &fileName, QString *error)
{
    const TSummaryReport report(summary);
    return SaveReportPdf(report, fileName, TRecordReport::DefaultPageLayout(), error);
}
