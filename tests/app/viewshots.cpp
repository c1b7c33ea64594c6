// Shows an enlarged view of the real window, live against the simulated meter, and holds it
// open so the screen can be photographed; then the main window as the view gave it back, as long
// again. "statistics" shows the main window with its Statistics window beside it instead.
// Usage: viewshots record|chart|statistics [SECONDS]
#include "../support/statehome.h"
#include "tfrmmain.h"

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
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    // A few pages of readings first, so the grid and the chart have something to show.
    QTest::qWait(4000);
    if (view == QLatin1String("statistics")) {
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
