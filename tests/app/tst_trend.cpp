// The Trend window driven as a user drives it: the wheel, drags, a rectangle, clicks and keys
// as one table of gestures with the view and the texts they must leave; the readings of the
// real window reaching it; the pictures it saves.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/pdftools.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tchartpanel.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tfrmtrend.h"
#include "tpagedchart.h"
#include "ttrendplot.h"
#include "ttrendseries.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>

using namespace ModalHelper;

namespace {

// 1000 readings of a 100 nF part two a second from 23:55:00 on New Year's Eve, so the clock
// passes midnight at record 601; OL at records 201-210; 50 of them in kOhm (records 901-950).
const QDateTime First(QDate(2025, 12, 31), QTime(23, 55, 0));

void fill(TTrendSeries &s)
{
    for (int i = 0; i < 1000; ++i) {
        TTrendReading r;
        r.TimeMs = First.toMSecsSinceEpoch() + 500LL * i;
        const bool ohm = i >= 900 && i < 950;
        r.Quantity = {ohm ? TTrendQuantity::Ohm : TTrendQuantity::Farad, TTrendQuantity::D};
        r.Value = {ohm ? 4700.0 : 100e-9 * (1 + 0.01 * std::sin(i / 50.0)), 0.012};
        r.Status = {std::uint8_t(i >= 200 && i < 210 ? stOverload : stReading), stReading};
        s.append(r);
    }
}

using Range = QPair<double, double>;

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void gestures_data();
    void gestures();
    void statusWordsAreGaps();
    void pictures_data();
    void pictures();
    void theWindowsReadings();

private:
    // x of the plot for a step's position: "f0.25" a quarter of the plot's width, "r101" the
    // place of record 101.
    QPoint at(const QString &where, double yFraction = 0.5) const;
    void play(const QString &script);

    TTemporaryStateHome state_;
    TTrendSeries series_;
    TfrmTrend *w = nullptr;
};

void TestTrend::init()
{
    series_.clear();
    fill(series_);
    w = new TfrmTrend(series_, nullptr);
    // Wide enough for a pixel a record, so a click lands on the record it aims at.
    w->resize(1400, 600);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->Plot->refresh();
}

void TestTrend::cleanup()
{
    delete w;
    w = nullptr;
}

QPoint TestTrend::at(const QString &where, double yFraction) const
{
    const TTrendPainter::TLayout l = w->Plot->currentLayout();
    const double v = where.mid(1).toDouble();
    const double x = where.startsWith(QLatin1Char('r'))
                         ? TTrendPainter::xToPixel(w->Plot->view(), l, v)
                         : l.Plot.left() + v * l.Plot.width();
    return QPoint(qRound(x), qRound(l.Plot.top() + yFraction * l.Plot.height()));
}

