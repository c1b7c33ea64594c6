#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

using namespace ModalHelper;
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlcdpanel.h"
#include "ttoplevel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void caption();
    void inventory_data();
    void inventory();
    void toolButtons_data();
    void toolButtons();
    void timers_data();
    void timers();
    void nonVisualComponents();
    void splitterResizesTheLeftColumn();
    void splitterKeepsTheLcdPanelWhole_data();
    void splitterKeepsTheLcdPanelWhole();
    void keysLeaveTheFilteredBoxes_data();
    void keysLeaveTheFilteredBoxes();
    void gridColumns();

    void receivedFramesAreDecoded();
    void everyBlockRestartsTheWatchdog();
    void samplingIntervalDefersExtraction();
    void serialPortExtractsAtOnce();

    void closeAnsweredNoKeepsEverything();
    void closeAnsweredYesCloses();

    void fitOnTheScreen_data();
    void fitOnTheScreen();
    void placeBeside_data();
    void placeBeside();

private:
    TTemporaryStateHome state_; // the windows keep their journals here
    TfrmMain *w = nullptr;
};

void TestMainWindow::init()
{
    w = new TfrmMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestMainWindow::cleanup()
{
    delete w;
    w = nullptr;
}

void TestMainWindow::caption()
{
    QCOMPARE(w->windowTitle(), QStringLiteral("Lumetra v1.01"));
    QCOMPARE(w->size(), QSize(924, 623));
    QVERIFY(!w->windowIcon().isNull());
}

void TestMainWindow::inventory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry"); // width or height -1: not fixed by the layout
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");

    auto row = [](const char *name, const char *parent, QRect g, bool visible, QString text = {}) {
        QTest::newRow(name) << QString(name) << QString(parent) << g << visible << text;
    };
    row("Panel3", "frmMain", QRect(0, 0, 924, 33), true);
    row("btnConnect", "Panel3", QRect(7, 3, 106, 24), true, "Connection");
    row("cbbDevices", "Panel3", QRect(119, 5, 314, 21), false);
    row("Panel1", "Splitter1", QRect(0, 0, 457, -1), true);
    row("Panel2", "Panel1", QRect(0, 0, 457, 249), true);
    row("pnlLcd", "Panel2", QRect(2, 2, 453, 245), true);
    row("Panel4", "Panel1", QRect(0, 249, 457, -1), true);
    row("ToolBar4", "Panel4", QRect(1, 1, -1, 26), true);
    row("cbRepeat", "ToolBar4", QRect(0, 2, 89, 22), true, "Repeat");
    row("cbInterval", "ToolBar4", QRect(89, 2, 104, 22), true, "Sampling Interval");
    row("edtRecInterval", "ToolBar4", QRect(193, 2, 40, 22), true, "1");
    row("TntLabel1", "ToolBar4", QRect(233, 2, 16, 22), true, " S  ");
    row("btnRecordNew", "ToolBar4", QRect(257, 2, 23, 22), true);
    row("btnRecordOpen", "ToolBar4", QRect(280, 2, 23, 22), true);
    row("btnRecordSave", "ToolBar4", QRect(303, 2, 23, 22), true);
    row("btnRecordPrint", "ToolBar4", QRect(326, 2, 23, 22), true);
    row("btnRecordFly", "ToolBar4", QRect(349, 2, 23, 22), true);
    row("btnGridZoomout", "ToolBar4", QRect(-1, -1, 23, 22), false);
    row("DBGrid1", "Panel4", QRect(1, 27, 455, -1), true);
    row("Panel5", "Splitter1", QRect(460, 0, 464, -1), true);
    row("pnlChartParent", "Panel5", QRect(2, 2, 460, -1), true);
    row("ToolBar2", "pnlChartParent", QRect(0, 0, 460, 27), true);
    row("edtRange", "ToolBar2", QRect(49, 2, 35, 22), true, "100");
    row("btnFirst", "ToolBar2", QRect(92, 2, 23, 22), true);
    row("btnPrevious", "ToolBar2", QRect(115, 2, 23, 22), true);
    row("edtCurPage", "ToolBar2", QRect(138, 2, 35, 22), true, "1");
    row("btnNext", "ToolBar2", QRect(173, 2, 23, 22), true);
    row("btnLast", "ToolBar2", QRect(196, 2, 23, 22), true);
    row("btnNew", "ToolBar2", QRect(227, 2, 23, 22), true);
    row("btnSave", "ToolBar2", QRect(250, 2, 23, 22), true);
    row("btnFly", "ToolBar2", QRect(273, 2, 23, 22), true);
    row("btnChartZoomOut", "ToolBar2", QRect(-1, -1, 23, 22), false);
    row("Chart1", "pnlChartParent", QRect(0, 27, 460, -1), true);
}

