// The trend chart in the real window: frames through the receive path, clicks on the chart's
// tool bar, keys into the page size box and the picture it saves.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tpagedchart.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace ModalHelper;

namespace {

using Window = QPair<int, int>;

// Readings in nF with one decimal, as the worked frame but with the secondary fields all zero,
// their values rising and falling.
void feed(TfrmMain &w, int count)
{
    TFrameFields f = workedFields();
    f.SubMode = 0;
    f.SubValue = 0;
    f.SubDecimals = 0;
    for (int i = 0; i < count; ++i) {
        f.MainValue = 1000 + (i * 37) % 900;
        receive(w, EncodeFrame(f));
    }
}

TPagedChart *chart(TfrmMain &w)
{
    return w.pnlChartParent->Chart1;
}

// The points the line runs through, once the event loop has run.
QList<QPointF> drawn(TfrmMain &w)
{
    QCoreApplication::processEvents();
    return chart(w)->drawnPoints();
}

// What the user sees once the event loop has run: the window of the horizontal axis.
Window window(TfrmMain &w)
{
    QCoreApplication::processEvents();
    return {qRound(chart(w)->bottomMin()), qRound(chart(w)->bottomMax())};
}

void click(QToolButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

// "+n" feeds n readings; F, P, N, L click First, Previous, Next, Last.
void play(TfrmMain &w, const QString &script)
{
    for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        switch (step.front().toLatin1()) {
        case '+':
            feed(w, step.mid(1).toInt());
            break;
        case 'F':
            click(w.pnlChartParent->btnFirst);
            break;
        case 'P':
            click(w.pnlChartParent->btnPrevious);
            break;
        case 'N':
            click(w.pnlChartParent->btnNext);
            break;
        case 'L':
            click(w.pnlChartParent->btnLast);
            break;
        default:
            QFAIL(qPrintable(step));
        }
    }
}

void typeIntoRange(TfrmMain &w, const QString &keys)
{
    w.pnlChartParent->edtRange->selectAll();
    QTest::keyClick(w.pnlChartParent->edtRange, Qt::Key_Backspace);
    QTest::keyClicks(w.pnlChartParent->edtRange, keys);
}

// Answers the save dialog with a file name, typed as a user would, then Return. onTop, if
// given, answers the next window that opens over or after it (the replace question, an error).
// A dialog that refuses the name is cancelled, so the test goes on.
void answerSaveDialog(const QString &fileName, std::function<void(QWidget *)> onTop = {})
{
    onNextModal([fileName, onTop](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            qWarning() << "not a file dialog:" << modal;
            modal->close();
            return;
        }
        if (onTop)
            onNextModal(onTop);
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(fileName);
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible())
            dialog->reject();
    });
}

// Share of pixels that are pure white, and number of clearly blue ones.
QPair<double, int> whiteAndBlue(const QImage &image)
{
    qint64 white = 0;
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == QColor(Qt::white))
                ++white;
            else if (c.blue() - std::max(c.red(), c.green()) > 80)
                ++blue;
        }
    return {double(white) / (image.width() * image.height()), blue};
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startLooks();
    void picture_data();
    void picture();
    void workedFramePlotsAndScales();
    void readings_data();
    void readings();
    void pagingButtons_data();
    void pagingButtons();
    void pageSizeChangeShowsTheLastPage();
    void rangeBox_data();
    void rangeBox();
    void rangeBoxWaitsForTheLastChange();
    void clear_data();
    void clear();
    void save_data();
    void save();
    void saveAsksBeforeReplacing_data();
    void saveAsksBeforeReplacing();
    void saveFailureIsShown();

private:
    TTemporaryStateHome state_; // the windows keep their journals here
    TfrmMain *w = nullptr;
    QTemporaryDir dir;
};

void TestChart::init()
{
    w = new TfrmMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    // The box applies a second after the last key; what follows from it is the same at a
    // fiftieth of that, and the real second is kept for one case of rangeBox.
    QCOMPARE(w->pnlChartParent->Timer_range->interval(), 1000);
    w->pnlChartParent->Timer_range->setInterval(20);
}

void TestChart::cleanup()
{
    delete w;
    w = nullptr;
}

