// The enlarged record and chart views of the real window: opened and closed with clicks, every
// way of ending them, the grid's widths, live data from the simulated meter and the tool bars
// at work inside.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tcp2110.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tfrmsupercontainer.h"
#include "tpagedchart.h"
#include "trecordtable.h"

#include <QBoxLayout>
#include <QDialog>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

using namespace ModalHelper;

namespace {

using Window = QPair<int, int>;
using Widths = QList<int>;

const Widths EnlargedWidths{60, 150, 60, 60, 60, 120, 120, 80, 80};

// The two views, as the window's tool bars offer them.
struct View
{
    QToolButton *open;
    QToolButton *close;
    QWidget *panel;
    QWidget *home;
    QStringList controls; // what must work inside: tool buttons and edit boxes
    QWidget *body;        // the grid or the chart
};

View view(TfrmMain &w, const QString &name)
{
    if (name == QLatin1String("record"))
        return {w.Panel4->btnRecordFly,
                w.Panel4->btnGridZoomout,
                w.Panel4,
                w.Panel1,
                {"btnRecordNew", "btnRecordOpen", "btnRecordSave", "btnRecordPrint", "cbRepeat",
                 "cbInterval", "edtRecInterval"},
                w.Panel4->DBGrid1};
    return {w.pnlChartParent->btnFly,
            w.pnlChartParent->btnChartZoomOut,
            w.pnlChartParent,
            w.Panel5,
            {"btnFirst", "btnPrevious", "btnNext", "btnLast", "btnNew", "btnSave", "edtRange"},
            w.pnlChartParent->Chart1};
}

Widths widths(const TfrmMain &w)
{
    Widths result;
    for (int c = 0; c < w.Panel4->DBGrid1->model()->columnCount(); ++c)
        result << w.Panel4->DBGrid1->columnWidth(c);
    return result;
}

TPagedChart *chart(const TfrmMain &w)
{
    return w.pnlChartParent->Chart1;
}

Window chartWindow(const TfrmMain &w)
{
    QCoreApplication::processEvents();
    return {qRound(chart(w)->bottomMin()), qRound(chart(w)->bottomMax())};
}

void feed(TfrmMain &w, int count)
{
    TFrameFields f = workedFields();
    for (int i = 0; i < count; ++i) {
        f.MainValue = 1000 + (i * 37) % 900;
        receive(w, EncodeFrame(f));
    }
}

// Opens a view with its open button and runs body inside the container once it is up. The
// container is closed afterwards if body left it open (also when a check in body failed), so a
// failure never hangs the test. False when no container came up.
bool insideView(QToolButton *open, const std::function<void(TfrmSuperContainer *)> &body)
{
    bool ran = false;
    onNextModal([&](QWidget *modal) {
        const QPointer<QWidget> guard = modal;
        const auto closeAnyway = qScopeGuard([guard] {
            if (guard && guard->isVisible())
                guard->close();
        });
        auto *container = qobject_cast<TfrmSuperContainer *>(modal);
        if (!container) {
            qWarning() << "not the container:" << modal;
            return;
        }
        ran = true;
        body(container);
    });
    QTest::mouseClick(open, Qt::LeftButton);
    return ran;
}

// Ends the view as the user or the program may: its close button, the window's close box (the
// close request a window manager sends), or the container going away without being closed.
void endView(TfrmSuperContainer *c, const View &v, const QString &way)
{
    if (way == QLatin1String("close button"))
        QTest::mouseClick(v.close, Qt::LeftButton);
    else if (way == QLatin1String("close box"))
        c->windowHandle()->close();
    else if (way == QLatin1String("container freed"))
        delete c;
    else
        QFAIL(qPrintable(way));
}

// Drags the right edge of a grid column's header by dx pixels, as a user resizes a column.
void dragColumnEdge(QTableView *grid, int column, int dx)
{
    QHeaderView *header = grid->horizontalHeader();
    QWidget *port = header->viewport();
    const int edge = header->sectionViewportPosition(column) + header->sectionSize(column) - 1;
    const int y = header->height() / 2;
    QTest::mousePress(port, Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(port, QPoint(edge + dx / 2, y));
    QTest::mouseMove(port, QPoint(edge + dx, y));
    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(edge + dx, y));
}

} // namespace

