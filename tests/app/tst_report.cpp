// Print through the real window: the preview it opens, the link paused while it is open, and
// the PDF its tool-bar button saves; live against the simulated bridge library.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/pdftools.h"
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tcp2110.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "trecordtable.h"
#include "treportpreview.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace ModalHelper;

namespace {

const QString N1 =
    QStringLiteral("No device found.  Please ensure that you have proper USB connection.");

// Presses Print and runs inside on the preview once it is up; the preview is closed after.
// False when no preview came.
bool printWith(TfrmMain &w, const std::function<void(TReportPreview *)> &inside)
{
    bool seen = false;
    onNextModal([&](QWidget *modal) {
        auto *preview = qobject_cast<TReportPreview *>(modal);
        if (preview) {
            seen = true;
            inside(preview);
        }
        modal->close();
    });
    QTest::mouseClick(w.Panel4->btnRecordPrint, Qt::LeftButton);
    return seen;
}

void feedRows(TfrmMain &w, int rows)
{
    for (int i = 0; i < rows; ++i)
        receive(w, WorkedFrame);
}

TRecordTable &table(TfrmMain &w)
{
    return *w.findChild<TRecordTable *>(QStringLiteral("cds1"));
}

QString noticeText(QWidget *dlg)
{
    auto *label = dlg->findChild<QLabel *>(QStringLiteral("Message"));
    return label ? label->text() : QString();
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void previewShowsTheTable_data();
    void previewShowsTheTable();
    void readingPausedWhilePreviewOpen();
    void watchdogAroundThePreview_data();
    void watchdogAroundThePreview();
    void pdfButtonSavesThePreparedReport_data();
    void pdfButtonSavesThePreparedReport();
    void pdfFailureIsTold();
    void pageBoxLeavesThePagingButtons_data();
    void pageBoxLeavesThePagingButtons();

private:
    QTemporaryDir Home;
    SimBridge sim;
    TStartOptions simulate{.Simulate = true};
};

void TestReport::initTestCase()
{
    // The window's state and the file dialog's remembered places stay out of the user's files.
    QVERIFY(Home.isValid());
    qputenv(StateHomeVariable, Home.filePath(QStringLiteral("state")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", Home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", Home.filePath(QStringLiteral("data")).toLocal8Bit());
}

void TestReport::init()
{
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
}

void TestReport::previewShowsTheTable_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("pagesAfter50More");
    QTest::newRow("empty table") << 0 << 1 << 2;
    QTest::newRow("one full page") << 41 << 1 << 3;
    QTest::newRow("100 records") << 100 << 3 << 4;
}

void TestReport::previewShowsTheTable()
{
    QFETCH(int, rows);
    QFETCH(int, pages);
    QFETCH(int, pagesAfter50More);
    TfrmMain w(simulate);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    feedRows(w, rows);
    const auto look = [](TReportPreview *preview, int expectedPages) {
        QVERIFY(preview->isModal());
        QVERIFY(preview->windowState() & Qt::WindowMaximized);
        auto *view = preview->findChild<QPrintPreviewWidget *>();
        QVERIFY(view);
        QCOMPARE(view->pageCount(), expectedPages);
        QCOMPARE(view->currentPage(), 1);
        QCOMPARE(view->zoomMode(), QPrintPreviewWidget::CustomZoom);
        QCOMPARE(view->zoomFactor(), 1.0);
        auto *zoom = preview->findChild<QComboBox *>();
        QVERIFY(zoom);
        QCOMPARE(zoom->currentText().remove(QStringLiteral(".0")), QStringLiteral("100%"));
        // The report's own page: A4 portrait, 5 mm left and right, 10 mm top and bottom.
        const QPageLayout page = preview->printer()->pageLayout();
        QCOMPARE(page.pageSize().id(), QPageSize::A4);
        QCOMPARE(page.orientation(), QPageLayout::Portrait);
        QCOMPARE(page.margins(QPageLayout::Millimeter), QMarginsF(5, 10, 5, 10));
        // Besides printing, page setup, zoom and paging: saving as PDF.
        auto *bar = preview->findChild<QToolBar *>();
        QVERIFY(bar && preview->actSavePdf);
        QVERIFY(bar->actions().contains(preview->actSavePdf));
        QVERIFY(preview->actSavePdf->isEnabled());
    };
    QVERIFY(printWith(w, [&](TReportPreview *preview) { look(preview, pages); }));
    QCOMPARE(table(w).RecordCount(), qsizetype(rows));
    // Pressed again, the report is made afresh from what the table holds now.
    feedRows(w, 50);
    QVERIFY(printWith(w, [&](TReportPreview *preview) { look(preview, pagesAfter50More); }));
}

void TestReport::readingPausedWhilePreviewOpen()
{
    TfrmMain w(simulate);
    w.show();
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    // A frame every 20 ms, each one recorded.
    QCOMPARE(sim.SetFramePeriod(SimBridge::DefaultSerial, 20), HID_UART_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(table(w).RecordCount() >= 2, 5000);
    qsizetype atOpen = -1, atClose = -1;
    bool pausedInside = false;
    QVERIFY(printWith(w, [&](TReportPreview *) {
        atOpen = table(w).RecordCount();
        pausedInside = w.CP21101->ReadPause();
        QTest::qWait(300); // fifteen frames' time: none may be taken
        atClose = table(w).RecordCount();
    }));
    QCOMPARE(atClose, atOpen);
    QVERIFY(pausedInside);
    QVERIFY(!w.CP21101->ReadPause());
    QTRY_VERIFY_WITH_TIMEOUT(table(w).RecordCount() > atClose, 5000);
}

void TestReport::watchdogAroundThePreview_data()
{
    QTest::addColumn<bool>("connect");
    QTest::addColumn<bool>("unplugInside");
    QTest::addColumn<bool>("watchdogAfter");
    QTest::newRow("not connected") << false << false << false;
    QTest::newRow("connected: a fresh 10 s after") << true << false << true;
    QTest::newRow("unplugged while open") << true << true << false;
}

void TestReport::watchdogAroundThePreview()
{
    QFETCH(bool, connect);
    QFETCH(bool, unplugInside);
    QFETCH(bool, watchdogAfter);
    // A silent meter: nothing but the print handler can restart the watchdog.
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);
    TfrmMain w(simulate);
    w.show();
    if (connect) {
        QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
        QVERIFY(w.CP21101->Connected());
        QVERIFY(w.timerDisconectedUSB->isActive());
        // A second of the watchdog's period used up, so a fresh start shows; to the
        // millisecond, which a coarse timer's remaining time is not.
        w.timerDisconectedUSB->setTimerType(Qt::PreciseTimer);
        w.timerDisconectedUSB->start();
        QTRY_VERIFY_WITH_TIMEOUT(w.timerDisconectedUSB->remainingTime() < 9000, 5000);
    }
    const int remainingBefore = w.timerDisconectedUSB->remainingTime();
    bool watchdogInside = true;
    QStringList notices;
    QVERIFY(printWith(w, [&](TReportPreview *) {
        watchdogInside = w.timerDisconectedUSB->isActive();
        if (unplugInside) {
            onNextModal([&](QWidget *dlg) {
                notices << noticeText(dlg);
                dlg->close();
            });
            QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
            QTRY_VERIFY(!w.CP21101->Connected());
        }
    }));
    QVERIFY(!watchdogInside);
    QCOMPARE(w.timerDisconectedUSB->isActive(), watchdogAfter);
    if (watchdogAfter)
        QVERIFY2(w.timerDisconectedUSB->remainingTime() > remainingBefore,
                 qPrintable(QStringLiteral("%1 ms left after, %2 before")
                                .arg(w.timerDisconectedUSB->remainingTime())
                                .arg(remainingBefore)));
    QCOMPARE(notices, unplugInside ? QStringList{N1} : QStringList{});
    if (!unplugInside)
        return;
    // Plugged in again and connected, the new link reads: the pause ended with the old one.
    QCOMPARE(sim.Plug(SimBridge::DefaultSerial, 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QTRY_COMPARE(w.Panel3->cbbDevices->count(), 1);
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    QVERIFY(!w.CP21101->ReadPause());
    const qsizetype before = table(w).RecordCount();
    sim.feed(SimBridge::DefaultSerial, WorkedFrame);
    QTRY_COMPARE_WITH_TIMEOUT(table(w).RecordCount(), before + 1, 5000);
}

void TestReport::pdfButtonSavesThePreparedReport_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("name with .pdf") << "bench.pdf"
                                    << "bench.pdf";
    QTest::newRow("name without suffix") << "bench"
                                         << "bench.pdf";
}

void TestReport::pdfButtonSavesThePreparedReport()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QTemporaryDir out;
    TfrmMain w(simulate);
    w.show();
    feedRows(w, 100);
    bool asked = false;
    QVERIFY(printWith(w, [&](TReportPreview *preview) {
        auto *bar = preview->findChild<QToolBar *>();
        QWidget *button = bar ? bar->widgetForAction(preview->actSavePdf) : nullptr;
        QVERIFY(button);
        onNextModal([&](QWidget *dlg) {
            auto *files = qobject_cast<QFileDialog *>(dlg);
            auto *name = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!files || !name) {
                dlg->close();
                return;
            }
            asked = true;
            name->setText(out.filePath(typed));
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(button, Qt::LeftButton);
    }));
    QVERIFY(asked);
    const QString file = out.filePath(saved);
    QTRY_VERIFY(QFileInfo::exists(file));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{saved});
    QCOMPARE(PdfTools::pageCount(file), 3);
    QVERIFY(PdfTools::pageText(file, 1).contains(QStringLiteral("Data")));
    QVERIFY(PdfTools::pageText(file, 3).contains(QStringLiteral("3/3")));
}

void TestReport::pdfFailureIsTold()
{
    QTemporaryDir out;
    TfrmMain w(simulate);
    w.show();
    feedRows(w, 3);
    const QString target = out.filePath(QStringLiteral("gone/bench.pdf"));
    QString told;
    bool result = true;
    QVERIFY(printWith(w, [&](TReportPreview *preview) {
        onNextModal([&](QWidget *dlg) {
            told = noticeText(dlg);
            dlg->close();
        });
        result = preview->WritePdf(target);
    }));
    QVERIFY(!result);
    QVERIFY2(told.contains(QDir::toNativeSeparators(target)), qPrintable(told));
    QVERIFY(QDir(out.path()).isEmpty());
}

void TestReport::pageBoxLeavesThePagingButtons_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("page");
    // Enabled: first, previous, next, last.
    QTest::addColumn<QList<bool>>("enabled");
    QTest::newRow("a page in the middle") << "2" << 2 << QList<bool>{true, true, true, true};
    QTest::newRow("the first page") << "1" << 1 << QList<bool>{false, false, true, true};
    QTest::newRow("the last page") << "3" << 3 << QList<bool>{true, true, false, false};
}