void TestMainWindow::inventory()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(bool, visible);
    QFETCH(QString, text);

    auto *c = w->findChild<QWidget *>(name);
    QVERIFY2(c, qPrintable(name));
    QVERIFY(c->parentWidget());
    QCOMPARE(c->parentWidget()->objectName(), parent);
    QCOMPARE(c->isVisibleTo(w), visible);
    const QRect g = c->geometry();
    if (geometry.x() >= 0)
        QCOMPARE(g.x(), geometry.x());
    if (geometry.y() >= 0)
        QCOMPARE(g.y(), geometry.y());
    if (geometry.width() >= 0)
        QCOMPARE(g.width(), geometry.width());
    if (geometry.height() >= 0)
        QCOMPARE(g.height(), geometry.height());
    if (!text.isNull()) {
        if (auto *b = qobject_cast<QAbstractButton *>(c))
            QCOMPARE(b->text(), text);
        else if (auto *e = qobject_cast<QLineEdit *>(c))
            QCOMPARE(e->text(), text);
        else if (auto *l = qobject_cast<QLabel *>(c))
            QCOMPARE(l->text(), text);
        else
            QFAIL("control with a text of unknown kind");
    }
}

void TestMainWindow::toolButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint");

    // Each with the key that does the same.
    for (auto [name, hint] : {std::pair{"btnRecordNew", "Clear (Ctrl+L)"},
                              {"btnRecordOpen", "Open (Ctrl+O)"},
                              {"btnRecordSave", "Save (Ctrl+S)"},
                              {"btnRecordPrint", "Print (Ctrl+P)"},
                              {"btnRecordFly", "Enlarge (Ctrl+E)"},
                              {"btnGridZoomout", "Back (Esc)"},
                              {"btnFirst", "First (Home)"},
                              {"btnPrevious", "Previous (PgUp)"},
                              {"btnNext", "Next (PgDown)"},
                              {"btnLast", "Last (End)"},
                              {"btnNew", "Clear (Ctrl+L)"},
                              {"btnSave", "Save (Ctrl+Shift+S)"},
                              {"btnFly", "Enlarge (Ctrl+Shift+E)"},
                              {"btnChartZoomOut", "Back (Esc)"}})
        QTest::newRow(name) << QString(name) << QString(hint);
}

void TestMainWindow::toolButtons()
{
    QFETCH(QString, name);
    QFETCH(QString, hint);
    auto *b = w->findChild<QToolButton *>(name);
    QVERIFY(b);
    QCOMPARE(b->toolTip(), hint);
    QVERIFY(!b->icon().isNull());
    // Icon only: no caption beside it, and the icon really has pixels at tool-bar size.
    QVERIFY(b->text().isEmpty());
    QImage img = b->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    bool painted = false;
    for (int y = 0; y < img.height() && !painted; ++y)
        for (int x = 0; x < img.width() && !painted; ++x)
            painted = qAlpha(img.pixel(x, y)) > 0;
    QVERIFY(painted);
}

void TestMainWindow::timers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("interval");
    QTest::newRow("watchdog") << "timerDisconectedUSB" << 10000;
    QTest::newRow("range") << "Timer_range" << 1000;
    QTest::newRow("input delay") << "timerInputDelay" << 1000;
    QTest::newRow("interval") << "timerInterval" << 1000;
}

void TestMainWindow::timers()
{
    QFETCH(QString, name);
    QFETCH(int, interval);
    auto *t = w->findChild<QTimer *>(name);
    QVERIFY(t);
    QCOMPARE(t->interval(), interval);
    QVERIFY(!t->isActive());
}

