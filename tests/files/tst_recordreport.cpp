// The printed record table: its pages as pictures (drawn at 96 dpi, and a PDF rasterised by
// poppler) measured against the layout's millimetres, and its PDFs read back as text.
#include "../support/pdftools.h"

#include "trecordreport.h"
#include "trecordtable.h"
#include "treportwriter.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

using F = TRecordTable::Field;

constexpr double Px = 96 / 25.4; // pixels per millimetre at 96 dpi
// The printable area of A4 with margins of 5 mm left and right, 10 mm top and bottom.
const QSizeF Printable(200 * Px, 277 * Px);
const QDateTime Evening(QDate(2026, 12, 8), QTime(21, 7, 30));
// Left edges of the nine columns, and the right edge of the last, in millimetres.
const QList<double> ColumnEdges = {1, 15, 50, 72, 94, 116, 138, 160, 182, 200};

// A row as a recording makes it; texts without descenders, so ink ends on the baseline.
void addRow(TRecordTable &t, int number)
{
    t.Append();
    t.Fields(F::aNO).SetValue(number);
    const char *texts[] = {"2026-12-08 09:05:07", "Cs", "12.87", "nF", "D", "0.012", "", "120Hz"};
    for (int f = F::aTime; f <= F::aFreq; ++f)
        t.Fields(f).SetAsString(QString::fromLatin1(texts[f - 1]));
    QVERIFY(t.Post());
}

void fill(TRecordTable &t, int rows)
{
    for (int i = 1; i <= rows; ++i)
        addRow(t, i);
}

bool dark(QRgb c)
{
    return qGray(c) < 160;
}

bool ink(QRgb c)
{
    return qGray(c) < 200;
}

// A page as pixels, with where its printable area starts.
struct TPage
{
    QImage Image;
    QPointF Origin;

    int X(double mm) const { return int(std::lround(Origin.x() + mm * Px)); }
    int Y(double mm) const { return int(std::lround(Origin.y() + mm * Px)); }
};

TPage drawnPage(const TRecordReport &report, int page)
{
    TPage p{QImage(int(std::ceil(Printable.width())) + 2, int(std::ceil(Printable.height())) + 2,
                   QImage::Format_RGB32),
            QPointF(0, 0)};
    p.Image.fill(Qt::white);
    QPainter painter(&p.Image);
    report.DrawPage(painter, page, Printable);
    return p;
}

TPage pdfPage(const QString &pdf, int page)
{
    return {PdfTools::pageImage(pdf, page + 1, 96), QPointF(5 * Px, 10 * Px)};
}

// Centres (pixels, relative to the printable area, in millimetres) of the lines that run dark
// through at least nine tenths of the span; a line must be thin.
QList<double> lines(const TPage &p, Qt::Orientation across, int from, int to, int spanFrom,
                    int spanTo)
{
    QList<double> centres;
    const int span = spanTo - spanFrom + 1;
    int runStart = -1;
    const double origin = across == Qt::Horizontal ? p.Origin.x() : p.Origin.y();
    for (int i = from; i <= to + 1; ++i) {
        int count = 0;
        if (i <= to)
            for (int s = spanFrom; s <= spanTo; ++s)
                count += dark(across == Qt::Horizontal ? p.Image.pixel(i, s) : p.Image.pixel(s, i));
        const bool line = i <= to && count * 10 >= span * 9;
        if (line && runStart < 0)
            runStart = i;
        if (!line && runStart >= 0) {
            if (i - runStart > 3)
                return {-1}; // not a 1-unit line
            centres << ((runStart + i) / 2.0 - origin) / Px;
            runStart = -1;
        }
    }
    return centres;
}

QList<double> verticalLines(const TPage &p, double topMm, double bottomMm)
{
    return lines(p, Qt::Horizontal, 0, p.Image.width() - 1, p.Y(topMm) + 2, p.Y(bottomMm) - 2);
}

QList<double> horizontalLines(const TPage &p)
{
    return lines(p, Qt::Vertical, 0, p.Image.height() - 1, p.X(1) + 2, p.X(200) - 2);
}

