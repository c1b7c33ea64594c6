#include "tlivestatistics.h"
#include "tpartstatistics.h"
#include "tpartsummary.h"
#include "trecordtable.h"

#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <cmath>

namespace {

// One row's main reading as the record table holds it.
struct Row
{
    const char *Mode;
    const char *Value;
    const char *Unit;
};
using Rows = QList<Row>;

void appendRows(TRecordTable &table, const Rows &rows)
{
    for (const Row &r : rows) {
        table.Append();
        table.Fields(TRecordTable::aNO).SetValue(int(table.RecordCount() + 1));
        table.Fields(TRecordTable::aMMode).SetAsString(QString::fromUtf8(r.Mode));
        table.Fields(TRecordTable::aMValue).SetAsString(QString::fromUtf8(r.Value));
        table.Fields(TRecordTable::aMUnit).SetAsString(QString::fromUtf8(r.Unit));
        table.Post();
    }
}

// The expected figures of one group, worked out apart from the code under test: values read
// with strtold from "<digits>e<exponent>" texts, a two-pass mean and variance in long double.
struct Expected
{
    QByteArray Mode;
    qint64 Count = 0;
    long double Mean = 0, Sd = 0, Min = 0, Max = 0, Median = 0;
};

long double longValue(const Row &r)
{
    static const QHash<QByteArray, int> exponents = {
        {"pF", -12}, {"nF", -9}, {"uF", -6}, {"mF", -3},  {"uH", -6},
        {"mH", -3},  {"H", 0},   {"Ohm", 0}, {"KOhm", 3}, {"MOhm", 6}};
    const QByteArray text = QByteArray(r.Value) + 'e' + QByteArray::number(exponents.value(r.Unit));
    return std::strtold(text.constData(), nullptr);
}

Expected expectedOf(const QByteArray &mode, const Rows &rows)
{
    Expected e;
    e.Mode = mode;
    std::vector<long double> v;
    for (const Row &r : rows)
        v.push_back(longValue(r));
    e.Count = qint64(v.size());
    long double sum = 0;
    for (const auto x : v)
        sum += x;
    e.Mean = sum / v.size();
    long double ss = 0;
    for (const auto x : v)
        ss += (x - e.Mean) * (x - e.Mean);
    e.Sd = v.size() > 1 ? std::sqrt(ss / (v.size() - 1)) : 0;
    std::sort(v.begin(), v.end());
    e.Min = v.front();
    e.Max = v.back();
    e.Median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    return e;
}

bool close(double got, long double want, long double relative = 1e-12L)
{
    return std::fabs((long double)got - want) <= relative * std::max(std::fabs(want), 1e-30L);
}

} // namespace

Q_DECLARE_METATYPE(Rows)

class TestPartStatistics : public QObject
{
    Q_OBJECT

private slots:
    void groups_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QByteArrayList>("modes"); // groups, largest first
        QTest::addColumn<qint64>("nonNumbers");