// Steps: "wheel N@P" (Ctrl: "cwheel"), "drag P>P", "rect P>P" (with Shift, top to bottom),
// "click P", "move P", "key NAME", "btn NAME", "time" (the time axis).
void TestTrend::play(const QString &script)
{
    TTrendPlot *plot = w->Plot;
    static const QHash<QString, Qt::Key> keys{
        {"Home", Qt::Key_Home},         {"Plus", Qt::Key_Plus},    {"Minus", Qt::Key_Minus},
        {"Left", Qt::Key_Left},         {"Right", Qt::Key_Right},  {"PageUp", Qt::Key_PageUp},
        {"PageDown", Qt::Key_PageDown}, {"Escape", Qt::Key_Escape}};
    const QStringList words = script.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        const QString &op = words[i];
        const QString arg = i + 1 < words.size() ? words[i + 1] : QString();
        if (op == QLatin1String("wheel") || op == QLatin1String("cwheel")) {
            const int notches = arg.section(QLatin1Char('@'), 0, 0).toInt();
            const QPoint p = at(arg.section(QLatin1Char('@'), 1));
            QWheelEvent e(p, plot->mapToGlobal(p), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                          op == QLatin1String("cwheel") ? Qt::ControlModifier : Qt::NoModifier,
                          Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(plot, &e);
            ++i;
        } else if (op == QLatin1String("drag") || op == QLatin1String("rect")) {
            const bool rect = op == QLatin1String("rect");
            const Qt::KeyboardModifiers mod = rect ? Qt::ShiftModifier : Qt::NoModifier;
            const QPoint a = at(arg.section(QLatin1Char('>'), 0, 0), rect ? 0.1 : 0.5);
            const QPoint b = at(arg.section(QLatin1Char('>'), 1), rect ? 0.9 : 0.5);
            QTest::mousePress(plot, Qt::LeftButton, mod, a);
            for (int k = 1; k <= 4; ++k)
                QTest::mouseMove(plot, a + (b - a) * k / 4);
            QTest::mouseRelease(plot, Qt::LeftButton, mod, b);
            ++i;
        } else if (op == QLatin1String("click")) {
            QTest::mouseClick(plot, Qt::LeftButton, {}, at(arg));
            ++i;
        } else if (op == QLatin1String("move")) {
            QTest::mouseMove(plot, at(arg));
            ++i;
        } else if (op == QLatin1String("key")) {
            QVERIFY2(keys.contains(arg), qPrintable(arg));
            QTest::keyClick(plot, keys[arg]);
            ++i;
        } else if (op == QLatin1String("btn")) {
            auto *b = w->findChild<QToolButton *>(arg);
            QVERIFY2(b, qPrintable(arg));
            QTest::mouseClick(b, Qt::LeftButton);
            ++i;
        } else if (op == QLatin1String("time")) {
            w->cbbAxis->setCurrentIndex(1);
        } else {
            QFAIL(qPrintable(op));
        }
    }
}

void TestTrend::gestures_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<Range>("records"); // the record numbers at the edges; NaN: not checked
    QTest::addColumn<bool>("following");
    QTest::addColumn<bool>("autoscale");
    QTest::addColumn<QStringList>("texts"); // "label=text it holds"

    const double no = qQNaN();
    // clang-format off
    QTest::newRow("every reading at first")
        << "" << Range(0.5, 1000.5) << true << true
        << QStringList{"lblNotShown=50 readings in kOhm not shown",
                       "lblStats=In view: 940 readings", "lblStats=10 status words"};
    QTest::newRow("the wheel zooms about the pointer")
        << "wheel 1@f0.5" << Range(100.5, 900.5) << false << true << QStringList{};
    QTest::newRow("two notches at a quarter")
        << "wheel 2@f0.25" << Range(90.5, 730.5) << false << true
        << QStringList{"lblNotShown="};
    QTest::newRow("a drag pans")
        << "wheel 1@f0.5 drag f0.5>f0.25" << Range(300.5, 1100.5) << false << true
        << QStringList{};
    QTest::newRow("no panning past the readings")
        << "wheel 1@f0.5 drag f0.9>f0.0 drag f0.9>f0.0" << Range(1000, 1800) << false << true
        << QStringList{};
    QTest::newRow("a rectangle zooms both axes")
        << "rect f0.2>f0.4" << Range(200.5, 400.5) << false << false << QStringList{};
    QTest::newRow("Home follows the newest again")
        << "wheel 1@f0.5 drag f0.5>f0.75 key Home" << Range(201, 1001) << true << true
        << QStringList{};
    QTest::newRow("zooming while following keeps the newest")
        << "btn btnZoomIn" << Range(500.5, 1000.5) << true << true << QStringList{};
    QTest::newRow("PageUp pages back")
        << "btn btnZoomIn key PageUp" << Range(0.5, 500.5) << false << true << QStringList{};
    QTest::newRow("All after zooming") << "wheel 3@f0.3 btn btnAll" << Range(0.5, 1000.5) << true
                                       << true << QStringList{};
    QTest::newRow("Ctrl and the wheel fix the value axis")
        << "cwheel 1@f0.5" << Range(0.5, 1000.5) << true << false << QStringList{};
    QTest::newRow("two markers and their difference")
        << "click r101 click r301" << Range(no, no) << true << true
        << QStringList{"lblMarkers=A: record 101, 23:55:50.000", "lblMarkers=B: record 301",
                       "lblMarkers=200 records, 1 min 40 s", "lblMarkers=B - A: "};
    QTest::newRow("a third click moves the nearer marker")
        << "click r101 click r301 click r251" << Range(no, no) << true << true
        << QStringList{"lblMarkers=B: record 251", "lblMarkers=150 records, 1 min 15 s"};
    QTest::newRow("Escape clears the markers")
        << "click r101 key Escape" << Range(no, no) << true << true << QStringList{"lblMarkers="};
    QTest::newRow("the crosshair reads the reading under it")
        << "move r501" << Range(no, no) << true << true
        << QStringList{"lblPointer=Record 501   2025-12-31 23:59:10.000   "};
    QTest::newRow("a status word under the crosshair")
        << "move r205" << Range(no, no) << true << true
        << QStringList{"lblPointer=Record 205   2025-12-31 23:56:42.000   OL"};
    QTest::newRow("readings of another quantity are left out")
        << "rect r860>r915" << Range(860, 915) << false << false
        << QStringList{"lblNotShown=readings in kOhm not shown", "lblStats=nF"};
    QTest::newRow("the kOhm readings when they are most in view")
        << "wheel 12@r950" << Range(no, no) << false << true
        << QStringList{"lblNotShown=in nF not shown", "lblStats=max 4.7 kOhm"};
    // clang-format on
}

