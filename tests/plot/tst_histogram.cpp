// The histogram of a batch as the statistics window and the summary page draw it: counts that
// read true, a value axis that holds the nominal and the limits around the batch, labels that
// stay whole and apart.
#include "thistogrampainter.h"
#include "tsummaryhistogram.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace {

using Counts = QList<qint64>;

// A group of capacitors whose bins start at lowNf, widthNf wide.
TGroupSummary group(double lowNf, double widthNf, const Counts &counts, double nominalNf)
{
    TGroupSummary g;
    g.Mode = QStringLiteral("Cs");
    g.Kind = TUnitKind::Farad;
    g.Histogram.Low = lowNf * 1e-9;
    g.Histogram.Width = widthNf * 1e-9;
    for (const qint64 c : counts) {
        g.Histogram.Counts.push_back(c);
        g.Count += c;
    }
    g.Min = g.Histogram.Low;
    g.Max = g.Histogram.Low + g.Histogram.Width * double(counts.size());
    g.Nominal = nominalNf * 1e-9;
    return g;
}

bool isRound(qint64 step)
{
    while (step % 10 == 0)
        step /= 10;
    return step == 1 || step == 2 || step == 5;
}

} // namespace

class TestHistogram : public QObject
{
    Q_OBJECT

private slots:
    void axesReadTrue_data();
    void axesReadTrue();
};

void TestHistogram::axesReadTrue_data()
{
    QTest::addColumn<double>("lowNf");
    QTest::addColumn<double>("widthNf");
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<double>("nominalNf"); // 0: none
    QTest::addColumn<int>("width");        // of the picture
    QTest::addColumn<double>("spanLowNf");
    QTest::addColumn<double>("spanHighNf");
    QTest::addColumn<QStringList>("labels"); // shown under the value axis, among others

    // The review's batch: 23 rows, the bar of 2 must stand at the mark "2", not at 1.4.
    QTest::newRow("counts 2, 14, 7") << 99.7 << 0.2 << Counts{2, 14, 7} << 100.0 << 560 << 99.5
                                     << 100.5 << QStringList{"nominal", "-0.5 %", "+0.5 %"};
    // A nominal below every reading still stands on the axis, with the limit past the batch.
    QTest::newRow("nominal left of the data")
        << 101.0 << 0.5 << Counts{3, 9, 4, 1} << 100.0 << 560 << 99.5 << 105.0
        << QStringList{"nominal", "+2 %", "+5 %"};
    QTest::newRow("nominal right of the data")
        << 94.5 << 1.0 << Counts{1, 5, 5, 1} << 100.0 << 560 << 90.0 << 100.5
        << QStringList{"nominal", "-5 %", "-10 %"};
    // Readings beyond the widest class: the axis holds the readings and the nominal only.
    QTest::newRow("beyond every class") << 130.0 << 5.0 << Counts{2, 2} << 100.0 << 560 << 99.5
                                        << 140.0 << QStringList{"nominal", "+20 %"};
    // Without a nominal the ends are named in units.
    QTest::newRow("no nominal") << 99.5 << 0.25 << Counts{1, 4, 40, 200, 1} << 0.0 << 560 << 99.5
                                << 100.75 << QStringList{"99.5 nF", "100.75 nF"};
    // Too narrow for every limit: the labels that fit, none cut, none over another.
    QTest::newRow("narrow") << 94.7 << 0.5 << Counts{1, 1, 2, 2, 0, 5, 13, 24, 54, 58, 44, 18, 7, 4}
                            << 100.0 << 180 << 90.0 << 102.0 << QStringList{"nominal"};
    QTest::newRow("one part") << 100.0 << 0.2 << Counts{1} << 100.0 << 560 << 99.5 << 100.5
                              << QStringList{"nominal"};
}