        QTest::newRow("one part") << Rows{{"Cs", "100.2", "nF"}} << QByteArrayList{"Cs"}
                                  << qint64(0);
        QTest::newRow("odd batch") << Rows{{"Cs", "100.2", "nF"},
                                           {"Cs", "99.87", "nF"},
                                           {"Cs", "101.4", "nF"},
                                           {"Cs", "98.05", "nF"},
                                           {"Cs", "100.0", "nF"}}
                                   << QByteArrayList{"Cs"} << qint64(0);
        QTest::newRow("even batch, units mixed") << Rows{{"Cs", ".1002", "uF"},
                                                         {"Cs", "99.87", "nF"},
                                                         {"Cs", "101400", "pF"},
                                                         {"Cs", "98.05", "nF"}}
                                                 << QByteArrayList{"Cs"} << qint64(0);
        QTest::newRow("near-equal values, cancellation") << Rows{{"Rs", "10000.1", "Ohm"},
                                                                 {"Rs", "10000.2", "Ohm"},
                                                                 {"Rs", "10000.3", "Ohm"},
                                                                 {"Rs", "10000.4", "Ohm"},
                                                                 {"Rs", "10.0005", "KOhm"}}
                                                         << QByteArrayList{"Rs"} << qint64(0);
        QTest::newRow("modes apart, status words apart")
            << Rows{{"Cs", "100.2", "nF"}, {"Cp", "98.1", "nF"}, {"Cs", "OPEN", "nF"},
                    {"Ls", "4.70", "mH"},  {"Cs", "99.9", "nF"}, {"Cs", "OL", ""},
                    {"Cp", "97.7", "nF"},  {"Cs", "-", ""},      {"Cs", "101.0", "nF"},
                    {"Ls", "4.72", "mH"},  {"Cp", "98.4", "nF"}, {"Cs", "", ""},
                    {"Cs", "100.5", "nF"}}
            << QByteArrayList{"Cs", "Cp", "Ls"} << qint64(4);
        QTest::newRow("one mode, two kinds")
            << Rows{{"Rs", "1.5", "KOhm"}, {"Rs", "2.2", "%"}, {"Rs", "1.6", "KOhm"}}
            << QByteArrayList{"Rs", "Rs"} << qint64(0);
        QTest::newRow("nothing but status words")
            << Rows{{"Cs", "OL", ""}, {"Cs", "OPEN", "nF"}} << QByteArrayList{} << qint64(2);
    }
    void groups()
    {
        QFETCH(Rows, rows);
        QFETCH(QByteArrayList, modes);
        QFETCH(qint64, nonNumbers);
        TRecordTable table;
        appendRows(table, rows);
        TPartStatistics stats;
        stats.AddTable(table);
        const TPartSummary summary = Summarize(stats, {});
        QCOMPARE(summary.Rows, qint64(rows.size()));
        QCOMPARE(summary.NonNumberRows, nonNumbers);
        QCOMPARE(int(summary.Groups.size()), modes.size());
        for (std::size_t i = 0; i < summary.Groups.size(); ++i) {
            const TGroupSummary &g = summary.Groups[i];
            QCOMPARE(g.Mode.toUtf8(), modes[int(i)]);
            const QString unit = UnitKindText(g.Kind);
            Rows mine;
            for (const Row &r : rows) {
                const auto b = BaseValue(QByteArrayView(r.Value), QByteArrayView(r.Unit), ".");
                if (b && b->Kind == g.Kind && QByteArray(r.Mode) == modes[int(i)])
                    mine.append(r);
            }
            const Expected e = expectedOf(modes[int(i)], mine);
            QCOMPARE(g.Count, e.Count);
            QVERIFY2(close(g.Mean, e.Mean), qPrintable(QString::number(g.Mean, 'g', 17)));
            QVERIFY2(close(g.Sd, e.Sd, 1e-9L), qPrintable(QString::number(g.Sd, 'g', 17)));
            QVERIFY(close(g.Min, e.Min));
            QVERIFY(close(g.Max, e.Max));
            QVERIFY2(close(g.Median, e.Median), qPrintable(QString::number(g.Median, 'g', 17)));
            QVERIFY(close(g.SpreadPercent, (e.Max - e.Min) / e.Mean * 100, 1e-9L));
        }
    }

    // Statistics over the grid's selection take only those rows, with their own record numbers.
    void selectedRows()
    {
        TRecordTable table;
        appendRows(table, {{"Cs", "100.0", "nF"},
                           {"Cs", "200.0", "nF"},
                           {"Cs", "OL", ""},
                           {"Cs", "104.0", "nF"},
                           {"Cs", "300.0", "nF"}});
        TPartStatistics stats;
        const qsizetype rows[] = {0, 2, 3};
        stats.AddRows(table, rows);
        QCOMPARE(stats.Rows(), qint64(3));
        QCOMPARE(stats.NonNumberRows(), qint64(1));
        QCOMPARE(stats.Groups().size(), std::size_t(1));
        QCOMPARE(stats.Groups()[0].Running.Mean(), 102e-9);
        QCOMPARE(stats.Groups()[0].Parts[1].Record, 4);
    }

    // Rows read under a comma locale count as numbers with the comma, not with the point.
    void decimalComma()
    {
        TRecordTable table;
        appendRows(table, {{"Cs", "100,5", "nF"}, {"Cs", "99,5", "nF"}, {"Cs", "99.5", "nF"}});
        TPartStatistics stats(",");
        stats.AddTable(table);
        QCOMPARE(stats.NonNumberRows(), qint64(1));
        QCOMPARE(stats.Groups()[0].Running.Mean(), 100e-9);
    }

    // Rows posted while a live view follows the table are counted once each; a Clear starts
    // again from nothing; the summary comes through Changed, not per row.
    void live()
    {
        TRecordTable table;
        appendRows(table, {{"Cs", "100.0", "nF"}});
        TLiveStatistics live(table, ".");
        QCOMPARE(live.Summary().Groups.at(0).Count, qint64(1));
        QSignalSpy changed(&live, &TLiveStatistics::Changed);
        for (int i = 0; i < 500; ++i)
            appendRows(table, {{"Cs", i % 2 ? "101.0" : "99.0", "nF"}});
        QCOMPARE(live.Statistics().Groups()[0].Running.Count(), qint64(501));
        QVERIFY(changed.wait());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(live.Summary().Groups.at(0).Count, qint64(501));
        QCOMPARE(live.Summary().Groups.at(0).Median, 100e-9);

        table.DisableControls(); // rows reported in one block count the same
        appendRows(table, {{"Cs", "OPEN", ""}, {"Cs", "100.0", "nF"}});
        table.EnableControls();
        QVERIFY(changed.wait());
        QCOMPARE(live.Summary().Groups.at(0).Count, qint64(502));
        QCOMPARE(live.Summary().NonNumberRows, qint64(1));

        table.Empty();
        QVERIFY(changed.wait());
        QVERIFY(live.Summary().Groups.empty());
        QCOMPARE(live.Summary().Rows, qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestPartStatistics)
#include "tst_partstatistics.moc"
