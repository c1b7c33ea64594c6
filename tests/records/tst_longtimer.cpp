#include "tlongtimer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <limits>

namespace {

// Moments (ms since clock) at which the timer fired.
struct Ticks : QObject
{
    Ticks(TLongTimer *timer)
    {
        clock.start();
        QObject::connect(timer, &TLongTimer::timeout, this, [this] { at << clock.elapsed(); });
    }
    QElapsedTimer clock;
    QList<qint64> at;
};

} // namespace

class TestLongTimer : public QObject
{
    Q_OBJECT

private slots:
    // Intervals a QTimer holds run on it as they are; longer ones start a chain aimed at the
    // whole interval. Checked on the plan, without waiting weeks.
    void planOfLongIntervals_data()
    {
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<int>("firstPeriod");
        QTest::addColumn<bool>("chained");
        const int most = std::numeric_limits<int>::max();
        QTest::newRow("1 s") << qint64(1000) << 1000 << false;
        QTest::newRow("2,147,483 s") << qint64(2147483000) << 2147483000 << false;
        QTest::newRow("2,147,484 s") << qint64(2147484000) << most << true;
        QTest::newRow("3e6 s") << qint64(3000000000) << most << true;
        QTest::newRow("99,999,999 s") << qint64(99999999000) << most << true;
    }
    void planOfLongIntervals()
    {
        QFETCH(qint64, interval);
        QFETCH(int, firstPeriod);
        QFETCH(bool, chained);
        QTimer timer;
        timer.setInterval(1000);
        auto *chain = new TLongTimer(&timer);
        chain->SetInterval(interval);
        QCOMPARE(chain->Interval(), interval);
        QVERIFY(!timer.isActive());
        QCOMPARE(chain->RemainingTime(), qint64(-1));
        chain->SetEnabled(true);
        QVERIFY(chain->IsActive());
        QCOMPARE(timer.interval(), firstPeriod);
        QCOMPARE(timer.timerType(), Qt::PreciseTimer); // never early, never rounded
        QCOMPARE(timer.interval() != interval, chained);
        const qint64 left = chain->RemainingTime();
        QVERIFY2(left <= interval && left > interval - 1000, qPrintable(QString::number(left)));
        chain->SetEnabled(false);
        QVERIFY(!timer.isActive());
    }

    // The chain fires once per interval, never early, and does not drift.
    void chainServesTheWholeInterval()
    {
        QTimer timer;
        auto *chain = new TLongTimer(&timer, 40); // 150 ms served as 40 + 40 + 40 + 30
        Ticks ticks(chain);
        chain->SetInterval(150);
        chain->SetEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(ticks.at.size(), 4, 2000);
        chain->SetEnabled(false);
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(ticks.at[i] >= 150 * (i + 1), qPrintable(QString::number(ticks.at[i])));
            QVERIFY2(ticks.at[i] < 150 * (i + 1) + 100, qPrintable(QString::number(ticks.at[i])));
        }
    }

    // A changed interval counts from the change; the same interval again changes nothing, nor
    // does starting a running timer.
    void changesRestartOnlyWhenTheyChange_data()
    {
        QTest::addColumn<qint64>("maxPeriod");
        QTest::newRow("one period") << qint64(std::numeric_limits<int>::max());
        QTest::newRow("chained") << qint64(70);
    }
    void changesRestartOnlyWhenTheyChange()
    {
        QFETCH(qint64, maxPeriod);
        QTimer timer;
        auto *chain = new TLongTimer(&timer, maxPeriod);
        Ticks ticks(chain);
        QObject events; // ends the timers below with this function
        qsizetype ticksWhenRestartWasDue = -1;
        qint64 changedAt = -1;
        chain->SetInterval(400);
        chain->SetEnabled(true);
        // Halfway through, the same interval again and a start of the running timer.
        QTimer::singleShot(200, Qt::PreciseTimer, &events, [&] {
            chain->SetInterval(400);
            chain->SetEnabled(true);
        });
        // Where a restart would have put the tick: the tick must have come by then. One event
        // loop serves these timers in the order of their deadlines, so a busy machine delays
        // them alike and keeps that order. It is also 200 ms into the second interval, where
        // the interval changes.
        QTimer::singleShot(600, Qt::PreciseTimer, &events, [&] {
            ticksWhenRestartWasDue = ticks.at.size();
            changedAt = ticks.clock.elapsed();
            chain->SetInterval(300);
        });
        QTRY_VERIFY_WITH_TIMEOUT(changedAt >= 0, 5000);
        QCOMPARE(ticksWhenRestartWasDue, 1);
        QTRY_COMPARE_WITH_TIMEOUT(ticks.at.size(), 2, 5000);
        QVERIFY2(ticks.at[1] >= changedAt + 300, qPrintable(QString::number(ticks.at[1])));
        chain->SetEnabled(false);
    }
};

QTEST_GUILESS_MAIN(TestLongTimer)
#include "tst_longtimer.moc"
