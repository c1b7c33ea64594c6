// The trend chart's page arithmetic, over a headless chart that keeps its points in the same
// store as the window's chart and scrolls with the same limit check.
#include "../support/headlesschart.h"
#include "tchartcontrol.h"

#include <QtTest>

namespace {

// Runs a script of tool-bar moves on the controller: "F" first, "P" prior, "N" next, "L" last,
// "C" clear, "S<n>" page size, "+<n>" n readings. Returns what the last step returned (the
// current page for steps that return nothing).
int run(TChartControl &control, const QString &script)
{
    int last = control.CurrentPage();
    for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QChar op = step.front();
        const int n = step.mid(1).toInt();
        if (op == QLatin1Char('F'))
            last = control.FirstPage();
        else if (op == QLatin1Char('P'))
            last = control.PriorPage();
        else if (op == QLatin1Char('N'))
            last = control.NextPage();
        else if (op == QLatin1Char('L'))
            last = control.LastPage();
        else if (op == QLatin1Char('C'))
            last = control.Clear();
        else if (op == QLatin1Char('S')) {
            control.SetPageSize(n);
            last = control.CurrentPage();
        } else if (op == QLatin1Char('+')) {
            for (int i = 0; i < n; ++i)
                last = control.AddPoint(i % 7);
        } else
            qFatal("bad step %s", qPrintable(step));
    }
    return last;
}

} // namespace

class TestChartControl : public QObject
{
    Q_OBJECT

private slots:
    void startsOnPageOneWithTheZeroPoint();
    void paging_data();
    void paging();
    void readingsLandAtTheirNumber();
    void pageSizeBelowOneIsRefused();
    void valueAxis_data();
    void valueAxis();
    void storeKeepsEveryValue();
};

void TestChartControl::startsOnPageOneWithTheZeroPoint()
{
    THeadlessChart chart;
    TChartControl control(chart, 100);
    QCOMPARE(control.CurrentPage(), 1);
    QCOMPARE(control.PageCount(), 1);
    QCOMPARE(control.PageSize(), 100);
    QVERIFY(!control.Browsing());
    QCOMPARE(chart.Min, 1.0);
    QCOMPARE(chart.Max, 100.0);
    QCOMPARE(chart.Points.count(), 1);
    QCOMPARE(chart.Points.at(0), 0.0);
}

void TestChartControl::paging_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("returned");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<bool>("browsing");

    // The zero point counts: after k pages of readings the page number runs one ahead of the
    // view until the next reading crosses the edge.
    QTest::newRow("1 reading") << 100 << "+1" << 1 << 1 << 100 << 1 << false;
    QTest::newRow("99 readings") << 100 << "+99" << 1 << 1 << 100 << 1 << false;
    QTest::newRow("100 readings") << 100 << "+100" << 2 << 1 << 100 << 2 << false;
    QTest::newRow("101 readings") << 100 << "+101" << 2 << 101 << 200 << 2 << false;
    QTest::newRow("200 readings") << 100 << "+200" << 3 << 101 << 200 << 3 << false;
    QTest::newRow("201 readings") << 100 << "+201" << 3 << 201 << 300 << 3 << false;
    QTest::newRow("page size 7, 15 readings") << 7 << "+15" << 3 << 15 << 21 << 3 << false;

    QTest::newRow("first on page 5") << 100 << "+450 F" << 1 << 1 << 100 << 5 << true;
    QTest::newRow("readings while browsing stay put")
        << 100 << "+450 F +120" << 1 << 1 << 100 << 6 << true;
    QTest::newRow("last resumes following")
        << 100 << "+450 F +120 L" << 6 << 501 << 600 << 6 << false;
    QTest::newRow("followed after last")
        << 100 << "+450 F +120 L +31" << 7 << 601 << 700 << 7 << false;
    QTest::newRow("first on page 1") << 100 << "+50 F" << 1 << 1 << 100 << 1 << false;
    QTest::newRow("prior on page 1") << 100 << "+150 F P" << 1 << 1 << 100 << 2 << true;
    QTest::newRow("prior twice from page 3") << 100 << "+250 P P" << 1 << 1 << 100 << 3 << true;
    QTest::newRow("next on the last page") << 100 << "+250 N" << 3 << 201 << 300 << 3 << false;
    QTest::newRow("last on the last page") << 100 << "+250 L" << 3 << 201 << 300 << 3 << false;
    QTest::newRow("next from the second-last page")
        << 100 << "+250 P N" << 3 << 201 << 300 << 3 << false;
    QTest::newRow("following again after next")
        << 100 << "+250 P N +60" << 4 << 301 << 400 << 4 << false;
    QTest::newRow("next from an earlier page") << 100 << "+450 F N" << 2 << 101 << 200 << 5 << true;
    QTest::newRow("still browsing after readings")
        << 100 << "+450 F N +100" << 2 << 101 << 200 << 6 << true;

    QTest::newRow("230 readings, page size 50")
        << 100 << "+230 S50" << 5 << 201 << 250 << 5 << false;
    QTest::newRow("page size 50, next reading")
        << 100 << "+230 S50 +1" << 5 << 201 << 250 << 5 << false;
    QTest::newRow("page size 7 after browsing")
        << 100 << "+230 F S7" << 33 << 225 << 231 << 33 << false;
    QTest::newRow("page size beyond the readings")
        << 100 << "+230 S1000" << 1 << 1 << 1000 << 1 << false;
    QTest::newRow("same page size leaves browsing")
        << 100 << "+230 F S100" << 1 << 1 << 100 << 3 << true;

    QTest::newRow("clear on page 5") << 100 << "+450 C" << 1 << 1 << 100 << 5 << false;
    // Until the next reading the old page count stands, so Next and Last move the number while
    // the view, with no points beyond it, stays on page 1.
    QTest::newRow("next in the gap after clear") << 100 << "+450 C N" << 2 << 1 << 100 << 5 << true;
    QTest::newRow("last in the gap after clear")
        << 100 << "+450 C L" << 5 << 1 << 100 << 5 << false;
    QTest::newRow("reading after clear and last")
        << 100 << "+450 C L +1" << 1 << 1 << 100 << 1 << false;
    QTest::newRow("clear while browsing")
        << 100 << "+450 F N N C +1" << 1 << 1 << 100 << 1 << false;
}