void TestChart::startLooks()
{
    const TPagedChartPainter &look = chart(*w)->painter();
    QCOMPARE(w->pnlChartParent->edtCurPage->text(), QStringLiteral("1"));
    QCOMPARE(window(*w), Window(1, 100));
    QCOMPARE(look.Bottom.Title, QStringLiteral("Record Number"));
    QCOMPARE(look.Left.Title, QStringLiteral("Value"));
    QCOMPARE(chart(*w)->leftMin(), -40.0);
    QCOMPARE(chart(*w)->leftMax(), 40.0);
    QCOMPARE(look.GridPen.color(), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(look.GridPen.style(), Qt::SolidLine);
    QVERIFY(!look.Bottom.LineVisible);
    QVERIFY(!look.Bottom.TicksVisible);
    QVERIFY(!look.Left.TicksVisible);
    const TPagedChartPainter::TLayout layout = chart(*w)->currentLayout();
    QVERIFY(layout.BottomStep >= 1.0);
    QVERIFY(layout.LeftStep >= 0.1);
    QCOMPARE(look.Background, QColor(Qt::white));
    QCOMPARE(look.LinePen.color(), QColor(Qt::blue));
    QVERIFY(!look.Markers);
    // Only the zero point so far, left of page 1.
    QCOMPARE(drawn(*w), QList<QPointF>{QPointF(0, 0)});

    // Dragging across the chart neither zooms nor pans it.
    QTest::mousePress(chart(*w), Qt::LeftButton, {}, QPoint(80, 60));
    QTest::mouseMove(chart(*w), QPoint(250, 200));
    QTest::mouseRelease(chart(*w), Qt::LeftButton, {}, QPoint(250, 200));
    QCOMPARE(window(*w), Window(1, 100));
}

void TestChart::picture_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("the zero point alone") << 0;
    QTest::newRow("one reading") << 1;
    QTest::newRow("half a page") << 50;
    QTest::newRow("page 2") << 150;
}

void TestChart::picture()
{
    QFETCH(int, count);
    feed(*w, count);
    QCoreApplication::processEvents();
    TPagedChart *c = chart(*w);
    const QImage image = c->toImage();
    const qreal r = image.devicePixelRatio();
    QCOMPARE(image.size(), c->size() * r);
    const TPagedChartPainter::TLayout l = c->currentLayout();
    const QRect plot = QRectF(l.Plot.topLeft() * r, l.Plot.size() * r).toRect();
    const auto pixel = [&](QPointF p) { return image.pixelColor((p * r).toPoint()); };
    const auto isBlue = [](const QColor &px) {
        return px.blue() - std::max(px.red(), px.green()) > 80;
    };
    const auto isDark = [](const QColor &px) { return px.lightness() < 120; };
    const auto anyIn = [&](const QRectF &area, auto &&test) {
        const QRect a = QRectF(area.topLeft() * r, area.size() * r).toRect() & image.rect();
        for (int y = a.top(); y <= a.bottom(); ++y)
            for (int x = a.left(); x <= a.right(); ++x)
                if (test(image.pixelColor(x, y)))
                    return true;
        return false;
    };

    // White ground: the corners and the strip above the plot.
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
          QPoint(image.width() - 1, image.height() - 1)})
        QCOMPARE(image.pixelColor(corner), QColor(Qt::white));
    for (int x = 0; x < image.width(); ++x)
        QCOMPARE(image.pixelColor(x, 1), QColor(Qt::white));

    // Nothing blue outside the plot: the zero point (X = 0) is left of page 1 and of its line
    // only what lies inside the window shows.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!plot.adjusted(-2 * r, -2 * r, 2 * r, 2 * r).contains(x, y))
                QVERIFY2(!isBlue(image.pixelColor(x, y)),
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    // The line runs through every reading in the window.
    int points = 0;
    for (const QPointF &pt : c->drawnPoints()) {
        if (pt.x() < c->bottomMin() || pt.x() > c->bottomMax())
            continue;
        const QPointF at = c->painter().map(l, pt.x(), pt.y());
        const bool near = anyIn(QRectF(at - QPointF(1, 1), QSizeF(2, 2)), isBlue);
        QVERIFY2(near, qPrintable(QStringLiteral("X %1").arg(pt.x())));
        ++points;
    }
    QCOMPARE(points, count == 0 ? 0 : count <= 100 ? count : count - 100);
    // Silver grid at every labelled mark, and the label beside it; the axis titles.
    const QColor silver(0xC0, 0xC0, 0xC0);
    for (const double t : l.BottomTicks) {
        const double x = c->painter().map(l, t, 0).x();
        const bool onFrame =
            std::abs(x - l.Plot.left()) < 1.5 || std::abs(x - l.Plot.right()) < 1.5;
        int grid = 0;
        for (int y = plot.top() + 2; y < plot.bottom() - 2; ++y)
            grid += image.pixelColor(int(std::floor(x) * r), y) == silver;
        // (A mark at an end of the axis has the plot's frame drawn over its line.)
        QVERIFY2(onFrame || grid > plot.height() * 0.8,
                 qPrintable(QStringLiteral("x %1: %2").arg(t).arg(grid)));
        QVERIFY2(anyIn(QRectF(x - 12, l.Plot.bottom() + 4, 24,
                              l.BottomTitle.top() - l.Plot.bottom() - 4),
                       isDark),
                 qPrintable(QString::number(t)));
    }
    for (const double t : l.LeftTicks) {
        const double y = c->painter().map(l, 0, t).y();
        if (std::abs(y - l.Plot.top()) > 1.5 && std::abs(y - l.Plot.bottom()) > 1.5)
            QCOMPARE(image.pixelColor(plot.left() + plot.width() / 3, int(std::floor(y) * r)),
                     silver);
        QVERIFY2(
            anyIn(QRectF(l.LeftTitle.right(), y - 4, l.Plot.left() - l.LeftTitle.right() - 3, 8),
                  isDark),
            qPrintable(QString::number(t)));
    }
    QVERIFY(anyIn(l.BottomTitle, isDark));
    QVERIFY(anyIn(l.LeftTitle, isDark));
    // No ticks: below the plot's frame, between the labels, the ground is white.
    QCOMPARE(pixel(QPointF(c->painter().map(l, l.BottomTicks.front(), 0).x() + 0.5,
                           l.Plot.bottom() + 3)),
             QColor(Qt::white));
}

