// Pictures of the report for the documentation: the real window, connected to the simulated
// meter, with recorded rows; Print opens the preview, which is photographed as the screen shows
// it, and the preview's PDF button writes the PDF whose first page docs/ shows.
// Usage: reportshots OUTPUT_DIR [SECONDS_IN_PREVIEW]
#include "../support/frames.h"
#include "../support/windowfeed.h"

#include "tcp2110.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "treportpreview.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1;

    TfrmMain w(TStartOptions{true});
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return 1;
    // A bench session: a capacitor wandering in its last digit, then the probe lifted.
    for (int i = 0; i < 60; ++i) {
        TFrameFields f = workedFields();
        f.MainValue = 1230 + (i * 7) % 9;
        f.SubValue = 11 + i % 3;
        if (i >= 50) {
            f.MainStatus = 3;
            f.SubStatus = 3;
        }
        receive(w, EncodeFrame(f));
    }
    QTest::mouseClick(w.btnConnect, Qt::LeftButton);
    if (!w.CP21101->Connected())
        return 2;

    int result = 3;
    QTimer::singleShot(500, [&] {
        auto *preview = qobject_cast<TReportPreview *>(QApplication::activeModalWidget());
        if (!preview)
            return;
        QTest::qWait(seconds * 1000);
        QScreen *screen = preview->screen();
        screen->grabWindow(0).save(out.filePath(QStringLiteral("report-preview.png")));
        result = preview->WritePdf(out.filePath(QStringLiteral("report.pdf"))) ? 0 : 4;
        preview->close();
    });
    QTest::mouseClick(w.btnRecordPrint, Qt::LeftButton);
    w.CP21101->Close();
    return result;
}
