// Shows an enlarged view of the real window, live against the simulated meter, and holds it
// open so the screen can be photographed; then the main window as the view gave it back, as long
// again. "statistics" instead shows the Statistics window over a batch of 240 capacitors and
// writes its summary page to SUMMARY.pdf when given.
// "trend" shows the Trend window over 3,000 readings of a capacitor that drifts, with a
// stretch of resistances and a few OL among them, its markers set.
// "main" shows the main window alone, connected, with 25 readings a page; "beside" the main
// window with its Statistics window beside it.
// Usage: viewshots record|chart [SECONDS] | statistics [SECONDS [SUMMARY.pdf]] | trend [SECONDS]
//        | main [SECONDS] | beside [SECONDS]
#include "../support/partbatch.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tfrmstatistics.h"
#include "tfrmtrend.h"
#include "tsummaryreport.h"
#include "ttrendplot.h"

#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const TTemporaryStateHome state;
    // The enlarged view has no title of its own; the desktop shows the program's name there.
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    const QString view = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("record");
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10;

    TfrmMain w(TStartOptions{.Simulate = true});
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return 1;
    if (view == QLatin1String("main")) {
        w.pnlChartParent->edtRange->setText(QStringLiteral("25"));
        QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
        QTest::qWait(seconds * 1000);
        return 0;
    }
    if (view == QLatin1String("trend")) {
        TFrameFields f;
        f.Auto = true;
        f.Battery = 3;
        f.Frequency = 2;
        for (int i = 0; i < 3000; ++i) {
            const bool resistor = i >= 1800 && i < 2100;
            f.MainMode = resistor ? 3 : 2;
            f.MainUnit = resistor ? 2 : 10; // kOhm or nF
            f.MainDecimals = resistor ? 3 : 2;
            f.MainValue = resistor ? 4700 + (i * 7) % 5
                                   : int(10000 + 40 * std::sin(i / 150.0) + (i * 37 % 11) - 5
                                         + (i > 2400 ? (i - 2400) / 10 : 0));
            f.MainStatus = (i % 700 == 350) ? 3 : 0;
            f.SubMode = 1; // D
            f.SubDecimals = 4;
            f.SubValue = 120 + int(10 * std::cos(i / 90.0)) + (i * 13 % 5);
            receive(w, EncodeFrame(f));
        }
        w.ShowTrend();
        w.Trend_->cbSecondary->setChecked(true);
        QTest::qWait(300);
        TTrendPlot *plot = w.Trend_->Plot;
        const auto x = [&](double record) {
            return TTrendPainter::xToPixel(plot->view(), plot->currentLayout(), record);
        };
        plot->placeMarker(x(400));
        plot->placeMarker(x(1300));
        QTest::mouseMove(plot, QPoint(int(x(2600)), plot->height() / 2));
        QTest::qWait(seconds * 1000);
        return 0;
    }
    if (view == QLatin1String("statistics")) {
        // 240 capacitors of a 100 nF batch: a bell about 100.3 nF, 1.1 nF wide, a few strays.
        for (int i = 0; i < 240; ++i) {
            const double u1 = (i * 0.618034 + 0.1) - std::floor(i * 0.618034 + 0.1);
            const double u2 = (i * 0.414214 + 0.3) - std::floor(i * 0.414214 + 0.3);
            double nf =
                100.3
                + 1.1 * std::sqrt(-2 * std::log(std::max(u1, 1e-3))) * std::cos(2 * M_PI * u2);
            if (i % 60 == 7)
                nf -= 4.5;
            receive(w, partFrame({.Nf = std::round(nf * 10) / 10}));
        }
        w.ShowStatistics();
        QTest::qWait(1500);
        if (argc > 3)
            SaveSummaryPdf(w.Statistics_->Summary(), QString::fromLocal8Bit(argv[3]), nullptr);
        QTest::qWait(seconds * 1000);
        return 0;
    }
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    // A few pages of readings first, so the grid and the chart have something to show.
    QTest::qWait(4000);
    if (view == QLatin1String("beside")) {
        w.ShowStatistics();
        QTest::qWait(seconds * 1000);
        return 0;
    }
    QToolButton *open =
        view == QLatin1String("chart") ? w.pnlChartParent->btnFly : w.Panel4->btnRecordFly;
    QToolButton *close = view == QLatin1String("chart") ? w.pnlChartParent->btnChartZoomOut
                                                        : w.Panel4->btnGridZoomout;
    QTimer::singleShot(seconds * 1000, close, [close] { close->click(); });
    open->click();
    QTest::qWait(seconds * 1000);
    return 0;
}