void TestMainWindow::nonVisualComponents()
{
    for (const char *name : {"cds1", "Data1", "frxReport1", "frxDBDataset1", "OpenDialog1",
                             "SaveDialog2", "SavePictureDialog1", "CP21101", "CComm1"})
        QVERIFY2(w->findChild<QObject *>(name), name);
    QVERIFY(w->Panel4->cbRepeat->isChecked());
    QVERIFY(!w->Panel4->cbInterval->isChecked());
    QVERIFY(w->pnlChartParent->edtCurPage->isReadOnly());
    QVERIFY(w->Panel3->btnConnect->isCheckable());
    QVERIFY(!w->Panel3->btnConnect->isChecked());
}

void TestMainWindow::splitterResizesTheLeftColumn()
{
    QCOMPARE(w->Splitter1->handleWidth(), 3);
    w->Splitter1->setSizes({600, 924 - 600 - 3});
    QCOMPARE(w->Panel1->width(), 600);
    QCOMPARE(w->Panel5->width(), 321);
    QCOMPARE(w->pnlLcd->width(), 596); // the panel fills its widened parent
}

// However far the splitter is dragged left, the column keeps the LCD panel's own width, so
// every label of the panel stays whole.
void TestMainWindow::splitterKeepsTheLcdPanelWhole_data()
{
    QTest::addColumn<int>("left");
    QTest::newRow("to the window's edge") << 0;
    QTest::newRow("a little narrower") << 450;
}

void TestMainWindow::splitterKeepsTheLcdPanelWhole()
{
    QFETCH(int, left);
    receive(*w, WorkedFrame); // a reading in nF, the main unit label at its widest
    QSplitterHandle *handle = w->Splitter1->handle(1);
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip + QPoint(left - w->Panel1->width(), 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(left - w->Panel1->width(), 0));
    w->Splitter1->setSizes({left, 924 - left - 3});
    QCOMPARE(w->Panel1->width(), 457);
    for (auto *label : w->pnlLcd->findChildren<QLabel *>())
        if (label->isVisibleTo(w->pnlLcd))
            QVERIFY2(w->pnlLcd->rect().contains(label->geometry()),
                     qPrintable(label->objectName()));
    auto *unit = w->pnlLcd->findChild<QLabel *>(QStringLiteral("lcdMUnit"));
    QVERIFY(unit);
    QCOMPARE(unit->text(), QStringLiteral("nF"));
}

// Tab, Shift+Tab, Return and Escape are no characters typed into the sampling seconds or the
// page size: they pass the boxes' key filters and do what they do everywhere.
void TestMainWindow::keysLeaveTheFilteredBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    for (const char *box : {"edtRecInterval", "edtRange"})
        for (const auto &[name, key] :
             std::initializer_list<std::pair<const char *, int>>{{"Tab", Qt::Key_Tab},
                                                                 {"Shift+Tab", Qt::Key_Backtab},
                                                                 {"Return", Qt::Key_Return},
                                                                 {"Enter", Qt::Key_Enter},
                                                                 {"Escape", Qt::Key_Escape}})
            QTest::addRow("%s, %s", box, name) << QString::fromLatin1(box) << key;
}

void TestMainWindow::keysLeaveTheFilteredBoxes()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    auto *edit = w->findChild<QLineEdit *>(box);
    QVERIFY(edit);
    QApplication::setActiveWindow(w);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    // A key the box does not use goes on to its parent; one it uses (Tab) moves the focus.
    int reachedParent = 0;
    struct Spy : QObject
    {
        int *count;
        int key;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == key)
                ++*count;
            return false;
        }
    } spy;
    spy.count = &reachedParent;
    spy.key = key;
    edit->parentWidget()->installEventFilter(&spy);
    bool returnPressed = false;
    connect(edit, &QLineEdit::returnPressed, this, [&] { returnPressed = true; });
    QTest::keyClicks(edit, QStringLiteral("5"));
    const QString before = edit->text();
    const Qt::KeyboardModifiers shift = key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;
    QTest::keyClick(edit, Qt::Key(key), shift);
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        QVERIFY(!edit->hasFocus());
        // What is typed next lands in the next box, not in this one.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("6"));
        QCOMPARE(edit->text(), before);
    } else {
        QCOMPARE(reachedParent, 1);
        QCOMPARE(returnPressed, key != Qt::Key_Escape);
        QCOMPARE(edit->text(), before);
    }
}