class TestSuperContainer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void viewOpensAndComesBack_data();
    void viewOpensAndComesBack();
    void recordColumnWidths_data();
    void recordColumnWidths();
    void liveReadingsInside_data();
    void liveReadingsInside();
    void toolBarsWorkInside_data();
    void toolBarsWorkInside();
    void chartBitmapInsideHasTheEnlargedSize();
    void keysPressTheButtons_data();
    void keysPressTheButtons();
    void escapeLeavesAnEditBoxFirst_data();
    void escapeLeavesAnEditBoxFirst();
    void tabLeavesTheGrid();

private:
    void play(const QString &script);

    QTemporaryDir state;
    QTemporaryDir out;
    SimBridge sim;
    TfrmMain *w = nullptr;
};

void TestSuperContainer::initTestCase()
{
    QVERIFY(state.isValid());
    QVERIFY(out.isValid());
    qputenv(StateHomeVariable, state.path().toLocal8Bit());
}

void TestSuperContainer::init()
{
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
    w = new TfrmMain(TStartOptions{.Simulate = true});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestSuperContainer::cleanup()
{
    delete w;
    w = nullptr;
    QVERIFY(!frmSuperContainer);
}

void TestSuperContainer::viewOpensAndComesBack_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("way");
    for (const char *way : {"close button", "close box", "container freed"}) {
        QTest::addRow("record, %s", way) << "record"
                                         << "chart" << way;
        QTest::addRow("chart, %s", way) << "chart"
                                        << "record" << way;
    }
}

void TestSuperContainer::viewOpensAndComesBack()
{
    QFETCH(QString, viewName);
    QFETCH(QString, other);
    QFETCH(QString, way);
    const View v = view(*w, viewName);
    const View o = view(*w, other);
    auto *homeLayout = qobject_cast<QBoxLayout *>(v.home->layout());
    QVERIFY(homeLayout);
    const int index = homeLayout->indexOf(v.panel);
    const int stretch = homeLayout->stretch(index);
    const QRect geometry = v.panel->geometry();
    const QList<int> splitter = w->Splitter1->sizes();
    QList<QPair<QWidget *, QRect>> neighbours; // the rest of the home, which must stay put
    for (QWidget *child : v.home->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child != v.panel && child->isVisible())
            neighbours << qMakePair(child, child->geometry());
    QVERIFY(v.open->isVisible());
    QVERIFY(!v.close->isVisible());
    // A dialog the window keeps between uses, as a lent control may open it.
    auto *kept = new QDialog(w);

    QPointer<TfrmSuperContainer> seen;
    const bool ran = insideView(v.open, [&](TfrmSuperContainer *c) {
        seen = c;
        QCOMPARE(frmSuperContainer.data(), c);
        QCOMPARE(QApplication::activeModalWidget(), c);
        QVERIFY(c->isMaximized());
        QVERIFY(c->windowTitle().isEmpty());
        QCOMPARE(v.panel->parentWidget(), c->Panel1);
        QVERIFY(v.panel->isVisible());
        QTRY_COMPARE(v.panel->geometry(), c->Panel1->contentsRect());
        QVERIFY(v.panel->width() > geometry.width());
        QVERIFY(v.panel->height() > geometry.height());
        // The buttons swapped, and the close button travelled with the panel.
        QVERIFY(!v.open->isVisible());
        QVERIFY(v.close->isVisible());
        QCOMPARE(v.close->window(), c);
        QCOMPARE(o.panel->parentWidget(), o.home);
        QVERIFY(o.open->isVisibleTo(w));
        QCoreApplication::processEvents();
        for (const auto &[child, place] : neighbours)
            QCOMPARE(child->geometry(), place);
        // The main window takes no input meanwhile; the lent panel does.
        QVERIFY(!w->isEnabled());
        QVERIFY(!w->Panel3->btnConnect->isEnabled());
        QVERIFY(kept->isEnabled());
        for (const QString &name : v.controls) {
            auto *control = v.panel->findChild<QWidget *>(name);
            QVERIFY2(control && control->isVisible() && control->isEnabled(), qPrintable(name));
        }

        // A second view cannot open over the first: the request returns at once.
        bool secondShown = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, c, [&] {
            if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != c) {
                secondShown = true;
                modal->close();
            }
        });
        watchdog.start(2000);
        ShowInSuperContainer(o.panel, o.home);
        QVERIFY(!secondShown);
        QCOMPARE(frmSuperContainer.data(), c);
        QCOMPARE(o.panel->parentWidget(), o.home);

        endView(c, v, way);
    });
    QVERIFY(ran);

    // Back to normal, whichever way the view ended.
    QVERIFY(!seen);
    QVERIFY(!frmSuperContainer);
    QVERIFY(w->isEnabled());
    QVERIFY(kept->isEnabled());
    QCOMPARE(v.panel->parentWidget(), v.home);
    QCOMPARE(homeLayout->indexOf(v.panel), index);
    QCOMPARE(homeLayout->stretch(index), stretch);
    QVERIFY(v.panel->isVisible());
    QVERIFY(v.open->isVisible());
    QVERIFY(!v.close->isVisible());
    QTRY_COMPARE(v.panel->geometry(), geometry);
    QCOMPARE(w->Splitter1->sizes(), splitter);
    if (viewName == QLatin1String("record"))
        QTRY_VERIFY(w->isActiveWindow());
}

