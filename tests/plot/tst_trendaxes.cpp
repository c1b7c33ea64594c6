// The trend's axes: clock marks that run across midnight with the new date under the first mark
// of the day, and values written in the reading's unit with an SI prefix.
#include "taxisticks.h"

#include <QtTest>

class TestTrendAxes : public QObject
{
    Q_OBJECT

private slots:
    void timeAcrossMidnight_data();
    void timeAcrossMidnight();
    void siTexts_data();
    void siTexts();
};

void TestTrendAxes::timeAcrossMidnight_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<qint64>("spanMs");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<qint64>("stepMs");
    QTest::addColumn<QStringList>("clocks"); // the first ones
    QTest::addColumn<QStringList>("dates");  // every date shown, in order

    const QDate eve(2025, 12, 31);
    const QDate day(2026, 1, 1);
    // clang-format off
    QTest::newRow("20 s") << QDateTime(eve, QTime(23, 59, 50)) << qint64(20000) << 5
                          << qint64(5000)
                          << QStringList{"23:59:50", "23:59:55", "00:00:00", "00:00:05", "00:00:10"}
                          << QStringList{"2025-12-31", "2026-01-01"};
    QTest::newRow("3 h") << QDateTime(eve, QTime(22, 10)) << qint64(3 * 3600000) << 8
                         << qint64(1800000)
                         << QStringList{"22:30:00", "23:00:00", "23:30:00", "00:00:00"}
                         << QStringList{"2025-12-31", "2026-01-01"};
    QTest::newRow("two days") << QDateTime(eve, QTime(6, 0)) << qint64(48 * 3600000) << 5
                              << qint64(12 * 3600000)
                              << QStringList{"12:00:00", "00:00:00", "12:00:00", "00:00:00"}
                              << QStringList{"2025-12-31", "2026-01-01", "2026-01-02"};
    QTest::newRow("below a second") << QDateTime(eve, QTime(23, 59, 59, 900)) << qint64(300) << 4
                                    << qint64(100)
                                    << QStringList{"23:59:59.900", "00:00:00.000", "00:00:00.100"}
                                    << QStringList{"2025-12-31", "2026-01-01"};
    QTest::newRow("after midnight") << QDateTime(day, QTime(0, 0, 3)) << qint64(4000) << 5
                                    << qint64(1000) << QStringList{"00:00:03", "00:00:04"}
                                    << QStringList{"2026-01-01"};
    // clang-format on
}

void TestTrendAxes::timeAcrossMidnight()
{
    QFETCH(QDateTime, from);
    QFETCH(qint64, spanMs);
    QFETCH(int, maxTicks);
    QFETCH(qint64, stepMs);
    QFETCH(QStringList, clocks);
    QFETCH(QStringList, dates);
    const qint64 start = from.toMSecsSinceEpoch();
    const std::vector<TTimeTick> ticks = TimeTicks(start, start + spanMs, maxTicks);
    QVERIFY(int(ticks.size()) <= maxTicks);
    QVERIFY(ticks.size() >= std::size_t(clocks.size()));
    QStringList shownDates;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const TTimeTick &t = ticks[i];
        QVERIFY(t.Ms >= start && t.Ms <= start + spanMs);
        if (i > 0)
            QCOMPARE(t.Ms - ticks[i - 1].Ms, stepMs);
        if (i < std::size_t(clocks.size()))
            QCOMPARE(t.Clock, clocks[int(i)]);
        // The local clock reads a whole step (marks of an hour on the hour, of a day at 0:00).
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(t.Ms);
        QCOMPARE(qint64(local.time().msecsSinceStartOfDay()) % std::min(stepMs, qint64(86400000)),
                 0);
        // The date stands under the first mark and under the first mark of each new day.
        const bool newDay =
            i == 0 || local.date() != QDateTime::fromMSecsSinceEpoch(ticks[i - 1].Ms).date();
        QCOMPARE(!t.Date.isEmpty(), newDay);
        if (newDay) {
            QCOMPARE(t.Date, local.date().toString(QStringLiteral("yyyy-MM-dd")));
            shownDates << t.Date;
        }
    }
    QCOMPARE(shownDates, dates);
}

void TestTrendAxes::siTexts_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("text");
    QTest::newRow("kOhm") << 4.7e3 << "Ohm"
                          << "4.7 kOhm";
    QTest::newRow("nF") << 1.234e-7 << "F"
                        << "123.4 nF";
    QTest::newRow("rounds into the next prefix") << 999.9996e-9 << "F"
                                                 << "1 uF";
    QTest::newRow("negative uH") << -2.5e-6 << "H"
                                 << "-2.5 uH";
    QTest::newRow("pF") << 4.7e-12 << "F"
                        << "4.7 pF";
    QTest::newRow("MOhm") << 2.2e6 << "Ohm"
                          << "2.2 MOhm";
    QTest::newRow("zero") << 0.0 << "F"
                          << "0 F";
    QTest::newRow("D has no unit") << 0.0123 << ""
                                   << "0.0123";
    QTest::newRow("degrees take no prefix") << 1234.5 << "deg"
                                            << "1234.5 deg";
    QTest::newRow("a status word") << qQNaN() << "F"
                                   << "-";
}

void TestTrendAxes::siTexts()
{
    QFETCH(double, value);
    QFETCH(QString, unit);
    QTEST(SiText(value, unit), "text");
}

QTEST_MAIN(TestTrendAxes)
#include "tst_trendaxes.moc"