void TestMainWindow::gridColumns()
{
    const QStringList titles = {"NO",    "Time",   "MMode", "MValue", "MUnit",
                                "SMode", "SValue", "SUnit", "Freq"};
    const int widths[] = {36, 103, 43, 43, 35, 39, 40, 34};
    auto *model = w->Panel4->DBGrid1->model();
    QVERIFY(model);
    QCOMPARE(model->columnCount(), 9);
    for (int c = 0; c < 9; ++c)
        QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
    for (int c = 0; c < 8; ++c)
        QCOMPARE(w->Panel4->DBGrid1->columnWidth(c), widths[c]);
    QVERIFY(w->Panel4->DBGrid1->columnWidth(8) > widths[1]);
    QVERIFY(w->Panel4->DBGrid1->editTriggers() == QAbstractItemView::NoEditTriggers);
    QCOMPARE(w->Panel4->DBGrid1->selectionBehavior(), QAbstractItemView::SelectRows);
}

void TestMainWindow::receivedFramesAreDecoded()
{
    receive(*w, WorkedFrame.left(9));
    QVERIFY(w->Decoder().State().MainText.isEmpty());
    receive(*w, WorkedFrame.mid(9));
    QCOMPARE(w->Decoder().State().MainText, w->DecimalSep() == "," ? "123,4" : "123.4");
    QCOMPARE(w->Decoder().State().SubValue, 12);
    QVERIFY(w->Decoder().RxText().isEmpty());
}

void TestMainWindow::everyBlockRestartsTheWatchdog()
{
    QVERIFY(!w->timerDisconectedUSB->isActive());
    w->timerDisconectedUSB->setInterval(300); // the 10 s period, shortened for the test
    QSignalSpy fired(w->timerDisconectedUSB, &QTimer::timeout);
    receive(*w, WorkedFrame);
    QVERIFY(w->timerDisconectedUSB->isActive());
    for (int i = 0; i < 4; ++i) { // blocks every 150 ms keep the watchdog from ever firing
        QTest::qWait(150);
        receive(*w, WorkedFrame);
    }
    QCOMPARE(fired.count(), 0);
    pressOnNextModal(QStringLiteral("OK"));            // the silence notice
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 1, 2000); // silence: it fires
    QTRY_VERIFY(!w->timerDisconectedUSB->isActive());
}

void TestMainWindow::samplingIntervalDefersExtraction()
{
    const auto frame = [](int mainValue) {
        TFrameFields f = workedFields();
        f.MainValue = mainValue;
        return EncodeFrame(f);
    };
    w->timerInterval->setInterval(3600 * 1000); // ticks by hand below
    w->timerInterval->start();
    receive(*w, frame(1) + frame(2));
    receive(*w, frame(3));
    QVERIFY(w->Decoder().State().MainText.isEmpty());
    QCOMPARE(w->Decoder().RxText().size(), 3 * 34);
    w->timerIntervalTimer();
    QCOMPARE(w->Decoder().State().MainValue, 3); // the tick shows the newest frame
    QVERIFY(w->Decoder().RxText().isEmpty());    // and leaves none behind to lag on
    w->timerInterval->stop();
}

void TestMainWindow::serialPortExtractsAtOnce()
{
    w->timerInterval->setInterval(3600 * 1000);
    w->timerInterval->start();
    w->CComm1ReceiveData(reinterpret_cast<const std::uint8_t *>(WorkedFrame.constData()),
                         int(WorkedFrame.size()));
    QVERIFY(!w->Decoder().State().MainText.isEmpty());
    QVERIFY(!w->timerDisconectedUSB->isActive()); // the serial path leaves the watchdog alone
    w->timerInterval->stop();
}

