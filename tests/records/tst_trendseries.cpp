// The trend's store of every reading: the figures of any range and the per-column envelope of
// any view against a brute-force scan of random readings, status words as gaps, the memory
// a reading takes.
#include "ttrendenvelope.h"
#include "ttrendseries.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

namespace {

constexpr qint64 Start = 1765400000000; // some afternoon in 2025

// Random readings of two quantities, in runs, with status words among them and times that
// advance by 0 to 900 ms (two frames a second, now and then several in one block).
TTrendSeries randomSeries(quint32 seed, qsizetype n, double gapShare)
{
    QRandomGenerator rng(seed);
    TTrendSeries s;
    qint64 t = Start;
    TTrendQuantity q = TTrendQuantity::Farad;
    for (qsizetype i = 0; i < n; ++i) {
        if (rng.bounded(500) == 0)
            q = q == TTrendQuantity::Farad ? TTrendQuantity::Ohm : TTrendQuantity::Farad;
        TTrendReading r;
        r.TimeMs = t;
        t += rng.bounded(900);
        r.Quantity = {q, TTrendQuantity::D};
        const bool gap = rng.generateDouble() < gapShare;
        r.Status = {std::uint8_t(gap ? (rng.bounded(2) ? stOverload : stOpen) : stReading),
                    stReading};
        r.Value = {(q == TTrendQuantity::Farad ? 1e-7 : 4.7e3) * (1 + rng.generateDouble() - 0.5),
                   rng.generateDouble() * 0.01};
        s.append(r);
    }
    return s;
}

// What the envelope should hold, from every reading one by one.
std::vector<TEnvelopeColumn> bruteForce(const TTrendSeries &s, TTrendQuantity q,
                                        const TTrendMapping &m)
{
    std::vector<TEnvelopeColumn> cols(std::size_t(m.Columns));
    for (qsizetype i = 0; i < s.count(); ++i) {
        // The grid of Width that does not move with the view, counted from its Origin.
        const qint64 c = qint64(std::floor(m.x(s, i) / m.Width)) - m.Origin;
        if (c < 0 || c >= m.Columns || s.quantity(tcMain, i) != q)
            continue;
        TEnvelopeColumn &col = cols[std::size_t(c)];
        const double v = s.value(tcMain, i);
        if (std::isnan(v)) {
            ++col.Gaps;
            continue;
        }
        const float f = float(v);
        col.Min = col.Valid ? std::min(col.Min, f) : f;
        col.Max = col.Valid ? std::max(col.Max, f) : f;
        ++col.Valid;
    }
    return cols;
}

QString differences(const std::vector<TEnvelopeColumn> &got,
                    const std::vector<TEnvelopeColumn> &want)
{
    if (got.size() != want.size())
        return QStringLiteral("%1 columns, not %2").arg(got.size()).arg(want.size());
    for (std::size_t c = 0; c < got.size(); ++c) {
        const TEnvelopeColumn &a = got[c];
        const TEnvelopeColumn &b = want[c];
        if (a.Valid != b.Valid || a.Gaps != b.Gaps
            || (b.Valid && (a.Min != b.Min || a.Max != b.Max)))
            return QStringLiteral("column %1: %2 %3 [%4, %5], not %6 %7 [%8, %9]")
                .arg(c)
                .arg(a.Valid)
                .arg(a.Gaps)
                .arg(double(a.Min))
                .arg(double(a.Max))
                .arg(b.Valid)
                .arg(b.Gaps)
                .arg(double(b.Min))
                .arg(double(b.Max));
    }
    return {};
}

} // namespace

class TestTrendSeries : public QObject
{
    Q_OBJECT

private slots:
    void envelopeMatchesAScan_data();
    void envelopeMatchesAScan();
    void figuresMatchAScan();
    void statusWordsAreGaps_data();
    void statusWordsAreGaps();
    void bytesPerReading();
};