void TestChart::workedFramePlotsAndScales()
{
    receive(*w, WorkedFrame);
    QCOMPARE(w->pnlChartParent->edtCurPage->text(), QStringLiteral("1"));
    QCOMPARE(window(*w), Window(1, 100));
    QCOMPARE(chart(*w)->leftMin(), -2000.0);
    QCOMPARE(chart(*w)->leftMax(), 2000.0);
    QCOMPARE(drawn(*w), (QList<QPointF>{QPointF(0, 0), QPointF(1, 123.4)}));
}

void TestChart::readings_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("page");
    QTest::addColumn<Window>("view");
    QTest::addColumn<Window>("plotted"); // first and last X the line runs through

    // clang-format off
    QTest::newRow("99")  << 99  << "1" << Window(1, 100)   << Window(0, 99);
    // The zero point makes 101 points: two pages by count while reading 100 is still in view.
    QTest::newRow("100") << 100 << "2" << Window(1, 100)   << Window(0, 100);
    QTest::newRow("101") << 101 << "2" << Window(101, 200) << Window(100, 101);
    // clang-format on
}

void TestChart::readings()
{
    QFETCH(int, count);
    feed(*w, count);
    QTEST(w->pnlChartParent->edtCurPage->text(), "page");
    QTEST(window(*w), "view");
    const QList<QPointF> points = drawn(*w);
    QTEST(Window(qRound(points.first().x()), qRound(points.last().x())), "plotted");
    QCOMPARE(points.size(), qRound(points.last().x() - points.first().x()) + 1);
}

void TestChart::pagingButtons_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("page");
    QTest::addColumn<Window>("view");

    // clang-format off
    QTest::newRow("first on page 5")                << "+450 F"          << "1" << Window(1, 100);
    QTest::newRow("readings while browsing")        << "+450 F +120"     << "1" << Window(1, 100);
    QTest::newRow("last resumes following")         << "+450 F +120 L"   << "6" << Window(501, 600);
    QTest::newRow("previous on page 1")             << "+50 P"           << "1" << Window(1, 100);
    QTest::newRow("next on the last page")          << "+250 N"          << "3" << Window(201, 300);
    QTest::newRow("next from the second-last page") << "+250 P N +60"    << "4" << Window(301, 400);
    QTest::newRow("next from an earlier page")      << "+450 F N +100"   << "2" << Window(101, 200);
    // clang-format on
}

