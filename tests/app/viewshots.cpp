// Shows an enlarged view of the real window, live against the simulated meter, and holds it
// open so the screen can be photographed; then the main window as the view gave it back, as long
// again. "statistics" instead shows the Statistics window over a batch of 240 capacitors and
// writes its summary page to SUMMARY.pdf when given.
// Usage: viewshots record|chart [SECONDS] | statistics [SECONDS [SUMMARY.pdf]]
#include "../support/partbatch.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"
#include "tfrmmain.h"
#include "tfrmstatistics.h"
#include "tsummaryreport.h"

#include <cmath>

#include <QApplication>
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
    QToolButton *open =
        view == QLatin1String("chart") ? w.pnlChartParent->btnFly : w.Panel4->btnRecordFly;
    QToolButton *close = view == QLatin1String("chart") ? w.pnlChartParent->btnChartZoomOut
                                                        : w.Panel4->btnGridZoomout;
    QTimer::singleShot(seconds * 1000, close, [close] { close->click(); });
    open->click();
    QTest::qWait(seconds * 1000);
    return 0;
}