void TestTrendSeries::envelopeMatchesAScan_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("readings");
    QTest::addColumn<bool>("byTime");
    QTest::addColumn<double>("perColumn"); // readings (or ms) a column
    QTest::addColumn<double>("start");     // of the view, in readings (or ms) from the first

    // clang-format off
    QTest::newRow("zoomed out")          << 1u << 200000 << false << 211.3  << 0.0;
    QTest::newRow("blocks cut anywhere") << 2u << 60000  << false << 63.7   << 1234.5;
    QTest::newRow("a few a column")      << 3u << 20000  << false << 2.5    << 17.0;
    QTest::newRow("sparse")              << 4u << 5000   << false << 0.3    << 4000.0;
    QTest::newRow("by time")             << 5u << 100000 << true  << 9000.0 << 0.0;
    QTest::newRow("by time, zoomed in")  << 6u << 20000  << true  << 70.0   << 3.6e6;
    QTest::newRow("beyond the readings") << 7u << 3000   << false << 10.0   << 2500.0;
    // clang-format on
}

void TestTrendSeries::envelopeMatchesAScan()
{
    QFETCH(quint32, seed);
    QFETCH(int, readings);
    QFETCH(bool, byTime);
    QFETCH(double, perColumn);
    QFETCH(double, start);
    TTrendSeries s = randomSeries(seed, readings, 0.03);
    const double x0 = (byTime ? double(Start) : 1.0) + start;
    const TTrendMapping m = TTrendMapping::fromRange(byTime, x0, x0 + 800 * perColumn, 800);
    QCOMPARE(m.Width, perColumn);

    for (const TTrendQuantity q : {TTrendQuantity::Farad, TTrendQuantity::Ohm}) {
        TTrendEnvelope e;
        QVERIFY(e.update(s, tcMain, q, m));
        QVERIFY(e.recomputed());
        QString diff = differences(e.columns(), bruteForce(s, q, m));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    // The same series growing under one envelope: folds, then a move by whole columns.
    TTrendSeries grow;
    TTrendSeries whole = randomSeries(seed, readings + 900, 0.03);
    const auto copy = [&](qsizetype to) {
        for (qsizetype i = grow.count(); i < to; ++i) {
            TTrendReading r;
            r.TimeMs = whole.timeMs(i);
            for (int ch = 0; ch < 2; ++ch) {
                r.Value[std::size_t(ch)] = whole.value(ch, i);
                r.Status[std::size_t(ch)] = whole.status(ch, i);
                r.Quantity[std::size_t(ch)] = whole.quantity(ch, i);
            }
            grow.append(r);
        }
    };
    copy(readings);
    TTrendEnvelope e;
    e.update(grow, tcMain, TTrendQuantity::Farad, m);
    copy(readings + 400);
    QVERIFY(e.update(grow, tcMain, TTrendQuantity::Farad, m));
    QVERIFY(!e.recomputed());
    QString diff = differences(e.columns(), bruteForce(grow, TTrendQuantity::Farad, m));
    QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("after folding: ") + diff));
    copy(readings + 900);
    TTrendMapping moved = m;
    moved.Origin += 37;
    QVERIFY(e.update(grow, tcMain, TTrendQuantity::Farad, moved));
    QVERIFY(!e.recomputed());
    diff = differences(e.columns(), bruteForce(grow, TTrendQuantity::Farad, moved));
    QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("after moving on: ") + diff));
    QCOMPARE(e.first(), TTrendEnvelope::boundary(grow, moved, 0));
    QCOMPARE(e.last(), TTrendEnvelope::boundary(grow, moved, moved.Columns));
}

