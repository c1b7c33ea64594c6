// Pictures of the panel for the documentation: the real main window receives real frames, and
// the panel is grabbed as it would be on screen. Usage: panelshots OUTPUT_DIR
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlcdpanel.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

namespace {

TFrameFields worked()
{
    TFrameFields f;
    f.Auto = true;
    f.Battery = 3;
    f.Frequency = 2;
    f.MainMode = 2;
    f.MainValue = 1234;
    f.MainDecimals = 1;
    f.MainUnit = 10;
    f.SubMode = 1;
    f.SubValue = 12;
    f.SubDecimals = 3;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    TFrameFields ol = worked();
    ol.MainStatus = 3;
    ol.MainDecimals = 2;
    ol.SubMode = 3;
    ol.SubStatus = 3;
    ol.SubUnit = 1;
    ol.Hold = true;
    ol.Lcr = true;
    ol.Battery = 2;

    TFrameFields sorting = worked();
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
        {"panel-worked.png", worked()}, {"panel-ol.png", ol}, {"panel-sorting.png", sorting}};

    for (const auto &shot : shots) {
        TfrmMain w;
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            return 1;
        w.pnlLcd->ShowUsbMark(true);
        const QByteArray frame = EncodeFrame(shot.frame);
        w.CP21101ReceiveData(reinterpret_cast<const std::uint8_t *>(frame.constData()),
                             int(frame.size()));
        QCoreApplication::processEvents();
        if (!w.pnlLcd->grab().save(out.filePath(QLatin1String(shot.file))))
            return 1;
    }
    return 0;
}
