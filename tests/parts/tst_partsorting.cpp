#include "../support/recordrows.h"
#include "teseries.h"
#include "tmatchedsets.h"
#include "tnominal.h"
#include "tpartsummary.h"
#include "trecordtable.h"
#include "ttolerance.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::vector<double>)

using Sets = QList<QList<std::int32_t>>;
Q_DECLARE_METATYPE(Sets)

class TestPartSorting : public QObject
{
    Q_OBJECT

private slots:
    void nominals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // 0: refused
        QTest::addColumn<int>("kind");     // -1: none written
        QTest::newRow("100n") << "100n" << 100e-9 << -1;
        QTest::newRow("4.7k") << "4.7k" << 4700.0 << -1;
        QTest::newRow("470u") << "470u" << 470e-6 << -1;
        QTest::newRow("2m2") << "2m2" << 2.2e-3 << -1;
        QTest::newRow("4k7") << "4k7" << 4700.0 << -1;
        QTest::newRow("4R7") << "4R7" << 4.7 << -1;
        QTest::newRow("1M is mega") << "1M" << 1e6 << -1;
        QTest::newRow("10p") << "10p" << 10e-12 << -1;
        QTest::newRow("100nF") << "100nF" << 100e-9 << int(TUnitKind::Farad);
        QTest::newRow("4.7 kOhm") << "4.7 kOhm" << 4700.0 << int(TUnitKind::Ohm);
        QTest::newRow("10mH") << "10mH" << 10e-3 << int(TUnitKind::Henry);
        QTest::newRow("plain") << "0.0001" << 1e-4 << -1;
        QTest::newRow("exponent") << "1e-7" << 1e-7 << -1;
        QTest::newRow("comma") << "4,7k" << 4700.0 << -1;
        QTest::newRow("micro sign")
            << QString::fromUtf8("470\u00B5F") << 470e-6 << int(TUnitKind::Farad);
        QTest::newRow("empty") << "" << 0.0 << -1;
        QTest::newRow("unit alone") << "nF" << 0.0 << -1;
        QTest::newRow("two prefixes") << "4k7n" << 0.0 << -1;
        QTest::newRow("infix with point") << "4.7k3" << 0.0 << -1;
        QTest::newRow("unknown letter") << "47x" << 0.0 << -1;
        QTest::newRow("zero") << "0n" << 0.0 << -1;
        QTest::newRow("negative") << "-100n" << 0.0 << -1;
    }
    void nominals()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, kind);
        const auto n = ParseNominal(text);
        QCOMPARE(n.has_value(), value != 0);
        if (!n)
            return;
        QCOMPARE(n->Value, value);
        QCOMPARE(n->Kind ? int(*n->Kind) : -1, kind);
    }

    void eSeries_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<double>("value");
        QTest::addColumn<std::optional<double>>("nearest");
        QTest::newRow("E6 4.5n") << 6 << 4.5e-9 << std::optional(4.7e-9);
        QTest::newRow("E12 96n to 100n") << 12 << 96e-9 << std::optional(100e-9);
        QTest::newRow("E12 across the decade") << 12 << 9.3 << std::optional(10.0);
        QTest::newRow("E12 below the decade") << 12 << 1.04 << std::optional(1.0);
        QTest::newRow("E24 4.4k") << 24 << 4400.0 << std::optional(4300.0);
        QTest::newRow("E24 4.5k by ratio") << 24 << 4500.0 << std::optional(4700.0);
        QTest::newRow("E24 keeps 2.7, not 2.6") << 24 << 2.68 << std::optional(2.7);
        QTest::newRow("E24 keeps 8.2") << 24 << 8.25e-6 << std::optional(8.2e-6);
        QTest::newRow("E48 1.05") << 48 << 1.05 << std::optional(1.05);
        QTest::newRow("E96 4.99k") << 96 << 5000.0 << std::optional(4990.0);
        QTest::newRow("E192 9.20") << 192 << 9.2 << std::optional(9.2);
        QTest::newRow("E192 exact 1.01M") << 192 << 1.01e6 << std::optional(1.01e6);
        QTest::newRow("exact value stays") << 12 << 4.7e-9 << std::optional(4.7e-9);
        QTest::newRow("E7 does not exist") << 7 << 4.7 << std::optional<double>();
        QTest::newRow("zero") << 12 << 0.0 << std::optional<double>();
    }
    void eSeries()
    {
        QFETCH(int, series);
        QFETCH(double, value);
        QFETCH(std::optional<double>, nearest);
        QCOMPARE(NearestESeries(value, series), nearest);
    }

    void seriesSizes()
    {
        for (const int n : {6, 12, 24, 48, 96, 192}) {
            const auto values = ESeriesValues(n);
            QCOMPARE(int(values.size()), n);
            QVERIFY(std::is_sorted(values.begin(), values.end()));
            QCOMPARE(values.front(), 1.0);
        }
        // Each series holds the one below it.
        const auto e96 = ESeriesValues(96), e192 = ESeriesValues(192);
        for (std::size_t i = 0; i < e96.size(); ++i)
            QCOMPARE(e192[2 * i], e96[i]);
    }

    void classes_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("nominal");
        QTest::addColumn<QString>("klass");
        QTest::newRow("on nominal") << 100e-9 << 100e-9 << "0.5 %";
        QTest::newRow("+0.5 % exactly") << 100.5e-9 << 100e-9 << "0.5 %";
        QTest::newRow("-0.5 % exactly") << 99.5e-9 << 100e-9 << "0.5 %";
        QTest::newRow("just past 0.5 %") << 100.51e-9 << 100e-9 << "1 %";
        QTest::newRow("+1 % exactly") << 101e-9 << 100e-9 << "1 %";
        QTest::newRow("-1 % exactly") << 99e-9 << 100e-9 << "1 %";
        QTest::newRow("+1 % exactly, 4.7k") << 4747.0 << 4700.0 << "1 %";
        QTest::newRow("-1 % exactly, 2.2u") << 2.178e-6 << 2.2e-6 << "1 %";
        QTest::newRow("+2 % exactly, 330u") << 336.6e-6 << 330e-6 << "2 %";
        QTest::newRow("+5 % exactly, 68n") << 71.4e-9 << 68e-9 << "5 %";
        QTest::newRow("-10 % exactly, 47u") << 42.3e-6 << 47e-6 << "10 %";
        QTest::newRow("+20 % exactly, 10") << 12.0 << 10.0 << "20 %";
        QTest::newRow("-20 % exactly, 1.5k") << 1200.0 << 1500.0 << "20 %";
        QTest::newRow("just above 20 %") << 120.01e-9 << 100e-9 << "above";
        QTest::newRow("just below -20 %") << 79.99e-9 << 100e-9 << "below";
        QTest::newRow("one count past 1 %") << 101.01e-9 << 100e-9 << "2 %";
    }
    void classes()
    {
        QFETCH(double, value);
        QFETCH(double, nominal);
        QFETCH(QString, klass);
        TPartSummary names;
        names.Classes = DefaultToleranceClasses();
        QCOMPARE(ClassName(names, ToleranceClassOf(value, nominal, names.Classes)), klass);
    }

    void classLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::vector<double>>("classes");
        QTest::newRow("sorted") << "0.5,1,2" << std::vector<double>{0.5, 1, 2};
        QTest::newRow("any order, percent signs") << "5%, 1 %,10" << std::vector<double>{1, 5, 10};
        QTest::newRow("empty") << "" << std::vector<double>{};
        QTest::newRow("zero") << "0,1" << std::vector<double>{};
        QTest::newRow("twice") << "1,1" << std::vector<double>{};
        QTest::newRow("word") << "1,tight" << std::vector<double>{};
    }
    void classLists()
    {
        QFETCH(QString, text);
        QFETCH(std::vector<double>, classes);
        QCOMPARE(ParseToleranceClasses(text).value_or(std::vector<double>{}), classes);
    }

    void matchedSets_data()
    {
        QTest::addColumn<QList<double>>("values"); // record n holds values[n - 1]
        QTest::addColumn<int>("k");
        QTest::addColumn<double>("within");
        QTest::addColumn<Sets>("sets");
        const QList<double> batch = {100.0, 101.2, 100.3, 99.1, 100.25, 98.0, 101.0, 100.31};
        QTest::newRow("pairs within 0.5 %") << batch << 2 << 0.5 << Sets{{3, 8}, {7, 2}, {1, 5}};
        QTest::newRow("pairs within 0.1 %") << batch << 2 << 0.1 << Sets{{3, 8}};
        QTest::newRow("triples within 0.5 %") << batch << 3 << 0.5 << Sets{{5, 3, 8}};
        QTest::newRow("triples within 1.5 %") << batch << 3 << 1.5 << Sets{{5, 3, 8}, {1, 7, 2}};
        // Taking the tightest pair (2, 3) leaves 1 and 4 as neighbours, which then pair up.
        QTest::newRow("neighbours joined after a set")
            << QList<double>{100.0, 100.2, 100.21, 100.4} << 2 << 0.5 << Sets{{2, 3}, {1, 4}};
        QTest::newRow("exactly at the limit")
            << QList<double>{100.0, 100.5} << 2 << 0.5 << Sets{{1, 2}};
        QTest::newRow("none close") << QList<double>{1.0, 2.0, 4.0} << 2 << 0.5 << Sets{};
        QTest::newRow("negative values never match")
            << QList<double>{-1.0, -1.0, 1.0} << 2 << 0.5 << Sets{};
        QTest::newRow("ties in record order")
            << QList<double>{5.0, 5.0, 5.0, 5.0} << 2 << 0.5 << Sets{{1, 2}, {3, 4}};
    }
    void matchedSets()
    {
        QFETCH(QList<double>, values);
        QFETCH(int, k);
        QFETCH(double, within);
        QFETCH(Sets, sets);
        std::vector<TPartValue> parts;
        for (int i = 0; i < values.size(); ++i)
            parts.push_back({values[i] * 1e-9, i + 1, i});
        Sets got;
        double lastSpread = -1;
        for (const TMatchedSet &s : FindMatchedSets(parts, k, within)) {
            got.append(s.Records);
            QVERIFY(s.SpreadPercent >= lastSpread); // tightest first
            lastSpread = s.SpreadPercent;
        }
        QCOMPARE(got, sets);
    }

    // Each typed nominal goes to the groups of one quantity; the others keep their own.
    void nominalsPerQuantity_data()
    {
        QTest::addColumn<QStringList>("rows");     // "mode value unit", one a row
        QTest::addColumn<QStringList>("nominals"); // as typed, in order
        QTest::addColumn<QStringList>("shown");    // "group: nominal", "(E12)" when automatic
        QTest::addColumn<QStringList>("unmatched");
        const QStringList batch = {"Cs 100.1 nF", "Cs 99.8 nF", "Rs 4.71 KOhm", "Rs 4.69 KOhm"};
        QTest::newRow("100n is for the capacitors, not the resistors")
            << batch << QStringList{"100n"}
            << QStringList{"Cs [F]: 100 nF", "Rs [Ohm]: 4.7 kOhm (E12)"} << QStringList{};
        QTest::newRow("one for each")
            << batch << QStringList{"100n", "4.75k"}
            << QStringList{"Cs [F]: 100 nF", "Rs [Ohm]: 4.75 kOhm"} << QStringList{};
        QTest::newRow("a unit says which")
            << batch << QStringList{"4.7kOhm"}
            << QStringList{"Cs [F]: 100 nF (E12)", "Rs [Ohm]: 4.7 kOhm"} << QStringList{};
        // 2m2 could be farads or henries: the inductors' median lies nearer.
        QTest::newRow("the nearer of two quantities")
            << QStringList{"Cs 100.1 nF", "Ls 2.21 mH", "Ls 2.19 mH"} << QStringList{"2m2"}
            << QStringList{"Ls [H]: 2.2 mH", "Cs [F]: 100 nF (E12)"} << QStringList{};
        QTest::newRow("series and parallel alike")
            << QStringList{"Cs 100.1 nF", "Cp 100.2 nF"} << QStringList{"101n"}
            << QStringList{"Cs [F]: 101 nF", "Cp [F]: 101 nF"} << QStringList{};
        QTest::newRow("no parts in henries")
            << batch << QStringList{"100nH"}
            << QStringList{"Cs [F]: 100 nF (E12)", "Rs [Ohm]: 4.7 kOhm (E12)"}
            << QStringList{"100nH is for parts in henries, and there are none; the parts are "
                           "Cs [F], Rs [Ohm]"};
        QTest::newRow("no parts the meter shows in nano")
            << QStringList{"Rs 4.71 KOhm"} << QStringList{"100n"}
            << QStringList{"Rs [Ohm]: 4.7 kOhm (E12)"}
            << QStringList{"100n is for parts in farads, and there are none; the parts are "
                           "Rs [Ohm]"};
        QTest::newRow("a second for the same quantity")
            << batch << QStringList{"100n", "220n"}
            << QStringList{"Cs [F]: 100 nF", "Rs [Ohm]: 4.7 kOhm (E12)"}
            << QStringList{"220n is for the parts in farads, which have the nominal 100 nF; the "
                           "parts are Cs [F], Rs [Ohm]"};
        QTest::newRow("nothing measured yet")
            << QStringList{} << QStringList{"100nH"} << QStringList{} << QStringList{};
    }
    void nominalsPerQuantity()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, nominals);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, unmatched);
        TPartStatistics stats;
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList f = rows[r].split(' ');
            stats.AddRow(f[0].toUtf8(), f[1].toUtf8(), f[2].toUtf8(), r + 1, r);
        }
        TSummaryOptions options;
        for (const QString &text : nominals)
            options.Nominals.push_back(*ParseNominal(text));
        const TPartSummary summary = Summarize(stats, options);
        QStringList got;
        for (const TGroupSummary &g : summary.Groups)
            got << GroupTitle(g) + QStringLiteral(": ") + FormatSi(g.Nominal, g.Kind)
                       + (g.NominalTyped ? QString() : QStringLiteral(" (E%1)").arg(g.Series));
        QCOMPARE(got, shown);
        QStringList told;
        for (const TNominal &n : summary.UnmatchedNominals)
            told << UnmatchedNominalText(summary, n);
        QCOMPARE(told, unmatched);
    }

    // After an Open the table holds a reading and its own copy under one number: a set names
    // them by their rows, which the grid shows, and their number where it differs.
    void setsNameTheirRows_data()
    {
        QTest::addColumn<QList<int>>("numbers"); // aNO of each row
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("rows"); // of the set, 0-based
        QTest::newRow("recorded") << QList<int>{1, 2, 3} << "1, 3" << QList<int>{0, 2};
        QTest::newRow("opened twice")
            << QList<int>{1, 2, 1, 2} << "1, 3 (record 1)" << QList<int>{0, 2};
        QTest::newRow("numbers of a file")
            << QList<int>{67, 90, 67} << "1 (record 67), 3 (record 67)" << QList<int>{0, 2};
    }
    void setsNameTheirRows()
    {
        QFETCH(QList<int>, numbers);
        QFETCH(QString, text);
        QFETCH(QList<int>, rows);
        // Rows 0 and 2 read alike; the others lie far off, and from each other.
        TRecordTable table;
        RecordRows records;
        for (int r = 0; r < numbers.size(); ++r)
            records << recordRow(QByteArray::number(numbers[r]),
                                 {"2026-12-08 09:05:07", "Cs",
                                  r % 2 ? QByteArray::number(100 + 50 * r) : "100.0", "nF"});
        appendRows(table, records);
        TPartStatistics stats;
        stats.AddTable(table);
        const TPartSummary summary = Summarize(stats, {});
        QCOMPARE(summary.Groups.size(), std::size_t(1));
        const std::vector<TMatchedSet> &sets = summary.Groups[0].Sets;
        QCOMPARE(sets.size(), std::size_t(1));
        QCOMPARE(SetRowsText(sets[0]), text);
        QCOMPARE(QList<int>(sets[0].Rows.begin(), sets[0].Rows.end()), rows);
        QVERIFY(SummaryText(summary).contains(QStringLiteral("rows ") + text));
    }
};

QTEST_GUILESS_MAIN(TestPartSorting)
#include "tst_partsorting.moc"