// Bounding box of the ink inside an area given in millimetres (pixels, absolute).
QRect inkIn(const TPage &p, const QRectF &mm)
{
    QRect box;
    const int x0 = p.X(mm.left()), x1 = p.X(mm.right()), y0 = p.Y(mm.top()), y1 = p.Y(mm.bottom());
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (ink(p.Image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

bool near(const QList<double> &got, const QList<double> &expected, double toleranceMm)
{
    if (got.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < got.size(); ++i)
        if (std::abs(got[i] - expected[i]) > toleranceMm)
            return false;
    return true;
}

QByteArray describe(const QList<double> &values)
{
    QStringList texts;
    for (double v : values)
        texts << QString::number(v, 'f', 2);
    return texts.join(QLatin1Char(' ')).toLatin1();
}

// Row numbers of the record rows in a page's text: a number, then the record's time.
QList<int> rowNumbers(const QString &text)
{
    static const QRegularExpression row(QStringLiteral("^\\s*(\\d+)\\s+\\d{4}-\\d\\d-\\d\\d "));
    QList<int> numbers;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const auto m = row.match(line);
        if (m.hasMatch())
            numbers << m.captured(1).toInt();
    }
    return numbers;
}

QList<int> range(int first, int last)
{
    QList<int> r;
    for (int i = first; i <= last; ++i)
        r << i;
    return r;
}

} // namespace

class TestRecordReport : public QObject
{
    Q_OBJECT

private slots:
    void pagination_data();
    void pagination();
    void geometry_data();
    void geometry();
    void boxTexts_data();
    void boxTexts();
    void specialRows_data();
    void specialRows();
    void pdfText_data();
    void pdfText();
    void pdfFileIsWholeOrUntouched_data();
    void pdfFileIsWholeOrUntouched();
    void widerTextsStayInTheirBoxes_data();
    void widerTextsStayInTheirBoxes();

private:
    QTemporaryDir Dir;
};

void TestRecordReport::pagination_data()
{
    QTest::addColumn<QPageLayout>("layout");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("firstPageRows");
    QTest::addColumn<int>("laterPageRows");
    const QPageLayout a4 = TRecordReport::DefaultPageLayout();
    QTest::newRow("A4, empty table") << a4 << 0 << 1 << 41 << 44;
    QTest::newRow("A4, one row") << a4 << 1 << 1 << 41 << 44;
    QTest::newRow("A4, first page full") << a4 << 41 << 1 << 41 << 44;
    QTest::newRow("A4, one row over") << a4 << 42 << 2 << 41 << 44;
    QTest::newRow("A4, two pages full") << a4 << 85 << 2 << 41 << 44;
    QTest::newRow("A4, 100 rows") << a4 << 100 << 3 << 41 << 44;
    QTest::newRow("A4, 10000 rows") << a4 << 10000 << 228 << 41 << 44;
    // 80 mm high with 20 mm of margins: 60 mm hold exactly 5 rows under the title, 8 without.
    const QPageLayout exact(QPageSize(QSizeF(100, 80), QPageSize::Millimeter),
                            QPageLayout::Portrait, QMarginsF(5, 10, 5, 10),
                            QPageLayout::Millimeter);
    QTest::newRow("exact fit, first page") << exact << 5 << 1 << 5 << 8;
    QTest::newRow("exact fit, second page") << exact << 13 << 2 << 5 << 8;
    QTest::newRow("exact fit, one over") << exact << 14 << 3 << 5 << 8;
    QPageLayout landscape = a4;
    landscape.setOrientation(QPageLayout::Landscape);
    QTest::newRow("A4 landscape") << landscape << 60 << 3 << 26 << 29;
    // A sheet too small for the bands still puts a row on every page instead of none.
    const QPageLayout tiny(QPageSize(QSizeF(60, 30), QPageSize::Millimeter), QPageLayout::Portrait,
                           QMarginsF(5, 10, 5, 10), QPageLayout::Millimeter);
    QTest::newRow("tiny sheet") << tiny << 3 << 3 << 1 << 1;
}

void TestRecordReport::pagination()
{
    QFETCH(QPageLayout, layout);
    QFETCH(int, rows);
    QFETCH(int, pages);
    QFETCH(int, firstPageRows);
    QFETCH(int, laterPageRows);
    TRecordTable table;
    fill(table, rows);
    TRecordReport report;
    report.Prepare(table, Evening);
    const TReportPages p = report.Pages(layout);
    QCOMPARE(p.Count(), pages);
    QCOMPARE(p.RowsOn(0), std::min(rows, firstPageRows));
    if (pages > 1)
        QCOMPARE(p.RowsOn(1), std::min(rows - firstPageRows, laterPageRows));
    // Every row once, in order, page after page.
    qsizetype next = 0;
    for (int page = 0; page < pages; ++page) {
        QCOMPARE(p.FirstRow(page), next);
        QVERIFY(p.RowsOn(page) > 0 || rows == 0);
        next += p.RowsOn(page);
    }
    QCOMPARE(next, qsizetype(rows));
    QCOMPARE(p.RowsOn(pages), 0);
}

void TestRecordReport::geometry_data()
{
    QTest::addColumn<bool>("viaPdf");
    QTest::addColumn<int>("page");
    QTest::addColumn<double>("tableTop"); // mm: the column titles' top edge
    QTest::addColumn<int>("rowsOnPage");
    for (bool pdf : {false, true}) {
        const char *source = pdf ? "PDF at 96 dpi" : "drawn at 96 dpi";
        QTest::addRow("%s, page 1", source) << pdf << 0 << 18.0 << 41;
        QTest::addRow("%s, page 2", source) << pdf << 1 << 0.0 << 44;
        QTest::addRow("%s, page 3", source) << pdf << 2 << 0.0 << 15;
    }
}

void TestRecordReport::geometry()
{
    QFETCH(bool, viaPdf);
    QFETCH(int, page);
    QFETCH(double, tableTop);
    QFETCH(int, rowsOnPage);
    TRecordTable table;
    fill(table, 100);
    TRecordReport report;
    report.Prepare(table, Evening);
    TPage p;
    if (viaPdf) {
        const QString file = Dir.filePath(QStringLiteral("geometry.pdf"));
        QString error;
        QVERIFY2(SaveReportPdf(report, file, TRecordReport::DefaultPageLayout(), &error),
                 qPrintable(error));
        p = pdfPage(file, page);
        QCOMPARE(p.Image.size(), QSize(794, 1123)); // A4 portrait
    } else {
        p = drawnPage(report, page);
    }
    QVERIFY(!p.Image.isNull());

    // The column titles and the first row: framed boxes that touch, at the layout's edges.
    const QList<double> header = verticalLines(p, tableTop, tableTop + 6);
    QVERIFY2(near(header, ColumnEdges, 0.35), describe(header));
    const QList<double> firstRow = verticalLines(p, tableTop + 6, tableTop + 12);
    QVERIFY2(near(firstRow, ColumnEdges, 0.35), describe(firstRow));

    // Bands stacked without gaps: the title's 18 mm on the first page, then 6 mm a band.
    QList<double> expected;
    for (int i = 0; i <= rowsOnPage + 1; ++i)
        expected << tableTop + 6 * i;
    const QList<double> rules = horizontalLines(p);
    QVERIFY2(near(rules, expected, 0.35), describe(rules));

    // The title band above the column titles on the first page (later pages start with the
    // column titles, as the rules above show): "Data" centred on the band, date and time right.
    if (page == 0) {
        const QRect data = inkIn(p, QRectF(0, 0.5, 200, 6));
        QVERIFY(!data.isEmpty());
        QVERIFY2(std::abs((data.center().x() + 0.5 - p.Origin.x()) / Px - 100) < 1,
                 qPrintable(QString::number(data.center().x())));
        const QRect stamp = inkIn(p, QRectF(0, 11.5, 200, 6));
        QVERIFY(!stamp.isEmpty());
        QVERIFY(stamp.left() >= p.X(162));
    }

    // Nothing between the last row and the footer, whose page number sits in its box at the
    // foot of the printable area.
    QVERIFY(inkIn(p, QRectF(0, expected.last() + 0.5, 200, 271 - expected.last() - 0.5)).isEmpty());
    const QRect footer = inkIn(p, QRectF(0, 271, 200, 6));
    QVERIFY(!footer.isEmpty());
    QVERIFY(footer.left() >= p.X(175) && footer.right() <= p.X(200));
    QVERIFY(footer.top() >= p.Y(272) && footer.bottom() <= p.Y(276));
}

void TestRecordReport::boxTexts_data()
{
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("column");
    QTest::addColumn<char>("horizontal"); // l, c, r
    QTest::addColumn<char>("vertical");   // c, b, - (not checked)
    for (int c = 0; c < 8; ++c)
        QTest::addRow("title of column %d", c + 1) << true << c << 'c' << 'c';
    // The q of "Freq" hangs below the line, so its ink is not centred vertically.
    QTest::newRow("title of column 9") << true << 8 << 'c' << '-';
    QTest::newRow("NO.") << false << 0 << 'r' << 'b';
    const char *names[] = {"Time", "MMode", "MValue", "MUnit", "SMode", "SValue"};
    for (int c = 1; c <= 6; ++c)
        QTest::newRow(names[c - 1]) << false << c << 'c' << 'b';
    QTest::newRow("Freq") << false << 8 << 'c' << 'c';
}

void TestRecordReport::boxTexts()
{
    QFETCH(bool, header);
    QFETCH(int, column);
    QFETCH(char, horizontal);
    QFETCH(char, vertical);
    TRecordTable table;
    fill(table, 1);
    TRecordReport report;
    report.Prepare(table, Evening);
    const TPage p = drawnPage(report, 0);
    const double top = header ? 18 : 24;
    const QRectF box(ColumnEdges[column], top, ColumnEdges[column + 1] - ColumnEdges[column], 6);
    // Inside the frame lines.
    const QRect text = inkIn(p, box.adjusted(0.4, 0.4, -0.4, -0.4));
    QVERIFY(!text.isEmpty());
    const double left = text.left() - (p.Origin.x() + box.left() * Px);
    const double right = p.Origin.x() + box.right() * Px - (text.right() + 1);
    const double above = text.top() - (p.Origin.y() + box.top() * Px);
    const double below = p.Origin.y() + box.bottom() * Px - (text.bottom() + 1);
    const QByteArray gaps = QByteArray::number(left) + " " + QByteArray::number(right) + " "
                            + QByteArray::number(above) + " " + QByteArray::number(below);
    // Text keeps 2 units from the sides and 1 from the top and bottom, plus the glyphs' own
    // bearings and the frame line's half width.
    if (horizontal == 'r')
        QVERIFY2(right >= 2 && right <= 4.5 && left > right, gaps);
    if (horizontal == 'c')
        QVERIFY2(std::abs(left - right) <= 2 && left >= 2, gaps);
    if (vertical == 'b')
        QVERIFY2(below >= 2.5 && below <= 5.5 && above > below + 3, gaps);
    if (vertical == 'c')
        QVERIFY2(std::abs(above - below) <= 2.5, gaps);
}

void TestRecordReport::specialRows_data()
{
    QTest::addColumn<bool>("allNull");
    QTest::newRow("every field null: empty framed boxes") << true;
    QTest::newRow("texts too wide: kept inside their own row") << false;
}

void TestRecordReport::specialRows()
{
    QFETCH(bool, allNull);
    TRecordTable table;
    table.Append(); // row 1: nothing at all, the row above the one under test
    QVERIFY(table.Post());
    table.Append();
    if (!allNull) {
        table.Fields(F::aNO).SetValue(-2147483647 - 1);
        for (int f = F::aTime; f <= F::aFreq; ++f)
            table.Fields(f).SetAsString(QStringLiteral("WWWWWWWWWW WWWWWWWWW"));
    }
    QVERIFY(table.Post());
    TRecordReport report;
    report.Prepare(table, Evening);
    const TPage p = drawnPage(report, 0);
    // Rows start at 24 mm: the empty row, then the row under test.
    const QList<double> rules = horizontalLines(p);
    QVERIFY2(near(rules, {18, 24, 30, 36}, 0.35), describe(rules));
    QVERIFY2(near(verticalLines(p, 24, 30), ColumnEdges, 0.35), "empty row framed");
    QVERIFY2(near(verticalLines(p, 30, 36), ColumnEdges, 0.35), "row under test framed");
    // No ink inside the empty row's boxes (a wrapped text growing upwards would land there).
    for (int c = 0; c < 9; ++c) {
        const QRectF box(ColumnEdges[c], 24, ColumnEdges[c + 1] - ColumnEdges[c], 6);
        QVERIFY2(inkIn(p, box.adjusted(0.4, 0.4, -0.4, -0.4)).isEmpty(), "ink in the empty row");
        const QRect under = inkIn(p, box.translated(0, 6).adjusted(0.4, 0.4, -0.4, -0.4));
        QCOMPARE(under.isEmpty(), allNull);
    }
    QVERIFY(inkIn(p, QRectF(0, 36.4, 200, 234)).isEmpty());
}

void TestRecordReport::pdfText_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("afterPreparing");  // what happens to the table meanwhile
    QTest::addColumn<QList<QList<int>>>("pages"); // row numbers on each page
    QTest::newRow("empty table") << 0 << "" << QList<QList<int>>{{}};
    QTest::newRow("one full page") << 41 << "" << QList<QList<int>>{range(1, 41)};
    QTest::newRow("100 records") << 100 << ""
                                 << QList<QList<int>>{range(1, 41), range(42, 85), range(86, 100)};
    QTest::newRow("a row added after preparing")
        << 41 << "append" << QList<QList<int>>{range(1, 41)};
    QTest::newRow("table emptied after preparing") << 41 << "empty" << QList<QList<int>>{{}};
}