void TestReport::pageBoxLeavesThePagingButtons()
{
    QFETCH(QString, typed);
    QFETCH(int, page);
    QFETCH(QList<bool>, enabled);
    TfrmMain w(simulate);
    w.show();
    feedRows(w, 120); // three pages
    QVERIFY(printWith(w, [&](TReportPreview *preview) {
        auto *view = preview->findChild<QPrintPreviewWidget *>();
        QCOMPARE(view->pageCount(), 3);
        QLineEdit *box = nullptr;
        for (QLineEdit *edit : preview->findChildren<QLineEdit *>())
            if (!qobject_cast<QComboBox *>(edit->parentWidget()))
                box = edit;
        QVERIFY(box);
        QList<QAction *> paging;
        for (const char *name : {"First page", "Previous page", "Next page", "Last page"}) {
            QAction *found = nullptr;
            for (QAction *a : preview->findChildren<QAction *>())
                if (a->text() == QLatin1String(name))
                    found = a;
            QVERIFY2(found, name);
            paging << found;
        }
        // As a user types a page and presses Enter.
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_COMPARE(view->currentPage(), page);
        QCOMPARE(box->text(), QString::number(page));
        QList<bool> now;
        for (const QAction *a : paging)
            now << a->isEnabled();
        QCOMPARE(now, enabled);
        // And the buttons page on from there.
        if (enabled[2]) {
            paging[2]->trigger();
            QTRY_COMPARE(view->currentPage(), page + 1);
        }
    }));
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