void TestChartControl::paging()
{
    QFETCH(int, pageSize);
    QFETCH(QString, script);
    THeadlessChart chart;
    TChartControl control(chart, pageSize);

    QTEST(run(control, script), "returned");
    QTEST(int(chart.Min), "min");
    QTEST(int(chart.Max), "max");
    QTEST(control.PageCount(), "pageCount");
    QTEST(control.Browsing(), "browsing");
}

void TestChartControl::readingsLandAtTheirNumber()
{
    THeadlessChart chart;
    TChartControl control(chart, 100);
    for (int i = 1; i <= 450; ++i)
        control.AddPoint(i * 0.5);
    QCOMPARE(chart.Points.count(), 451);
    QCOMPARE(chart.Points.at(1), 0.5);
    QCOMPARE(chart.Points.at(450), 225.0);

    // Cleared, the series holds the zero point alone and the next reading is X = 1 again.
    control.Clear();
    QCOMPARE(chart.Points.count(), 1);
    QCOMPARE(chart.Points.at(0), 0.0);
    control.AddPoint(123.4);
    QCOMPARE(chart.Points.count(), 2);
    QCOMPARE(chart.Points.at(1), 123.4);
}

void TestChartControl::pageSizeBelowOneIsRefused()
{
    THeadlessChart chart;
    TChartControl zero(chart, 0);
    QCOMPARE(zero.PageSize(), 1);
    QCOMPARE(zero.AddPoint(1.0), 2);
    QCOMPARE(chart.Max, 1.0);
    zero.SetPageSize(-5);
    QCOMPARE(zero.PageSize(), 1);
    QCOMPARE(zero.AddPoint(2.0), 3);
    QCOMPARE(chart.Min, 2.0);
}

void TestChartControl::valueAxis_data()
{
    QTest::addColumn<QString>("script"); // "m<v>" SetAxisMin, "M<v>" SetAxisMax
    QTest::addColumn<QString>("calls");

    QTest::newRow("worked frame") << "m-2000 M2000"
                                  << "min-2000 max2000";
    QTest::newRow("the same maximum again") << "m-2000 M2000 m-2000 M2000"
                                            << "min-2000 max2000";
    QTest::newRow("range change") << "m-2000 M2000 m-200 M200"
                                  << "min-2000 max2000 min-200 max200";
    // Both limits start at 0, so a first frame of full scale 0 leaves the axis alone.
    QTest::newRow("full scale 0 first") << "m0 M0"
                                        << "";
    QTest::newRow("back to a limit held before") << "M20 M200 M20"
                                                 << "max20 max200 max20";
}

void TestChartControl::valueAxis()
{
    QFETCH(QString, script);
    THeadlessChart chart;
    TChartControl control(chart, 100);
    for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step.front() == QLatin1Char('m'))
            control.SetAxisMin(step.mid(1).toDouble());
        else
            control.SetAxisMax(step.mid(1).toDouble());
    }
    QStringList calls;
    for (const auto &[which, value] : chart.LeftCalls)
        calls << which + QString::number(value);
    QTEST(calls.join(QLatin1Char(' ')), "calls");
}

void TestChartControl::storeKeepsEveryValue()
{
    TChartPoints points;
    QVERIFY(!points.hasXAbove(-1) && !points.hasXBelow(1));
    const qsizetype n = 3 * TChartPoints::ChunkSize + 5;
    for (qsizetype i = 0; i < n; ++i)
        points.append(double(i) * 0.25);
    QCOMPARE(points.count(), n);
    for (qsizetype i : {qsizetype(0), TChartPoints::ChunkSize - 1, TChartPoints::ChunkSize,
                        2 * TChartPoints::ChunkSize + 1, n - 1})
        QCOMPARE(points.at(i), double(i) * 0.25);
    QVERIFY(points.hasXAbove(double(n - 2)));
    QVERIFY(!points.hasXAbove(double(n - 1)));
    QVERIFY(points.hasXBelow(0.5));
    QVERIFY(!points.hasXBelow(0.0));
    // Eight bytes a point, give or take the last chunk's spare room.
    QVERIFY(points.capacityBytes()
            <= (n + TChartPoints::ChunkSize) * qsizetype(sizeof(double)) + 256);
    points.clear();
    QCOMPARE(points.count(), 0);
    points.append(9.0);
    QCOMPARE(points.at(0), 9.0);
}

QTEST_GUILESS_MAIN(TestChartControl)
#include "tst_chartcontrol.moc"