void TestTrendSeries::figuresMatchAScan()
{
    const TTrendSeries s = randomSeries(11, 30000, 0.05);
    QRandomGenerator rng(12);
    for (int round = 0; round < 200; ++round) {
        qsizetype from = rng.bounded(30000);
        qsizetype to = rng.bounded(30001);
        if (from > to)
            std::swap(from, to);
        TTrendSeries::TOthers others{};
        const TTrendSummary f = s.summarize(tcMain, from, to, TTrendQuantity::Farad, &others);
        const TTrendSummary &o = others[std::size_t(TTrendQuantity::Ohm)];
        TTrendSummary want;
        TTrendSummary wantOhm;
        long double sum = 0;
        for (qsizetype i = from; i < to; ++i) {
            TTrendSummary &w = s.quantity(tcMain, i) == TTrendQuantity::Farad ? want : wantOhm;
            const double v = s.value(tcMain, i);
            if (std::isnan(v)) {
                ++w.Gaps;
            } else {
                w.add(v);
                if (&w == &want)
                    sum += v;
            }
        }
        QCOMPARE(f.Valid, want.Valid);
        QCOMPARE(f.Gaps, want.Gaps);
        QCOMPARE(o.Valid + o.Gaps, wantOhm.Valid + wantOhm.Gaps);
        if (want.Valid == 0)
            continue;
        QCOMPARE(f.Min, want.Min);
        QCOMPARE(f.Max, want.Max);
        QVERIFY(std::abs(f.Mean - double(sum / want.Valid)) <= 1e-12 * std::abs(f.Mean));
        if (want.Valid > 1)
            QVERIFY2(std::abs(f.sd() - want.sd()) <= 1e-9 * want.sd(),
                     qPrintable(QStringLiteral("%1 vs %2").arg(f.sd()).arg(want.sd())));
    }
}

void TestTrendSeries::statusWordsAreGaps_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("unit"); // the unit the display shows with the word
    QTest::newRow("OL with its unit") << int(stOverload) << 2; // kOhm
    QTest::newRow("OPEN without a unit") << int(stOpen) << 0;
    QTest::newRow("dashes") << int(stDashes) << 0;
    QTest::newRow("ERR") << int(stError) << 2;
}

void TestTrendSeries::statusWordsAreGaps()
{
    QFETCH(int, status);
    QFETCH(int, unit);
    TTrendSeries s;
    TMeterState st;
    st.MainMode = mmResistance;
    st.MainUnit = 2; // kOhm
    st.MainDecimals = 3;
    st.MainValue = 4700;
    s.append(TrendReading(st, Start));
    st.MainStatus = std::uint8_t(status);
    st.MainUnit = std::uint8_t(unit);
    st.MainValue = 0; // what the frame carries under a word
    s.append(TrendReading(st, Start + 500));
    st.MainStatus = stReading;
    st.MainUnit = 2;
    st.MainValue = 4710;
    s.append(TrendReading(st, Start + 1000));

    QCOMPARE(s.value(tcMain, 0), 4700.0);
    QVERIFY(std::isnan(s.value(tcMain, 1)));
    QCOMPARE(int(s.status(tcMain, 1)), status);
    // A word without a unit stays with the resistances: one run, a gap in it, never a zero.
    QCOMPARE(s.quantity(tcMain, 1), TTrendQuantity::Ohm);
    QCOMPARE(s.quantities(tcMain), std::vector<TTrendQuantity>{TTrendQuantity::Ohm});
    const TTrendSummary f = s.summarize(tcMain, 0, 3, TTrendQuantity::Ohm);
    QCOMPARE(f.Valid, 2);
    QCOMPARE(f.Gaps, 1);
    QCOMPARE(f.Min, 4700.0);
    TTrendEnvelope e;
    e.update(s, tcMain, TTrendQuantity::Ohm, TTrendMapping::fromRange(false, 0.5, 3.5, 3));
    QCOMPARE(e.columns()[1].Valid, 0);
    QCOMPARE(e.columns()[1].Gaps, 1);
}

void TestTrendSeries::bytesPerReading()
{
    // Beyond the record table, the trend may take 16 bytes a reading.
    const TTrendSeries s = randomSeries(21, 300000, 0.01);
    const double perReading = double(s.capacityBytes()) / double(s.count());
    QVERIFY2(perReading <= 16, qPrintable(QString::number(perReading)));
}

QTEST_MAIN(TestTrendSeries)
#include "tst_trendseries.moc"
