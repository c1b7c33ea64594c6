#include "tsettlerule.h"

#include <QtTest>

namespace {

// One display of the meter as the rule sees it: a capacitance in nF with one decimal (a count
// is 0.1 nF), or a status word. Displays come every 500 ms unless a step says otherwise.
struct Step
{
    double Nf = 0;  // ignored unless Status is 0
    int Status = 0; // 0 number, 2 dashes, 3 OL, 9 OPEN; -1: status 0 without a number
    int Frames = 1; // the same display this many times
    bool Hold = false;
    bool Relative = false;
};
using Steps = QList<Step>;

constexpr int OPEN = 9, OL = 3, DASHES = 2, NONUMBER = -1;

// The times (ms) at which the rule said "record now".
QList<qint64> run(const Steps &steps, const TSettleOptions &options = {})
{
    TSettleRule rule(options);
    QList<qint64> recorded;
    qint64 t = 0;
    for (const Step &s : steps) {
        for (int i = 0; i < s.Frames; ++i, t += 500) {
            TSettleRule::Input in;
            in.Status = s.Status < 0 ? 0 : s.Status;
            if (s.Status == 0)
                in.Value = s.Nf * 1e-9;
            in.CountSize = 0.1e-9;
            in.TimeMs = t;
            in.Hold = s.Hold;
            in.Relative = s.Relative;
            if (rule.Feed(in))
                recorded.append(t);
        }
    }
    return recorded;
}

// A part held on the probes: a slightly different reading on each display, all within the band.
Steps settled(double nf, int frames)
{
    Steps steps;
    const double wobble[] = {0, 0.1, -0.1, 0.2, 0, -0.2, 0.1};
    for (int i = 0; i < frames; ++i)
        steps.append(Step{nf + wobble[i % 7]});
    return steps;
}

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestSettleRule : public QObject
{
    Q_OBJECT

private slots:
    void sequences_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QList<qint64>>("recorded");

        QTest::newRow("one part, settled")
            << Steps{{0, OPEN, 2}, {100.0, 0, 8}} << QList<qint64>{2500};
        QTest::newRow("noise within the band")
            << Steps{{0, OPEN}} + settled(100.0, 40) << QList<qint64>{2000};
        QTest::newRow("settling restarts on a jump")
            << Steps{{100.0, 0, 3}, {103.0, 0, 5}} << QList<qint64>{3000};
        QTest::newRow("never steady, never recorded")
            << Steps{{100.0}, {101.0}, {102.0}, {103.0}, {104.0}, {105.0}, {106.0}}
            << QList<qint64>{};
        QTest::newRow("lifted before settling")
            << Steps{{100.0, 0, 3}, {0, OPEN, 2}, {100.0, 0, 4}} << QList<qint64>{4000};
        Steps drift{{0, OPEN}, {100.0, 0, 5}};
        for (int i = 0; i < 80; ++i) // +0.1 % a display, 8 % in all
            drift.append(Step{100.0 * (1 + 0.001 * i)});
        QTest::newRow("slow drift after settling") << drift << QList<qint64>{2000};
        QTest::newRow("OL between parts")
            << Steps{{100.0, 0, 5}, {0, OL, 3}, {47.0, 0, 5}} << QList<qint64>{1500, 5500};
        QTest::newRow("dashes between parts")
            << Steps{{100.0, 0, 5}, {0, DASHES}, {100.0, 0, 5}} << QList<qint64>{1500, 4500};
        QTest::newRow("no number between parts")
            << Steps{{100.0, 0, 5}, {0, NONUMBER}, {100.0, 0, 5}} << QList<qint64>{1500, 4500};
        QTest::newRow("the same value after lifting is a new part")
            << Steps{{0, OPEN}} + settled(100.0, 5) + Steps{{0, OPEN}} + settled(100.0, 5)
            << QList<qint64>{2000, 5000};
        QTest::newRow("swapped without lifting")
            << Steps{{100.0, 0, 5}, {220.0, 0, 5}} << QList<qint64>{1500, 4000};
        QTest::newRow("swap under 5 % is the same part")
            << Steps{{100.0, 0, 5}, {104.0, 0, 8}} << QList<qint64>{1500};
        QTest::newRow("a glitch that comes back")
            << Steps{{100.0, 0, 5}, {150.0, 0, 2}, {100.0, 0, 6}} << QList<qint64>{1500};
        QTest::newRow("HOLD on and off")
            << Steps{{100.0, 0, 5}, {100.0, 0, 10, true}, {100.1, 0, 6}} << QList<qint64>{1500};
        QTest::newRow("HOLD kept while the probes move away")
            << Steps{{100.0, 0, 5}, {100.0, 0, 10, true}, {220.0, 0, 6}} << QList<qint64>{1500};
        QTest::newRow("relative mode on and off") << Steps{{100.0, 0, 5},
                                                           {0.0, 0, 10, false, true},
                                                           {0.1, 0, 3, false, true},
                                                           {100.0, 0, 6}}
                                                  << QList<qint64>{1500};
        QTest::newRow("a part settled under HOLD")
            << Steps{{0, OPEN}, {68.0, 0, 6, true}} << QList<qint64>{2000};
        QTest::newRow("zero within two counts")
            << Steps{{0.0}, {0.1}, {0.2}, {0.1}, {0.0}, {0.1}} << QList<qint64>{1500};
    }
    void sequences()
    {
        QFETCH(Steps, steps);
        QFETCH(QList<qint64>, recorded);
        QCOMPARE(run(steps), recorded);
    }

    // The band and the settle time are the user's: a wider band settles a noisy part, a longer
    // time waits for it.
    void options_data()
    {
        QTest::addColumn<double>("bandPercent");
        QTest::addColumn<qint64>("settleMs");
        QTest::addColumn<QList<qint64>>("recorded");
        QTest::newRow("defaults: 1 % noise never settles")
            << 0.2 << qint64(1500) << QList<qint64>{};
        QTest::newRow("band 2 %") << 2.0 << qint64(1500) << QList<qint64>{1500};
        QTest::newRow("band 2 %, 3 s") << 2.0 << qint64(3000) << QList<qint64>{3000};
        QTest::newRow("settle time 0: the first number") << 2.0 << qint64(0) << QList<qint64>{0};
    }
    void options()
    {
        QFETCH(double, bandPercent);
        QFETCH(qint64, settleMs);
        QFETCH(QList<qint64>, recorded);
        Steps noisy;
        for (int i = 0; i < 10; ++i)
            noisy.append(Step{i % 2 ? 101.0 : 100.0});
        QCOMPARE(run(noisy, {bandPercent, 2, settleMs, 5}), recorded);
    }
};

QTEST_GUILESS_MAIN(TestSettleRule)
#include "tst_settlerule.moc"