void TestHistogram::axesReadTrue()
{
    QFETCH(double, lowNf);
    QFETCH(double, widthNf);
    QFETCH(Counts, counts);
    QFETCH(double, nominalNf);
    QFETCH(int, width);
    QFETCH(double, spanLowNf);
    QFETCH(double, spanHighNf);
    QFETCH(QStringList, labels);

    TPartSummary summary;
    summary.Classes = {0.5, 1, 2, 5, 10, 20};
    const TGroupSummary g = group(lowNf, widthNf, counts, nominalNf);
    const THistogramPicture h = SummaryHistogram(summary, g);
    QCOMPARE(h.SpanLow * 1e9, spanLowNf);
    QCOMPARE(h.SpanHigh * 1e9, spanHighNf);

    QImage image(width, 240, QImage::Format_RGB32);
    const QRectF area(0, 0, width, 240);
    const THistogramPainter painter;
    const THistogramPainter::TLayout l = painter.layout(h, area, &image);

    // Counts: whole-number marks at a round step from 0 to the first one at or above the peak.
    const qint64 peak = *std::max_element(counts.begin(), counts.end());
    QVERIFY2(isRound(l.CountStep), qPrintable(QString::number(l.CountStep)));
    QCOMPARE(l.CountTop % l.CountStep, 0);
    QVERIFY(l.CountTop >= peak && l.CountTop < peak + l.CountStep);
    QCOMPARE(l.CountTicks.front(), 0);
    QCOMPARE(l.CountTicks.back(), l.CountTop);
    QVERIFY(l.CountTicks.size() >= 2);
    for (std::size_t i = 0; i < l.CountLabels.size(); ++i)
        QCOMPARE(l.CountLabels[i].Text, QString::number(l.CountTicks[i]));

    // Value labels: whole, inside the picture, apart, and the expected ones among them.
    QStringList shown;
    for (std::size_t i = 0; i < l.ValueLabels.size(); ++i) {
        const QRectF &r = l.ValueLabels[i].Rect;
        shown << l.ValueLabels[i].Text;
        QVERIFY2(r.left() >= area.left() && r.right() <= area.right(), qPrintable(shown.last()));
        QVERIFY2(r.width() >= QFontMetricsF(painter.LabelFont, &image)
                                  .horizontalAdvance(l.ValueLabels[i].Text),
                 qPrintable(shown.last()));
        if (i > 0)
            QVERIFY2(!r.intersects(l.ValueLabels[i - 1].Rect), qPrintable(shown.join('|')));
    }
    for (const QString &label : labels)
        QVERIFY2(shown.contains(label), qPrintable(shown.join(QLatin1Char('|'))));
    // Every mark on the axis is drawn inside the plot.
    for (const THistogramMark &m : h.Marks)
        if (m.Value >= h.SpanLow && m.Value <= h.SpanHigh) {
            const double x = painter.xOf(h, l, m.Value);
            QVERIFY(x >= l.Plot.left() - 0.01 && x <= l.Plot.right() + 0.01);
        }
    QVERIFY(l.ValueTitle.bottom() <= area.bottom() + 0.5);

    // The picture: a bar of the peak reaches the top mark's height.
    image.fill(Qt::white);
    QPainter p(&image);
    painter.paint(p, h, area);
    p.end();
    const int peakBin = int(std::max_element(counts.begin(), counts.end()) - counts.begin());
    // A column wholly inside the bar that no marked line crosses.
    const double x0 = painter.xOf(h, l, h.Low + h.Width * peakBin);
    const double x1 = painter.xOf(h, l, h.Low + h.Width * (peakBin + 1));
    int x = -1;
    for (int px = int(std::ceil(x0 + 1)); px + 2 <= x1 - 1 && x < 0; ++px)
        if (std::none_of(h.Marks.begin(), h.Marks.end(), [&](const THistogramMark &m) {
                return std::abs(painter.xOf(h, l, m.Value) - px) < 3;
            }))
            x = px;
    // (In the narrow picture every column of the peak's bar is next to a marked line.)
    QCOMPARE(x >= 0, width > 200);
    if (x >= 0) {
        const double barTop = l.Plot.bottom() - double(peak) / double(l.CountTop) * l.Plot.height();
        QCOMPARE(image.pixelColor(x, qRound(barTop + 2)), painter.BarColor);
        QVERIFY(image.pixelColor(x, qRound(barTop - 3)) != painter.BarColor);
    }
}

QTEST_MAIN(TestHistogram)
#include "tst_histogram.moc"