void TestRecordReport::pdfText()
{
    QFETCH(int, rows);
    QFETCH(QString, afterPreparing);
    QFETCH(QList<QList<int>>, pages);
    TRecordTable table;
    fill(table, rows);
    TRecordReport report;
    report.Prepare(table, Evening);
    if (afterPreparing == QLatin1String("append"))
        addRow(table, rows + 1);
    if (afterPreparing == QLatin1String("empty"))
        table.Empty();
    const QString file = Dir.filePath(QStringLiteral("text.pdf"));
    QString error;
    QVERIFY2(SaveReportPdf(report, file, TRecordReport::DefaultPageLayout(), &error),
             qPrintable(error));
    const int count = int(pages.size());
    QCOMPARE(PdfTools::pageCount(file), count);

    static const QRegularExpression titles(QStringLiteral(
        "NO\\.\\s+Time\\s+MMode\\s+MValue\\s+MUnit\\s+SMode\\s+SValue\\s+SUnit\\s+Freq"));
    const QString date = QLocale::system().toString(Evening.date(), QLocale::ShortFormat);
    for (int page = 0; page < count; ++page) {
        const QString text = PdfTools::pageText(file, page + 1);
        QStringList lines;
        for (const QString &line : text.split(QLatin1Char('\n')))
            lines << line.trimmed();
        QCOMPARE(lines.contains(QStringLiteral("Data")), page == 0);
        QCOMPARE(text.contains(date + QLatin1Char(' ')), page == 0);
        QCOMPARE(text.contains(QStringLiteral("21:07")), page == 0);
        QVERIFY2(titles.match(text).hasMatch(), qPrintable(text));
        QVERIFY2(lines.contains(QStringLiteral("%1/%2").arg(page + 1).arg(count)),
                 qPrintable(text));
        QCOMPARE(rowNumbers(text), pages[page]);
        if (!pages[page].isEmpty())
            QVERIFY(text.contains(QStringLiteral("Cs")) && text.contains(QStringLiteral("120Hz")));
    }
}