void TestSuperContainer::recordColumnWidths_data()
{
    QTest::addColumn<Widths>("before"); // set before opening; empty: as the window made them
    QTest::addColumn<int>("dragBy");    // pixels the second column's edge is dragged inside
    QTest::addColumn<QString>("way");

    const Widths custom{20, 90, 30, 30, 30, 30, 30, 30, 30};
    // clang-format off
    QTest::newRow("as made, untouched")        << Widths{} << 0   << "close button";
    QTest::newRow("custom, untouched, box")    << custom   << 0   << "close box";
    QTest::newRow("as made, widened inside")   << Widths{} << 60  << "close button";
    QTest::newRow("custom, narrowed inside")   << custom   << -50 << "close box";
    QTest::newRow("widened inside, freed")     << Widths{} << 40  << "container freed";
    // clang-format on
}

void TestSuperContainer::recordColumnWidths()
{
    QFETCH(Widths, before);
    QFETCH(int, dragBy);
    QFETCH(QString, way);
    for (int c = 0; c < before.size(); ++c)
        w->Panel4->DBGrid1->setColumnWidth(c, before[c]);
    const Widths expected = widths(*w);
    QVERIFY(expected != EnlargedWidths);
    const View v = view(*w, QStringLiteral("record"));

    QVERIFY(insideView(v.open, [&](TfrmSuperContainer *c) {
        QCOMPARE(widths(*w), EnlargedWidths);
        if (dragBy != 0) {
            dragColumnEdge(w->Panel4->DBGrid1, 1, dragBy);
            QCOMPARE(w->Panel4->DBGrid1->columnWidth(1), EnlargedWidths[1] + dragBy);
        }
        endView(c, v, way);
    }));
    QCOMPARE(widths(*w), expected);
}

void TestSuperContainer::liveReadingsInside_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::newRow("record") << "record";
    QTest::newRow("chart") << "chart";
}

