// Pictures of the panel for the documentation: the real main window receives real frames, and
// the panel is grabbed as it would be on screen. Usage: panelshots OUTPUT_DIR
#include "../support/frames.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlcdpanel.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const TTemporaryStateHome state;
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    TFrameFields ol = workedFields();
    ol.MainStatus = 3;
    ol.MainDecimals = 2;
    ol.SubMode = 3;
    ol.SubStatus = 3;
    ol.SubUnit = 1;
    ol.Hold = true;
    ol.Lcr = true;
    ol.Battery = 2;

    TFrameFields sorting = workedFields();
    sorting.Sorting = 10;
    sorting.MainStatus = 7;
    sorting.Relative = true;
    sorting.SubMode = 4;
    sorting.SubValue = 1234;
    sorting.SubDecimals = 2;
    sorting.SubUnit = 14;

    const struct
    {
        const char *file;
        TFrameFields frame;
    } shots[] = {
        {"panel-worked.png", workedFields()}, {"panel-ol.png", ol}, {"panel-sorting.png", sorting}};

    for (const auto &shot : shots) {
        TfrmMain w;
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            return 1;
        w.pnlLcd->ShowUsbMark(true);
        receive(w, EncodeFrame(shot.frame));
        QCoreApplication::processEvents();
        if (!w.pnlLcd->grab().save(out.filePath(QLatin1String(shot.file))))
            return 1;
    }
    return 0;
}