void TestChart::pagingButtons()
{
    QFETCH(QString, script);
    play(*w, script);
    QTEST(w->pnlChartParent->edtCurPage->text(), "page");
    QTEST(window(*w), "view");
}

void TestChart::pageSizeChangeShowsTheLastPage()
{
    feed(*w, 230);
    QCOMPARE(window(*w), Window(201, 300));
    typeIntoRange(*w, QStringLiteral("50"));
    QTRY_COMPARE(window(*w), Window(201, 250));
    QCOMPARE(w->pnlChartParent->edtRange->text(), QStringLiteral("50"));
    // The box keeps its old number until the next reading brings the new one.
    QCOMPARE(w->pnlChartParent->edtCurPage->text(), QStringLiteral("3"));
    feed(*w, 1);
    QCOMPARE(w->pnlChartParent->edtCurPage->text(), QStringLiteral("5"));
    QCOMPARE(window(*w), Window(201, 250));
    QCOMPARE(drawn(*w).last().x(), 231.0);
}

void TestChart::rangeBox_data()
{
    QTest::addColumn<QString>("keys"); // '#' stands for the decimal separator
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("applied");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<bool>("realDelay"); // the program's own second, not the test's

    // clang-format off
    QTest::newRow("letters are dropped") << "a2b5c"       << "25"          << "25"  << 25  << true;
    QTest::newRow("zero")                << "0"           << "0"           << "100" << 100 << false;
    QTest::newRow("leading zeros")       << "007"         << "007"         << "7"   << 7   << false;
    QTest::newRow("decimal")             << "1#5"         << "1#5"         << "100" << 100 << false;
    QTest::newRow("separator alone")     << "#"           << "#"           << "100" << 100 << false;
    QTest::newRow("empty")               << ""            << ""            << "100" << 100 << false;
    QTest::newRow("too large")           << "99999999999" << "99999999999" << "100" << 100 << false;
    // clang-format on
}

void TestChart::rangeBox()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(QString, applied);
    QFETCH(int, pageSize);
    QFETCH(bool, realDelay);
    const QString sep = w->DecimalSep().left(1);
    // Start from another page size, so a fall-back to 100 shows in the window.
    typeIntoRange(*w, QStringLiteral("40"));
    QTRY_COMPARE(window(*w), Window(1, 40));

    QTimer *delay = w->pnlChartParent->Timer_range;
    if (realDelay)
        delay->setInterval(1000);
    QSignalSpy ran(delay, &QTimer::timeout);
    typeIntoRange(*w, QString(keys).replace(QLatin1Char('#'), sep));
    QCOMPARE(w->pnlChartParent->edtRange->text(), QString(shown).replace(QLatin1Char('#'), sep));
    QVERIFY(delay->isActive());
    // Applied once, after the last key: the timer then stays off.
    QVERIFY(ran.wait(5000));
    QVERIFY(!delay->isActive());
    QCOMPARE(w->pnlChartParent->edtRange->text(), applied);
    QCOMPARE(window(*w), Window(1, pageSize));
}

void TestChart::rangeBoxWaitsForTheLastChange()
{
    // Each key starts the delay again. Held at an hour, the delay is seen to start over; then
    // let run out, it applies the last number only.
    QTimer *delay = w->pnlChartParent->Timer_range;
    const int held = 3600 * 1000;
    delay->setInterval(held);
    delay->setTimerType(Qt::PreciseTimer); // a coarse one's remaining time is rounded
    QTest::keyClick(w->pnlChartParent->edtRange, Qt::Key_End);
    QTest::keyClick(w->pnlChartParent->edtRange, Qt::Key_Backspace); // "10"
    QVERIFY(delay->isActive());
    QTRY_VERIFY(delay->remainingTime() < held - 100);
    QTest::keyClick(w->pnlChartParent->edtRange, Qt::Key_Backspace);    // "1"
    QTest::keyClicks(w->pnlChartParent->edtRange, QStringLiteral("5")); // "15"
    QVERIFY2(delay->remainingTime() > held - 100,
             qPrintable(QString::number(delay->remainingTime())));
    QCOMPARE(window(*w), Window(1, 100));
    QSignalSpy applied(delay, &QTimer::timeout);
    delay->setInterval(0);
    QVERIFY(applied.wait(5000));
    QCOMPARE(window(*w), Window(1, 15));
    QCOMPARE(w->pnlChartParent->edtRange->text(), QStringLiteral("15"));
    QVERIFY(!delay->isActive());
}