void TestSuperContainer::liveReadingsInside()
{
    QFETCH(QString, viewName);
    const View v = view(*w, viewName);
    auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    QVERIFY(table);
    // A frame every 50 ms: readings arrive ten times as fast as from the real meter.
    QCOMPARE(sim.SetFramePeriod(SimBridge::DefaultSerial, 50), HID_UART_SUCCESS);
    QTest::mouseClick(w->Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w->Panel3->btnConnect->isChecked());

    QVERIFY(insideView(v.open, [&](TfrmSuperContainer *c) {
        const qsizetype rows = table->RecordCount();
        const qsizetype points = chart(*w)->pointCount();
        QTRY_VERIFY_WITH_TIMEOUT(table->RecordCount() >= rows + 3, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(chart(*w)->pointCount() >= points + 3, 15000);
        QVERIFY(c->isVisible());
        if (viewName == QLatin1String("record")) {
            // The grid shows the newest row, selected, inside the enlarged window.
            QAbstractItemModel *model = w->Panel4->DBGrid1->model();
            QTRY_VERIFY(w->Panel4->DBGrid1->currentIndex().row() >= int(rows) + 2);
            QVERIFY(model->rowCount() >= int(rows) + 3);
            const QModelIndex current = w->Panel4->DBGrid1->currentIndex();
            QVERIFY(w->Panel4->DBGrid1->viewport()->rect().intersects(
                w->Panel4->DBGrid1->visualRect(current)));
        } else {
            QVERIFY(chart(*w)->drawnPoints().size() >= 3);
        }
    }));
    QVERIFY(w->CP21101->Connected());
}

void TestSuperContainer::play(const QString &script)
{
    // "+n" feeds n readings; F, P, N, L click First, Previous, Next, Last; "clear:Yes" and
    // "clear:No" press the view's Clear button and answer its question; "range:n" types n into
    // the page size box and waits until the chart has applied it.
    for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1Char('+'))) {
            feed(*w, step.mid(1).toInt());
        } else if (step.startsWith(QLatin1String("clear:"))) {
            pressOnNextModal(step.mid(6));
            QToolButton *clear = w->Panel4->parentWidget() != w->Panel1 ? w->Panel4->btnRecordNew
                                                                        : w->pnlChartParent->btnNew;
            QTest::mouseClick(clear, Qt::LeftButton);
        } else if (step.startsWith(QLatin1String("range:"))) {
            // The box's one-second delay is the chart's own test's; here it need not be waited.
            w->pnlChartParent->Timer_range->setInterval(20);
            w->pnlChartParent->edtRange->selectAll();
            QTest::keyClick(w->pnlChartParent->edtRange, Qt::Key_Backspace);
            QTest::keyClicks(w->pnlChartParent->edtRange, step.mid(6));
            QTRY_VERIFY(!w->pnlChartParent->Timer_range->isActive());
        } else if (step.size() == 1 && QStringLiteral("FPNL").contains(step)) {
            QToolButton *buttons[] = {w->pnlChartParent->btnFirst, w->pnlChartParent->btnPrevious,
                                      w->pnlChartParent->btnNext, w->pnlChartParent->btnLast};
            QTest::mouseClick(buttons[QStringLiteral("FPNL").indexOf(step)], Qt::LeftButton);
        } else {
            QFAIL(qPrintable(step));
        }
    }
}

void TestSuperContainer::toolBarsWorkInside_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<QString>("before"); // played in the main window
    QTest::addColumn<QString>("inside"); // played in the enlarged view
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("page");
    QTest::addColumn<Window>("shown");

    // clang-format off
    QTest::newRow("record: clear, yes")   << "record" << "+5"   << "clear:Yes +2"    << 2  << "1" << Window(1, 100);
    QTest::newRow("record: clear, no")    << "record" << "+5"   << "clear:No +2"     << 7  << "1" << Window(1, 100);
    QTest::newRow("chart: clear, yes")    << "chart"  << "+150" << "clear:Yes +1"    << 1  << "1" << Window(1, 100);
    QTest::newRow("chart: browse")        << "chart"  << "+250" << "F N +20"         << 270 << "2" << Window(101, 200);
    QTest::newRow("chart: page size")     << "chart"  << "+230" << "range:50 +1"     << 231 << "5" << Window(201, 250);
    // clang-format on
}

