#pragma once

#include "tpagedreport.h"

#include <QDateTime>
#include <QPageLayout>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class TRecordTable;

// Which rows land on which page, for one height of the printable area: the first page carries
// the title band above the column titles, so it holds fewer rows than the pages after it.
struct TReportPages
{
    qsizetype Rows = 0;
    int FirstPageRows = 1;
    int LaterPageRows = 1;

    int Count() const;
    qsizetype FirstRow(int page) const;
    int RowsOn(int page) const;
};

// The printed record table. Prepare takes the table's rows as they are at that moment and the
// date and time the title shows; the prepared report then lays its pages out onto any paged
// device (a printer, a preview's printer, a PDF writer) as often as asked, each time the same.
// Pages are made one at a time from the rows they show, so a report of any length costs the
// memory of one page. Positions and sizes are in report units of 1/96 inch, from the top left
// corner of the page's printable area.
class TRecordReport : public TPagedReport
{
public:
    static constexpr double UnitsPerMm = 96.0 / 25.4;
    // A4 portrait with margins of 5 mm left and right, 10 mm top and bottom.
    static QPageLayout DefaultPageLayout();
    // The printable area of a layout in report units.
    static QSizeF PrintableSize(const QPageLayout &layout);

    TRecordReport();
    ~TRecordReport() override;
    TRecordReport(const TRecordReport &) = delete;
    TRecordReport &operator=(const TRecordReport &) = delete;

    // The date and time a report prepared now shows: the clock's, or, when SOURCE_DATE_EPOCH
    // holds a count of seconds since 1970, that moment, so a report can be made again to the
    // byte (the reproducible-builds convention).
    static QDateTime Now();

    // The table must outlive the report; rows it gains later are not part of this report, and
    // rows it loses print as empty boxes.
    void Prepare(const TRecordTable &table, const QDateTime &now = Now());
    // Discards the prepared pages: the report then prints one page without rows.
    void Clear();
    qsizetype RowCount() const { return Rows_; }

    TReportPages Pages(const QSizeF &printable) const;
    TReportPages Pages(const QPageLayout &layout = DefaultPageLayout()) const
    {
        return Pages(PrintableSize(layout));
    }

    // Draws one page (0-based) in report units; the caller's transform maps them to the device.
    void DrawPage(QPainter &painter, int page, const QSizeF &printable) const override;
    int PageCount(const QSizeF &printable) const override { return Pages(printable).Count(); }
    QString DocumentTitle() const override { return QStringLiteral("Data"); }

private:
    struct TLayout;
    std::unique_ptr<const TLayout> Layout_;
    const TRecordTable *Table_ = nullptr;
    qsizetype Rows_ = 0;
    QString DateText_;
    QString TimeText_;
};