void TestTrend::gestures()
{
    QFETCH(QString, script);
    QFETCH(Range, records);
    QFETCH(bool, following);
    QFETCH(bool, autoscale);
    QFETCH(QStringList, texts);
    const TTrendView before = w->Plot->view();
    play(script);
    const TTrendView &v = w->Plot->view();
    if (!std::isnan(records.first)) {
        // A pointer lands on whole pixels, and a view on whole columns of its envelope.
        const double slack = 1.5 + (v.XMax - v.XMin) * 0.005;
        QVERIFY2(std::abs(v.XMin - records.first) <= slack
                     && std::abs(v.XMax - records.second) <= slack,
                 qPrintable(QStringLiteral("%1 to %2").arg(v.XMin).arg(v.XMax)));
    }
    QCOMPARE(w->Plot->following(), following);
    QCOMPARE(w->Plot->autoscale(), autoscale);
    QCOMPARE(w->cbAutoscale->isChecked(), autoscale);
    if (!autoscale && script.contains(QLatin1String("cwheel")))
        QVERIFY(std::abs((v.YMax - v.YMin) / (before.YMax - before.YMin) - 0.8) < 1e-6);
    for (const QString &t : texts) {
        const QString label = t.section(QLatin1Char('='), 0, 0);
        const QString want = t.section(QLatin1Char('='), 1);
        // (Figures are held together by no-break spaces.)
        const QString shown =
            w->findChild<QLabel *>(label)->text().replace(QChar(0x00A0), QLatin1Char(' '));
        if (want.isEmpty())
            QVERIFY2(shown.isEmpty(), qPrintable(label + QStringLiteral(": ") + shown));
        else
            QVERIFY2(shown.contains(want), qPrintable(label + QStringLiteral(": ") + shown));
    }
}

void TestTrend::statusWordsAreGaps()
{
    // Zoomed in on the OL readings, and zoomed out over all: a band where they are, never a
    // trace down to zero.
    for (const QString &script : {QStringLiteral("rect r150>r260"), QString()}) {
        init();
        play(script);
        const QImage image = w->Plot->toImage(1);
        const TTrendPainter::TLayout l = w->Plot->currentLayout();
        const TTrendView &v = w->Plot->view();
        const TTrendPainter painter;
        const int x = qRound(TTrendPainter::xToPixel(v, l, 205));
        const int top = qRound(l.Plot.top()) + 3;
        QCOMPARE(image.pixelColor(x, top), painter.GapColor);
        // Nothing blue in that column: the trace is broken there.
        for (int y = qRound(l.Plot.top()) + 1; y < qRound(l.Plot.bottom()) - 6; ++y) {
            const QColor c = image.pixelColor(x, y);
            QVERIFY2(c.blue() - std::max(c.red(), c.green()) < 60,
                     qPrintable(QStringLiteral("%1 at y %2").arg(c.name()).arg(y)));
        }
        // The bottom of the value axis is no zero: the readings are all about 100 nF.
        QVERIFY(v.YMin > 90e-9);
        cleanup();
    }
    init();
}

