#pragma once

#include "tpagedreport.h"
#include "tpartsummary.h"
#include "trecordreport.h"

#include <QDateTime>

// The summary of a batch as a printed page per group of parts: the figures, the class table,
// the histogram with the class limits, the matched sets. Drawn through the same writers as the
// record report, so it prints, previews and goes into a PDF the same way.
class TSummaryReport : public TPagedReport
{
public:
    explicit TSummaryReport(TPartSummary summary, const QDateTime &now = TRecordReport::Now());

    int PageCount(const QSizeF &printable) const override;
    void DrawPage(QPainter &painter, int page, const QSizeF &printable) const override;
    QString DocumentTitle() const override { return QStringLiteral("Summary"); }

private:
    TPartSummary Summary_;
    QString DateText_;
};

// The summary page as a PDF file; on failure the target is untouched and *error says why.
bool SaveSummaryPdf(const TPartSummary &summary, const QString &fileName, QString *error);