void TestMainWindow::closeAnsweredNoKeepsEverything()
{
    receive(*w, WorkedFrame);
    QVERIFY(w->timerDisconectedUSB->isActive());
    pressOnNextModal(QStringLiteral("No"));
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QVERIFY(w->timerDisconectedUSB->isActive());
    QCOMPARE(w->Decoder().State().MainValue, 1234);
}

void TestMainWindow::closeAnsweredYesCloses()
{
    QString question;
    onNextModal([&question](QWidget *dlg) {
        if (auto *label = dlg->findChild<QLabel *>(QStringLiteral("Message")))
            question = label->text();
        if (auto *yes = dlg->findChild<QAbstractButton *>(QStringLiteral("Yes")))
            yes->click();
    });
    QVERIFY(w->close());
    QVERIFY(!w->isVisible());
    QCOMPARE(question, QStringLiteral("Are you sure that you want to quit this application?"));
}

void TestMainWindow::fitOnTheScreen_data()
{
    QTest::addColumn<QSize>("area"); // the screen's free area, in the window's pixels
    QTest::addColumn<bool>("maximise");
    QTest::addColumn<bool>("scroll");
    QTest::newRow("100 %, 1280 x 1024") << QSize(1280, 994) << false << false;
    QTest::newRow("100 %, 1024 x 768") << QSize(1024, 738) << false << false;
    QTest::newRow("150 %, 1366 x 768") << QSize(910, 492) << true << false;
    QTest::newRow("200 %, 1280 x 900") << QSize(640, 435) << true << true;
    QTest::newRow("200 %, 1920 x 1080") << QSize(960, 525) << true << false;
}

void TestMainWindow::fitOnTheScreen()
{
    QFETCH(QSize, area);
    QFETCH(bool, maximise);
    QFETCH(bool, scroll);
    // The window's drawn size and its panels' least one, each with its frame.
    const QSize drawn = QSize(924, 623) + FrameAllowance;
    const QSize least = w->minimumSizeHint() + FrameAllowance;
    const TWindowFit fit = FitWindow(drawn, least, area);
    QCOMPARE(fit.Maximise, maximise);
    QCOMPARE(fit.Scroll, scroll);
}

void TestMainWindow::placeBeside_data()
{
    QTest::addColumn<QRect>("anchor"); // the main window's frame
    QTest::addColumn<bool>("mayMove");
    QTest::addColumn<QSize>("outer"); // the Statistics window's
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("window");
    QTest::addColumn<QPoint>("anchorAfter");
    const QRect wide(0, 0, 1920, 1040), narrow(0, 0, 1280, 994);
    const QSize stats(622, 662);
    QTest::newRow("room on the right") << QRect(100, 100, 926, 661) << true << stats << wide
                                       << QPoint(1026, 100) << QPoint(100, 100);
    QTest::newRow("room on the left")
        << QRect(900, 50, 926, 661) << true << stats << wide << QPoint(278, 50) << QPoint(900, 50);
    // Centred on a wide screen: the window moves over by what the right lacks.
    QTest::newRow("both fit once the window moves")
        << QRect(497, 189, 926, 661) << true << stats << wide << QPoint(1298, 189)
        << QPoint(372, 189);
    // Too narrow for both: the window to the left edge, the rest overlaps.
    QTest::newRow("the screen holds not both") << QRect(177, 166, 926, 661) << true << stats
                                               << narrow << QPoint(658, 166) << QPoint(0, 166);
    QTest::newRow("a maximised window stays")
        << QRect(0, 0, 1280, 994) << false << stats << narrow << QPoint(658, 0) << QPoint(0, 0);
    QTest::newRow("kept above the bottom") << QRect(100, 600, 926, 661) << true << stats << wide
                                           << QPoint(1026, 378) << QPoint(100, 600);
}

void TestMainWindow::placeBeside()
{
    QFETCH(QRect, anchor);
    QFETCH(bool, mayMove);
    QFETCH(QSize, outer);
    QFETCH(QRect, area);
    QFETCH(QPoint, window);
    QFETCH(QPoint, anchorAfter);
    const TBesidePlacement at = BesidePosition(outer, anchor, area, mayMove);
    QCOMPARE(at.Window, window);
    QCOMPARE(at.Anchor, anchorAfter);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