void TestSuperContainer::toolBarsWorkInside()
{
    QFETCH(QString, viewName);
    QFETCH(QString, before);
    QFETCH(QString, inside);
    QFETCH(int, rows);
    QFETCH(QString, page);
    QFETCH(Window, shown);
    auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    QVERIFY(table);
    const View v = view(*w, viewName);
    play(before);

    QVERIFY(insideView(v.open, [&](TfrmSuperContainer *c) {
        play(inside);
        QCOMPARE(int(table->RecordCount()), rows);
        QCOMPARE(w->Panel4->DBGrid1->model()->rowCount(), rows);
        QCOMPARE(w->pnlChartParent->edtCurPage->text(), page);
        QCOMPARE(chartWindow(*w), shown);
        QCOMPARE(frmSuperContainer.data(), c);
        QTest::mouseClick(v.close, Qt::LeftButton);
    }));
    // Nothing done inside is undone by coming back.
    QCOMPARE(int(table->RecordCount()), rows);
    QCOMPARE(w->pnlChartParent->edtCurPage->text(), page);
    QCOMPARE(chartWindow(*w), shown);
}

void TestSuperContainer::chartBitmapInsideHasTheEnlargedSize()
{
    const QString file = out.filePath(QStringLiteral("enlarged.bmp"));
    feed(*w, 150);
    const QSize homeSize = w->pnlChartParent->Chart1->size();
    QSize enlargedSize;
    const View v = view(*w, QStringLiteral("chart"));

    QVERIFY(insideView(v.open, [&](TfrmSuperContainer *c) {
        QTRY_COMPARE(v.panel->size(), c->Panel1->contentsRect().size());
        enlargedSize = w->pnlChartParent->Chart1->size();
        onNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            edit->setText(file);
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
        QTest::mouseClick(w->pnlChartParent->btnSave, Qt::LeftButton);
        QVERIFY(c->isVisible());
        QTest::mouseClick(v.close, Qt::LeftButton);
    }));

    QVERIFY(enlargedSize.width() > homeSize.width());
    const QImage image(file, "BMP");
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), enlargedSize * w->pnlChartParent->Chart1->devicePixelRatioF());
    QCOMPARE(w->pnlChartParent->Chart1->size(), homeSize);
}

void TestSuperContainer::keysPressTheButtons_data()
{
    QTest::addColumn<QString>("where"); // main, or the record or chart view
    QTest::addColumn<QString>("focus"); // the control that has the focus, "" for any
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("button"); // the one the key presses; "" for none
    QTest::addColumn<bool>("modal");     // the button asks something first
    // clang-format off
    QTest::newRow("Save")            << "main"   << "" << "Ctrl+S"       << "btnRecordSave"  << true;
    QTest::newRow("Open")            << "main"   << "" << "Ctrl+O"       << "btnRecordOpen"  << true;
    QTest::newRow("Print")           << "main"   << "" << "Ctrl+P"       << "btnRecordPrint" << true;
    QTest::newRow("Clear")           << "main"   << "" << "Ctrl+L"       << "btnRecordNew"   << true;
    QTest::newRow("chart picture")   << "main"   << "" << "Ctrl+Shift+S" << "btnSave"        << true;
    QTest::newRow("grid enlarged")   << "main"   << "" << "Ctrl+E"       << "btnRecordFly"   << true;
    QTest::newRow("chart enlarged")  << "main"   << "" << "Ctrl+Shift+E" << "btnFly"         << true;
    QTest::newRow("Connection")      << "main"   << "" << "F5"           << "btnConnect"     << false;
    QTest::newRow("first page")      << "main"   << "Chart1" << "Home"   << "btnFirst"       << false;
    QTest::newRow("page back")       << "main"   << "Chart1" << "PgUp"   << "btnPrevious"    << false;
    QTest::newRow("page on")         << "main"   << "Chart1" << "PgDown" << "btnNext"        << false;
    QTest::newRow("last page")       << "main"   << "Chart1" << "End"    << "btnLast"        << false;
    QTest::newRow("paging keys are the chart's") << "main" << "DBGrid1" << "End" << ""       << false;
    QTest::newRow("grid view: Save") << "record" << "" << "Ctrl+S"       << "btnRecordSave"  << true;
    QTest::newRow("grid view: Clear") << "record" << "" << "Ctrl+L"      << "btnRecordNew"   << true;
    QTest::newRow("grid view: no chart keys") << "record" << "" << "Ctrl+Shift+S" << ""      << false;
    QTest::newRow("chart view: Clear") << "chart" << "" << "Ctrl+L"      << "btnNew"         << true;
    QTest::newRow("chart view: paging") << "chart" << "Chart1" << "PgDown" << "btnNext"      << false;
    QTest::newRow("chart view: no grid keys") << "chart" << "" << "Ctrl+S" << ""             << false;
    // clang-format on
}