void TestChart::clear_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("page");
    QTest::addColumn<Window>("view");
    QTest::addColumn<int>("points"); // the line runs through

    // clang-format off
    QTest::newRow("yes")                  << "Yes" << ""     << "5" << Window(1, 100)   << 1;
    // Until the next reading the old page count stands: Next and Last move the number only.
    QTest::newRow("yes, next")            << "Yes" << "N"    << "2" << Window(1, 100)   << 1;
    QTest::newRow("yes, last, a reading") << "Yes" << "L +1" << "1" << Window(1, 100)   << 2;
    QTest::newRow("yes, a reading")       << "Yes" << "+1"   << "1" << Window(1, 100)   << 2;
    QTest::newRow("no")                   << "No"  << ""     << "5" << Window(401, 500) << 51;
    // clang-format on
}

void TestChart::clear()
{
    QFETCH(QString, answer);
    QFETCH(QString, then);
    feed(*w, 450);
    QCOMPARE(w->pnlChartParent->edtCurPage->text(), QStringLiteral("5"));
    pressOnNextModal(answer);
    click(w->pnlChartParent->btnNew);
    play(*w, then);
    QTEST(w->pnlChartParent->edtCurPage->text(), "page");
    QTEST(window(*w), "view");
    QTEST(int(drawn(*w).size()), "points");
    if (answer == QLatin1String("Yes"))
        QCOMPARE(drawn(*w).first(), QPointF(0, 0));
}

void TestChart::save_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");

    QTest::newRow("with extension") << QStringLiteral("trend.bmp") << QStringLiteral("trend.bmp");
    QTest::newRow("default extension") << QStringLiteral("trend") << QStringLiteral("trend.bmp");
}

void TestChart::save()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFile::remove(dir.filePath(written));
    feed(*w, 150);
    QCoreApplication::processEvents();
    answerSaveDialog(dir.filePath(typed));
    click(w->pnlChartParent->btnSave);

    QFile file(dir.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(2), QByteArray("BM"));
    file.close();
    const QImage image(file.fileName(), "BMP");
    QCOMPARE(image.size(),
             w->pnlChartParent->Chart1->size() * w->pnlChartParent->Chart1->devicePixelRatioF());
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
    const auto [white, blue] = whiteAndBlue(image);
    QVERIFY2(white > 0.6, qPrintable(QString::number(white)));
    // 50 readings across half the page: a line a couple of hundred pixels long.
    QVERIFY2(blue > 100, qPrintable(QString::number(blue)));
    QVERIFY(file.remove());
}

void TestChart::saveAsksBeforeReplacing_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("no") << QStringLiteral("No") << false;
    QTest::newRow("yes") << QStringLiteral("Yes") << true;
}

void TestChart::saveAsksBeforeReplacing()
{
    QFETCH(QString, answer);
    const QString name = dir.filePath(QStringLiteral("old.bmp"));
    {
        QFile old(name);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old picture");
    }
    feed(*w, 10);
    QString question;
    answerSaveDialog(name, [&](QWidget *box) {
        if (auto *mb = qobject_cast<QMessageBox *>(box)) {
            question = mb->text();
            mb->button(answer == QLatin1String("Yes") ? QMessageBox::Yes : QMessageBox::No)
                ->click();
        } else {
            box->close();
        }
    });
    click(w->pnlChartParent->btnSave);

    QVERIFY2(question.contains(QStringLiteral("old.bmp")), qPrintable(question));
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTEST(file.read(2) == QByteArray("BM"), "replaced");
}

void TestChart::saveFailureIsShown()
{
#ifdef Q_OS_WIN
    // A folder that is not there takes no picture.
    const QString name =
        QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/no-such-folder/chart.bmp"));
#else
    // No one may create files in /proc, so the picture cannot be written there.
    const QString name = QStringLiteral("/proc/lumetra-chart.bmp");
#endif
    QString shown;
    answerSaveDialog(name, [&](QWidget *box) {
        if (auto *mb = qobject_cast<QMessageBox *>(box))
            shown = mb->text();
        box->close();
    });
    click(w->pnlChartParent->btnSave);
    QVERIFY2(shown.contains(name), qPrintable(shown));
    QVERIFY(!QFile::exists(name));
}

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
