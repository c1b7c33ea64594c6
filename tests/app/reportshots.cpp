// Pictures of the report for the documentation: the real window, connected to the simulated
// meter, with recorded rows; Print opens the preview, which is photographed as the screen shows
// it, and the preview's PDF button writes the PDF whose first page docs/ shows. With PAGE the
// page is typed into the preview's page box first, as a user goes to it.
// Usage: reportshots OUTPUT_DIR [SECONDS_IN_PREVIEW [ROWS [PAGE]]]
#include "../support/statehome.h"
#include "tcp2110.h"
#include "tfrmmain.h"
#include "trecordtable.h"
#include "treportpreview.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const TTemporaryStateHome state;
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1;
    const int rows = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 60;
    const QString page = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();

    TfrmMain w(TStartOptions{.Simulate = true});
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return 1;
    // Half a minute of the virtual meter's bench work, two frames a second, each recorded.
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    if (!w.CP21101->Connected())
        return 2;
    auto *table = w.findChild<TRecordTable *>(QStringLiteral("cds1"));
    if (!QTest::qWaitFor([&] { return table->RecordCount() >= rows; }, rows * 1000))
        return 2;

    int result = 3;
    QTimer::singleShot(500, [&] {
        auto *preview = qobject_cast<TReportPreview *>(QApplication::activeModalWidget());
        if (!preview)
            return;
        if (!page.isEmpty()) {
            for (QLineEdit *box : preview->findChildren<QLineEdit *>()) {
                if (qobject_cast<QComboBox *>(box->parentWidget()))
                    continue; // the zoom box
                box->setFocus();
                box->selectAll();
                QTest::keyClicks(box, page);
                QTest::keyClick(box, Qt::Key_Return);
            }
        }
        QTest::qWait(seconds * 1000);
        QScreen *screen = preview->screen();
        screen->grabWindow(0).save(out.filePath(QStringLiteral("report-preview.png")));
        result = preview->WritePdf(out.filePath(QStringLiteral("report.pdf"))) ? 0 : 4;
        preview->close();
    });
    QTest::mouseClick(w.Panel4->btnRecordPrint, Qt::LeftButton);
    w.CP21101->Close();
    return result;
}