void TestRecordReport::pdfFileIsWholeOrUntouched_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("written");
    QTest::newRow("replaces the old file") << "save" << true;
    QTest::newRow("cancelled half-way") << "cancel" << false;
    QTest::newRow("dropped half-way") << "drop" << false;
    QTest::newRow("folder missing") << "missing folder" << false;
    QTest::newRow("target is a folder") << "folder" << false;
}

void TestRecordReport::pdfFileIsWholeOrUntouched()
{
    QFETCH(QString, how);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QByteArray old = "the report saved before";
    QString target = dir.filePath(QStringLiteral("records.pdf"));
    if (how == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("records.pdf")));
    } else if (how == QLatin1String("missing folder")) {
        target = dir.filePath(QStringLiteral("gone/records.pdf"));
    } else {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    TRecordTable table;
    fill(table, 100);
    TRecordReport report;
    report.Prepare(table, Evening);

    QString error;
    bool ok = false;
    if (how == QLatin1String("cancel") || how == QLatin1String("drop")) {
        auto pdf = std::make_unique<TReportPdfFile>(report, target);
        QVERIFY(pdf->Begin());
        QCOMPARE(pdf->PageCount(), 3);
        QVERIFY(pdf->WriteNext());
        QVERIFY(pdf->WriteNext());
        if (how == QLatin1String("cancel"))
            pdf->Cancel();
        pdf.reset();
    } else {
        ok = SaveReportPdf(report, target, TRecordReport::DefaultPageLayout(), &error);
    }
    QCOMPARE(ok, written);
    if (how != QLatin1String("cancel") && how != QLatin1String("drop"))
        QCOMPARE(error.isEmpty(), written);
    // Nothing half-written is left beside the target.
    const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QCOMPARE(left,
             how == QLatin1String("missing folder") ? QStringList() : QStringList{"records.pdf"});
    if (how == QLatin1String("folder")) {
        QVERIFY(QFileInfo(target).isDir());
    } else if (how != QLatin1String("missing folder")) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        if (written) {
            QVERIFY(bytes.startsWith("%PDF-"));
            QCOMPARE(PdfTools::pageCount(target), 3);
        } else {
            QCOMPARE(bytes, old);
        }
    }
}