void TestSuperContainer::keysPressTheButtons()
{
    QFETCH(QString, where);
    QFETCH(QString, focus);
    QFETCH(QString, key);
    QFETCH(QString, button);
    QFETCH(bool, modal);
    feed(*w, 250); // pages to go back and forth in
    QList<QToolButton *> buttons = w->findChildren<QToolButton *>();
    QMap<QString, int> clicks;
    for (QToolButton *b : buttons)
        connect(b, &QToolButton::clicked, this, [&clicks, b] { ++clicks[b->objectName()]; });
    const auto press = [&](QWidget *window) {
        if (!focus.isEmpty()) {
            auto *control = window->findChild<QWidget *>(focus); // lent ones are the view's
            QVERIFY2(control, qPrintable(focus));
            control->setFocus();
        }
        if (modal) // answered as a user who changes their mind
            onNextModal([](QWidget *m) { m->close(); });
        QWidget *target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keySequence(target, QKeySequence::fromString(key));
        if (button.isEmpty())
            QTest::qWait(300);
        else
            QTRY_COMPARE(clicks.value(button), 1);
        // One key, one button.
        QCOMPARE(clicks.size(), button.isEmpty() ? 0 : 1);
    };
    if (where == "main") {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        press(w);
        return;
    }
    QVERIFY(insideView(view(*w, where).open, [&](TfrmSuperContainer *c) {
        clicks.clear(); // the click that opened the view
        press(c);
    }));
}

void TestSuperContainer::escapeLeavesAnEditBoxFirst_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addColumn<QString>("box");
    QTest::newRow("record view, seconds box") << "record"
                                              << "edtRecInterval";
    QTest::newRow("chart view, page size box") << "chart"
                                               << "edtRange";
    QTest::newRow("record view, the grid") << "record"
                                           << "";
}

void TestSuperContainer::escapeLeavesAnEditBoxFirst()
{
    QFETCH(QString, viewName);
    QFETCH(QString, box);
    const View v = view(*w, viewName);
    QVERIFY(insideView(v.open, [&](TfrmSuperContainer *c) {
        QWidget *focus = box.isEmpty() ? v.body : c->findChild<QWidget *>(box);
        focus->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), focus);
        QTest::keyClick(focus, Qt::Key_Escape);
        if (!box.isEmpty()) {
            // Out of the box, the view still there; the next Escape closes it.
            QVERIFY(c->isVisible());
            QVERIFY(!focus->hasFocus());
            QTest::keyClick(c->focusWidget() ? c->focusWidget() : c, Qt::Key_Escape);
        }
        QTRY_VERIFY(!c->isVisible());
    }));
    // Back as its close button brings it: the panel home, the open button shown.
    QVERIFY(!frmSuperContainer);
    QCOMPARE(v.panel->parentWidget(), v.home);
    QVERIFY(v.open->isVisible());
    QVERIFY(!v.close->isVisibleTo(w));
}

void TestSuperContainer::tabLeavesTheGrid()
{
    feed(*w, 3);
    QTableView *grid = w->Panel4->DBGrid1;
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    // Ctrl+Tab goes from cell to cell, on into the next row.
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(grid, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(grid->currentIndex(), grid->model()->index(1, 0));
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(grid->currentIndex(), grid->model()->index(0, 8));
    QVERIFY(grid->hasFocus());
    // Tab leaves at once.
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(!grid->hasFocus());
}

QTEST_MAIN(TestSuperContainer)
#include "tst_supercontainer.moc"