void TestTrend::pictures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("PNG") << "png" << qreal(1);
    QTest::newRow("PNG 2x") << "png" << qreal(2);
    QTest::newRow("PDF") << "pdf" << qreal(1);
    QTest::newRow("clipboard") << "clipboard" << qreal(0); // the screen's
    QTest::newRow("PNG through the dialog") << "dialog" << qreal(2);
}

void TestTrend::pictures()
{
    QFETCH(QString, kind);
    QFETCH(qreal, ratio);
    if (ratio == 0)
        ratio = w->Plot->devicePixelRatioF();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trend.") + (kind == "pdf" ? "pdf" : "png"));
    const QSize size = w->Plot->size() * ratio;
    if (kind == QLatin1String("pdf")) {
        QVERIFY(w->SavePdf(file));
        QCOMPARE(PdfTools::pageCount(file), 1);
        QVERIFY2(PdfTools::pageText(file, 1).contains(QStringLiteral("Record Number")),
                 qPrintable(PdfTools::pageText(file, 1)));
        return;
    }
    QImage image;
    if (kind == QLatin1String("clipboard")) {
        w->CopyToClipboard();
        image = QGuiApplication::clipboard()->image();
    } else {
        if (kind == QLatin1String("dialog")) {
            typeFileNameOnNextModal(dir.filePath(QStringLiteral("trend")));
            QTest::mouseClick(w->btnSavePng2x, Qt::LeftButton);
        } else {
            QVERIFY(w->SaveImage(file, ratio));
        }
        image = QImage(file, "PNG");
    }
    QCOMPARE(image.size(), size);
    // The trace is there: a good run of blue pixels.
    int blue = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() - std::max(c.red(), c.green()) > 100;
        }
    QVERIFY2(blue > 200 * ratio, qPrintable(QString::number(blue)));
}

void TestTrend::theWindowsReadings()
{
    TfrmMain m;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QAction *trend = m.actTrend;
    QCOMPARE(trend->text(), QStringLiteral("Trend..."));
    QVERIFY(m.pnlChartParent->Chart1->actions().contains(trend));
    TFrameFields f = workedFields();
    for (int i = 0; i < 30; ++i) {
        f.MainValue = 1200 + i;
        f.MainStatus = i == 10 ? stOverload : stReading;
        receive(m, EncodeFrame(f));
    }
    QTest::keySequence(&m, QKeySequence(Qt::CTRL | Qt::Key_G));
    QVERIFY(m.Trend_ && m.Trend_->isVisible());
    QVERIFY(!m.Trend_->isModal());
    QCOMPARE(m.TrendSeries().count(), 30);
    QCOMPARE(float(m.TrendSeries().value(tcMain, 0)), float(120.0e-9)); // kept as a float
    QVERIFY(std::isnan(m.TrendSeries().value(tcMain, 10)));
    QTRY_VERIFY(m.Trend_->lblStats->text().contains(QStringLiteral("In view: 29 readings")));
    receive(m, EncodeFrame(f));
    QTRY_VERIFY(m.Trend_->lblStats->text().contains(QStringLiteral("In view: 30 readings")));
    // Clear empties it with the chart.
    m.Session()->Clear();
    QCOMPARE(m.TrendSeries().count(), 0);
    QTRY_COMPARE(m.Trend_->lblStats->text(), QStringLiteral("In view: no readings"));
}

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
