// "Reconnect automatically" in the window, live against the simulated bridge: a meter whose
// cable comes loose over and over, or that falls silent, is waited for without a message box,
// told on the connection bar's line going and coming back, and recorded on with the next
// number.
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "tcp2110.h"
#include "tfrmmain.h"
#include "treconnector.h"
#include "trecordtable.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

// Closes any modal widget that comes up while it lives, and remembers that one did: nothing of
// a reconnecting window may wait for a click.
class TModalWatch
{
public:
    TModalWatch()
    {
        QObject::connect(&Poll_, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                Seen = true;
                modal->close();
            }
        });
        Poll_.start(20);
    }
    bool Seen = false;

private:
    QTimer Poll_;
};

QList<int> recordedValues(const TRecordTable &t)
{
    QList<int> values;
    for (qsizetype r = 0; r < t.RecordCount(); ++r)
        values << t.TextAt(r, TRecordTable::aMValue).toInt();
    return values;
}

} // namespace

class TestWindowReconnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void outagesInTheWindow_data();
    void outagesInTheWindow();

private:
    QTemporaryDir state_;
    SimBridge sim;
    TStartOptions simulate{.Simulate = true};
};

void TestWindowReconnect::initTestCase()
{
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
    // A meter whose readings count its frames, ten a second: above the bridge's 70 ms poll, so
    // every block holds at most one whole frame.
    qputenv("LUMETRA_SIM_SCENE", "count");
    qputenv("LUMETRA_SIM_FRAME_MS", "100");
}

void TestWindowReconnect::init()
{
    // Plugs the bridge afresh, with the meter the variables above ask for; no unplug cycle.
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
}

void TestWindowReconnect::outagesInTheWindow_data()
{
    QTest::addColumn<bool>("unplugged"); // else the meter falls silent, its cable in
    QTest::addColumn<int>("outages");
    QTest::addColumn<QString>("cause");
    QTest::newRow("cable out for 120 ms every 400 ms")
        << true << 20 << "(the cable was pulled or the bridge went away)";
    QTest::newRow("meter silent for the watchdog's time")
        << false << 3 << "(no data for 0.3 s: the meter is switched off or asleep)";
}

void TestWindowReconnect::outagesInTheWindow()
{
    QFETCH(bool, unplugged);
    QFETCH(int, outages);
    QFETCH(QString, cause);

    TfrmMain w(simulate);
    w.show();
    auto *reconnect = w.findChild<QAction *>(QStringLiteral("actReconnect"));
    auto *reconnector = w.findChild<TReconnector *>(QStringLiteral("Reconnector"));
    QVERIFY(reconnect && reconnector);
    QVERIFY(!reconnect->isChecked());
    QCOMPARE(reconnect->text(), QStringLiteral("Reconnect automatically"));
    QVERIFY(w.Panel3->actions().contains(reconnect)); // the bar's context menu
    reconnect->trigger();
    QVERIFY(reconnect->isChecked());
    if (!unplugged)
        w.timerDisconectedUSB->setInterval(300);

    // Each outage as the bar's line shows it, in the order told.
    QString order;
    QStringList shown;
    connect(reconnector, &TReconnector::MeterAway, &w, [&](const QString &text) {
        order += QLatin1Char('A');
        shown << w.Panel3->lblOutage->text();
        QCOMPARE(shown.last(), text);
    });
    connect(reconnector, &TReconnector::MeterBack, &w, [&](const QString &text, qint64) {
        order += QLatin1Char('B');
        shown << w.Panel3->lblOutage->text();
        QCOMPARE(shown.last(), text);
    });

    TModalWatch modal;
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    const TRecordTable &table = *w.findChild<TRecordTable *>(QStringLiteral("cds1"));
    QTRY_VERIFY(table.RecordCount() > 0);
    if (unplugged) {
        QCOMPARE(sim.SetUnplugCycle(400, 120), HID_UART_SUCCESS);
        QTRY_VERIFY_WITH_TIMEOUT(order.count(QLatin1Char('B')) >= outages, 60000);
        QCOMPARE(sim.SetUnplugCycle(0, 0), HID_UART_SUCCESS);
    } else {
        for (int i = 0; i < outages; ++i) {
            QCOMPARE(sim.SetMeterSilent(SimBridge::DefaultSerial, 1), HID_UART_SUCCESS);
            QTRY_COMPARE_WITH_TIMEOUT(order.count(QLatin1Char('A')), i + 1, 5000);
            // The link stays open while the meter is waited for.
            QVERIFY(w.CP21101->Connected());
            QCOMPARE(sim.SetMeterSilent(SimBridge::DefaultSerial, 0), HID_UART_SUCCESS);
            QTRY_COMPARE_WITH_TIMEOUT(order.count(QLatin1Char('B')), i + 1, 5000);
        }
    }
    // Back for good: the link open, the rows going on.
    QTRY_VERIFY(w.CP21101->Connected() && !reconnector->Away());
    const qsizetype before = table.RecordCount();
    QTRY_VERIFY(table.RecordCount() > before + 2);
    w.CP21101->Close();

    QVERIFY(!modal.Seen);
    const int told = int(order.count(QLatin1Char('B')));
    QCOMPARE(order, QString(QStringLiteral("AB").repeated(told)));
    QVERIFY(told >= outages);
    for (qsizetype i = 0; i < shown.size(); i += 2)
        QVERIFY2(shown[i].contains(cause), qPrintable(shown[i]));
    QVERIFY(shown.last().contains(QStringLiteral(" away; the records go on from number ")));

    for (qsizetype r = 0; r < table.RecordCount(); ++r)
        QCOMPARE(table.TextAt(r, TRecordTable::aNO), QString::number(r + 1));
    // Every frame received is recorded once; frames go only where the meter was away, and a
    // pulled cable costs no more than fell into the outage, the one it cut and a quarter second
    // to open the bridge again.
    const QList<int> values = recordedValues(table);
    int gaps = 0;
    for (qsizetype r = 1; r < values.size(); ++r) {
        const int step = values[r] - values[r - 1];
        QVERIFY2(step >= 1, qPrintable(QStringLiteral("row %1 repeats or goes back").arg(r + 1)));
        if (step > 1) {
            ++gaps;
            if (unplugged)
                QVERIFY2(
                    step - 1 <= 5,
                    qPrintable(
                        QStringLiteral("%1 frames lost before row %2").arg(step - 1).arg(r + 1)));
        }
    }
    // The meter's clock runs on while it is silent, too.
    QVERIFY2(gaps <= told, qPrintable(QStringLiteral("%1 gaps, %2 outages").arg(gaps).arg(told)));
}

QTEST_MAIN(TestWindowReconnect)
#include "tst_windowreconnect.moc"
