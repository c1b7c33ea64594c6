#include "../support/pdftools.h"
#include "tpartsummary.h"
#include "tsummaryreport.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A batch of 100 nF capacitors as recorded, one status word among them.
TPartStatistics batch()
{
    TPartStatistics stats;
    const char *values[] = {"100.0", "101.2",  "100.3", "99.1",  "100.25", "98.0",
                            "101.0", "100.31", "OPEN",  "104.0", "95.5"};
    std::int32_t record = 1;
    for (const char *v : values) {
        stats.AddRow("Cs", v, "nF", record, record - 1);
        ++record;
    }
    return stats;
}

} // namespace

class TestSummaryReport : public QObject
{
    Q_OBJECT

private slots:
    // The page a user saves shows the figures, the class table and the matched sets, as text a
    // reader can find and copy out of the PDF.
    void pdfHoldsTheFigures()
    {
        TSummaryOptions options;
        options.Nominals = {*ParseNominal(u"100n")};
        const TPartSummary summary = Summarize(batch(), options);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("summary.pdf"));
        QString error;
        QVERIFY2(SaveSummaryPdf(summary, file, &error), qPrintable(error));
        QCOMPARE(PdfTools::pageCount(file), 1);
        const QString text = PdfTools::pageText(file, 1).simplified();
        for (const char *expected :
             {"Parts summary", "Rows: 11 Not a number: 1", "Cs [F]", "Count 10", "Mean 99.966 nF",
              "Min 95.5 nF", "Max 104 nF", "Median 100.275 nF", "Nominal 100 nF",
              "Spread 8.503 % of mean",
              // class counts: 0.5 % holds 100, 100.3, 100.25, 100.31; 1 % holds 99.1, 101.0
              "\u00B10.5 % 4 40.0 %", "\u00B11 % 2 20.0 %", "\u00B12 % 2 20.0 %",
              "\u00B15 % 2 20.0 %", "below 0 0.0 %", "above 0 0.0 %",
              "Matched sets of 2 within 0.5 %: 3", "rows 3, 8", "rows 7, 2", "rows 1, 5"}) {
            QVERIFY2(text.contains(QString::fromUtf8(expected)),
                     qPrintable(QStringLiteral("missing \"%1\" in: %2")
                                    .arg(QString::fromUtf8(expected), text)));
        }
    }

    // One page per group of parts; with nothing measured, one page that says so.
    void pagesPerGroup()
    {
        TPartStatistics stats = batch();
        stats.AddRow("Rs", "4.7", "KOhm", 20, 11);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("two.pdf"));
        QVERIFY(SaveSummaryPdf(Summarize(stats, {}), file, nullptr));
        QCOMPARE(PdfTools::pageCount(file), 2);
        const QString second = PdfTools::pageText(file, 2).simplified();
        QVERIFY2(second.contains(QStringLiteral("Rs [Ohm]")), qPrintable(second));
        QVERIFY2(second.contains(QStringLiteral("Nominal 4.7 kOhm (E12)")), qPrintable(second));

        const QString empty = dir.filePath(QStringLiteral("empty.pdf"));
        QVERIFY(SaveSummaryPdf(Summarize(TPartStatistics(), {}), empty, nullptr));
        QCOMPARE(PdfTools::pageCount(empty), 1);
        QVERIFY(PdfTools::pageText(empty, 1).contains(QStringLiteral("No readings.")));
    }

    // A folder that cannot be written names the reason and leaves nothing behind.
    void unwritableTarget()
    {
        QString error;
        QVERIFY(!SaveSummaryPdf(Summarize(batch(), {}),
                                QStringLiteral("/nonexistent-folder/summary.pdf"), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestSummaryReport)
#include "tst_summaryreport.moc"