// A text wider than its box: a date or a record number shrinks and stays whole, any other
// text prints on one line from its start and stops at the box's edge. Either way the ink
// stays inside the box and the PDF holds as text exactly what is seen. Run under several
// locales, whose short dates differ in width.
void TestRecordReport::widerTextsStayInTheirBoxes_data()
{
    QTest::addColumn<int>("field"); // -1: the title's date
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("whole");
    const QDate day(2026, 12, 19);
    QTest::newRow("the date, as the locale writes it")
        << -1 << QLocale::system().toString(day, QLocale::ShortFormat) << true;
    QTest::newRow("record number 1000000") << int(F::aNO) << "1000000" << true;
    QTest::newRow("the lowest record number") << int(F::aNO) << "-2147483648" << true;
    QTest::newRow("words wider than their box")
        << int(F::aMMode) << "abcde fghij klmno pq" << false;
    QTest::newRow("one long word") << int(F::aSValue) << "WWWWWWWWWWWWWWWWWWWW" << false;
}

void TestRecordReport::widerTextsStayInTheirBoxes()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(bool, whole);
    TRecordTable table;
    table.Append();
    if (field >= 0)
        QVERIFY(table.Fields(field).SetAsString(value));
    QVERIFY(table.Post());
    TRecordReport report;
    report.Prepare(table, QDateTime(QDate(2026, 12, 19), QTime(9, 5)));
    // The box in millimetres from the printable area's corner.
    const QRectF box =
        field < 0 ? QRectF(162, 12, 19, 5)
                  : QRectF(ColumnEdges[field], 24, ColumnEdges[field + 1] - ColumnEdges[field], 6);

    const TPage p = drawnPage(report, 0);
    const QRect ink = inkIn(p, box.adjusted(0.4, 0.4, -0.4, -0.4));
    QVERIFY(!ink.isEmpty());
    // Nothing of the text outside its box: the boxes beside it are empty, and so is the page
    // below the row, or around the date up to the time beside it.
    if (field >= 0) {
        for (int c = 0; c < 9; ++c)
            if (c != field)
                QVERIFY2(inkIn(p, QRectF(ColumnEdges[c], 24, ColumnEdges[c + 1] - ColumnEdges[c], 6)
                                      .adjusted(0.4, 0.4, -0.4, -0.4))
                             .isEmpty(),
                         qPrintable(QStringLiteral("ink in column %1").arg(c + 1)));
        QVERIFY2(inkIn(p, QRectF(0, 30.4, 200, 240)).isEmpty(), "ink below the row");
    } else {
        QVERIFY2(inkIn(p, QRectF(150, 17, 50, 1)).isEmpty()
                     && inkIn(p, QRectF(150, 11, 50, 1)).isEmpty()
                     && inkIn(p, QRectF(150, 12, 12, 5)).isEmpty()
                     && inkIn(p, QRectF(180.6, 12, 0.7, 5)).isEmpty(),
                 "the date runs out of its box");
    }

    const QString pdf = Dir.filePath(QStringLiteral("wide.pdf"));
    QString error;
    QVERIFY2(SaveReportPdf(report, pdf, TRecordReport::DefaultPageLayout(), &error),
             qPrintable(error));
    // The box on the sheet, a little larger, so a glyph's edge does not decide; not to the right,
    // where the time follows the date.
    const QRectF onSheet = box.translated(5, 10).adjusted(-0.5, -0.5, 0, 0.5);
    const QString shown = PdfTools::areaText(pdf, 1, onSheet).simplified();
    const QString page = PdfTools::pageText(pdf, 1);
    if (whole) {
        QCOMPARE(shown, value);
    } else {
        QVERIFY2(value.startsWith(shown) && shown.size() >= 5 && shown.size() < value.size(),
                 qPrintable(shown));
        // What does not fit is nowhere in the PDF.
        const QString rest = value.mid(shown.size()).trimmed();
        QVERIFY2(!page.contains(rest), qPrintable(page));
    }
}

QTEST_MAIN(TestRecordReport)
#include "tst_recordreport.moc"
