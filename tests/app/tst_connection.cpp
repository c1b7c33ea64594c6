// The connection control of the main window, live against the simulated bridge library.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/processlimits.h"
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "tcp2110.h"
#include "tframeencoder.h"
#include "tfrmmain.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

using namespace ModalHelper;

namespace {

const QString N1 =
    QStringLiteral("No device found.  Please ensure that you have proper USB connection.");
const QString N2 =
    QStringLiteral("USB interface cable is not connected properly, please check and re-try.");

// Answers every notice with OK and remembers its text and what the link looked like then.
struct NoticeLog
{
    QStringList texts;
    QList<bool> connectedWhenShown;
    TfrmMain *window = nullptr;

    void armOnce()
    {
        onNextModal([this](QWidget *dlg) {
            auto *label = dlg->findChild<QLabel *>(QStringLiteral("Message"));
            texts << (label ? label->text() : QString("<no label>"));
            connectedWhenShown << (window && window->CP21101->Connected());
            if (auto *ok = dlg->findChild<QAbstractButton *>(QStringLiteral("OK")))
                ok->click();
            else
                dlg->close();
        });
    }
};

// Presses "Connection" on a link that cannot open: N1 is shown and the button comes back up.
void connectExpectingN1(TfrmMain &w)
{
    NoticeLog notices;
    notices.armOnce();
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QCOMPARE(notices.texts, QStringList{N1});
    QVERIFY(!w.Panel3->btnConnect->isChecked());
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Connection"));
}

// What the code under test writes to stderr while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        file_.open();
        dup2(file_.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        file_.seek(0);
        return file_.readAll();
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

QLabel *usbMark(TfrmMain &w)
{
    return w.findChild<QLabel *>(QStringLiteral("lcdRS232"));
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // First: glibc reuses the stacks of ended threads, which would let the thread start anyway.
    void readerThreadFailureLeavesTheButtonUp();
    void noBridgeShowsN1AndLeavesTheButtonUp();
    void connectShowsLiveReadings();
    void firstBridgeInSortOrderIsUsed();
    void failedOpenNotices_data();
    void failedOpenNotices();
    void foreignDeviceWithEmptySerialIsNotOpened();
    void unplugShowsN1BeforeTheLinkCloses();
    void silentMeterClosesWithN2Once_data();
    void silentMeterClosesWithN2Once();
    void arrivalRefreshesTheChoiceWithoutConnecting();
    void disconnectByButton();
    void closingWhileConnectedAsksNothingMore();

private:
    QTemporaryDir state_;
    SimBridge sim;
    TStartOptions simulate{.Simulate = true};
};

void TestConnection::initTestCase()
{
    // Whatever the window keeps between runs goes to a folder of the test's own.
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
}

void TestConnection::init()
{
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
}

void TestConnection::noBridgeShowsN1AndLeavesTheButtonUp()
{
    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    TfrmMain w(simulate);
    QCOMPARE(w.Panel3->cbbDevices->count(), 0);
    QVERIFY(!w.Panel3->cbbDevices->isVisibleTo(&w));
    QCOMPARE(w.CP21101->DeviceName, QString());
    connectExpectingN1(w);
    QVERIFY(!w.CP21101->Connected());
}

void TestConnection::connectShowsLiveReadings()
{
    TfrmMain w(simulate);
    w.show();
    QCOMPARE(w.Panel3->cbbDevices->count(), 1);
    QCOMPARE(w.Panel3->cbbDevices->currentText(), QString(SimBridge::DefaultSerial));
    QVERIFY(!usbMark(w)->isVisibleTo(&w));
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    QVERIFY(w.Panel3->btnConnect->isChecked());
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Disconnection"));
    QVERIFY(usbMark(w)->isVisibleTo(&w));
    QVERIFY(w.timerDisconectedUSB->isActive());
    auto *reading = w.findChild<QLineEdit *>(QStringLiteral("lcdMDisp"));
    QVERIFY(reading);
    // The virtual meter sends two frames a second.
    QTRY_VERIFY_WITH_TIMEOUT(!reading->text().trimmed().isEmpty(), 2000);
    QVERIFY(w.Decoder().State().MainMode != 0);
}

void TestConnection::firstBridgeInSortOrderIsUsed()
{
    QCOMPARE(sim.Plug("Bench-B", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QCOMPARE(sim.Plug("bench-a", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    TfrmMain w(simulate);
    QCOMPARE(w.Panel3->cbbDevices->count(), 3);
    QCOMPARE(w.Panel3->cbbDevices->itemText(0), QStringLiteral("bench-a"));
    QCOMPARE(w.Panel3->cbbDevices->itemText(1), QStringLiteral("Bench-B"));
    QCOMPARE(w.CP21101->DeviceName, QStringLiteral("bench-a"));
    for (const char *serial : {"bench-a", "Bench-B", SimBridge::DefaultSerial})
        sim.SetMeterSilent(serial, 1);
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    TFrameFields fromChosen = workedFields();
    fromChosen.MainValue = 0x1111;
    sim.feed("Bench-B", WorkedFrame);
    sim.feed("bench-a", EncodeFrame(fromChosen));
    QTRY_COMPARE(w.Decoder().State().MainValue, 0x1111);
}

void TestConnection::failedOpenNotices_data()
{
    QTest::addColumn<int>("openStatus"); // what the bridge's open fails with; 0: it opens
    QTest::addColumn<bool>("mismatch");  // the configuration reads back different
    QTest::addColumn<QString>("kind");   // of the notice: "usual", "denied" or "busy"
    QTest::newRow("open refused") << int(HID_UART_DEVICE_IO_FAILED) << false << "usual";
    QTest::newRow("not supported") << int(HID_UART_DEVICE_NOT_SUPPORTED) << false << "usual";
    QTest::newRow("configuration read back differs") << 0 << true << "usual";
    QTest::newRow("access denied") << int(HID_UART_DEVICE_ACCESS_ERROR) << false << "denied";
    QTest::newRow("in use by another program") << int(HID_UART_DEVICE_IN_USE) << false << "busy";
}

// Only a bridge that is there but closed to this user gets its own notice, with the fix; every
// other failure keeps the usual one. Either way the button comes back up.
void TestConnection::failedOpenNotices()
{
    QFETCH(int, openStatus);
    QFETCH(bool, mismatch);
    QFETCH(QString, kind);
    TfrmMain w(simulate);
    w.show();
    if (mismatch)
        sim.SetConfigMismatch(SimBridge::DefaultSerial, 1);
    if (openStatus)
        sim.FailNextOpen(SimBridge::DefaultSerial, openStatus);
    NoticeLog notices;
    notices.armOnce();
    QByteArray errors;
    {
        StderrCapture capture;
        QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
        errors = capture.text();
    }
    QCOMPARE(notices.texts.size(), 1);
    const QString text = notices.texts.first();
    if (kind == "denied") {
        QVERIFY2(text.startsWith("Access to the meter's USB cable was denied"), qPrintable(text));
        QVERIFY(text.contains(" /sim/hidraw0."));
#ifdef Q_OS_WIN
        // Windows has no rule to install: the user is told what frees the cable.
        QVERIFY2(text.contains("unplug the cable and plug it in again"), qPrintable(text));
        QVERIFY(text.endsWith("Then press \"Connection\" again."));
        QVERIFY(errors.contains("lumetra: " + text.toLocal8Bit() + "\n"));
        QVERIFY(!w.CP21101->Connected());
        return;
#endif
        // The commands stand on lines of their own, to be copied as they are. Run from the
        // build tree, with no rule installed, the rule is the source tree's, named so that
        // the command works from any folder.
        const QStringList lines = text.split('\n');
        const QRegularExpression install(QStringLiteral(
            "^sudo install -m 644 (/\\S+/dist/60-lumetra\\.rules) /etc/udev/rules\\.d/$"));
        const QStringList installs = lines.filter(install);
        QCOMPARE(installs.size(), 1);
        QVERIFY2(QFileInfo::exists(install.match(installs.first()).captured(1)),
                 qPrintable(installs.first()));
        for (const char *command :
             {"sudo udevadm control --reload-rules",
              "sudo udevadm trigger --subsystem-match=hidraw", "sudo adduser $USER plugdev"})
            QVERIFY2(lines.contains(command), command);
        QVERIFY(text.contains("unplugging the cable and plugging it in again is enough"));
        QVERIFY(text.endsWith("Then press \"Connection\" again."));
        QVERIFY(errors.contains("lumetra: " + text.toLocal8Bit() + "\n"));
    } else if (kind == "busy") {
        QCOMPARE(text, QStringLiteral("The meter's USB cable (device node /sim/hidraw0) is in use "
                                      "by another program. Only one program at a time can read "
                                      "it; close the other one. Then press \"Connection\" again."));
        QVERIFY(errors.contains("lumetra: " + text.toLocal8Bit() + "\n"));
    } else {
        QCOMPARE(notices.texts.first(), N1);
        QVERIFY2(!errors.contains("lumetra:"), errors.constData());
    }
    QVERIFY(!w.CP21101->Connected());
    QVERIFY(!w.Panel3->btnConnect->isChecked());
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Connection"));
    QVERIFY(!w.timerDisconectedUSB->isActive());
}

void TestConnection::foreignDeviceWithEmptySerialIsNotOpened()
{
    // No bridge, but another HID device whose serial text is as empty as the device name.
    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    QCOMPARE(sim.Plug("", 0x046D, 0xC077), HID_UART_SUCCESS);
    TfrmMain w(simulate);
    QCOMPARE(w.Panel3->cbbDevices->count(), 0);
    QCOMPARE(w.CP21101->DeviceName, QString());
    connectExpectingN1(w);
    QVERIFY(!w.CP21101->Connected());
    QTest::qWait(200);
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Connection"));
}

void TestConnection::unplugShowsN1BeforeTheLinkCloses()
{
    TfrmMain w(simulate);
    w.show();
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    NoticeLog notices;
    notices.window = &w;
    notices.armOnce();
    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    QTRY_COMPARE(notices.texts, QStringList{N1});
    QCOMPARE(notices.connectedWhenShown, QList<bool>{true});
    QTRY_VERIFY(!w.CP21101->Connected());
    QVERIFY(!w.Panel3->btnConnect->isChecked());
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Connection"));
    QVERIFY(!usbMark(w)->isVisibleTo(&w));
    QVERIFY(!w.timerDisconectedUSB->isActive());
    QCOMPARE(w.Panel3->cbbDevices->count(), 0);
}

void TestConnection::silentMeterClosesWithN2Once_data()
{
    QTest::addColumn<bool>("real");
    QTest::newRow("shortened") << false;
    QTest::newRow("the real 10 s") << true;
}

void TestConnection::silentMeterClosesWithN2Once()
{
    QFETCH(bool, real);
    // The 10 s watchdog and the meter's half second, shortened alike but for one case.
    const int Watchdog = real ? 10000 : 300;
    if (!real)
        QCOMPARE(sim.SetFramePeriod(SimBridge::DefaultSerial, 50), HID_UART_SUCCESS);
    TfrmMain w(simulate);
    QCOMPARE(w.timerDisconectedUSB->interval(), 10000);
    w.timerDisconectedUSB->setInterval(Watchdog);
    QElapsedTimer clock;
    clock.start();
    qint64 lastBlock = -1, noticeAt = -1;
    int blocks = 0;
    connect(w.CP21101, &TCP2110::OnReceiveData, this, [&](const std::uint8_t *, std::uint32_t) {
        lastBlock = clock.elapsed();
        ++blocks;
    });
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    // Frames for well over a watchdog's period keep restarting it (the real one is left to
    // the shortened case: it would take twenty seconds).
    QTRY_VERIFY_WITH_TIMEOUT(blocks >= 3 && (real || clock.elapsed() > 2 * Watchdog), 10000);
    QVERIFY(w.CP21101->Connected());
    NoticeLog notices;
    onNextModal(
        [&](QWidget *dlg) {
            noticeAt = clock.elapsed();
            notices.texts << dlg->findChild<QLabel *>(QStringLiteral("Message"))->text();
            dlg->close();
        },
        Watchdog + 5000);
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);
    QTRY_COMPARE_WITH_TIMEOUT(notices.texts, QStringList{N2}, Watchdog + 5000);
    // The period counts from the last block, not from when the meter fell silent (less the
    // twentieth by which a coarse timer may end early).
    QVERIFY2(noticeAt - lastBlock >= Watchdog - Watchdog / 20 - 50,
             qPrintable(QString::number(noticeAt - lastBlock)));
    QVERIFY(!w.CP21101->Connected());
    QVERIFY(!w.Panel3->btnConnect->isChecked());
    QVERIFY(!w.timerDisconectedUSB->isActive());
    notices.armOnce(); // a second notice would be a fault
    QTest::qWait(std::min(3 * Watchdog, 1000));
    QCOMPARE(notices.texts.size(), 1);
}

void TestConnection::arrivalRefreshesTheChoiceWithoutConnecting()
{
    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    TfrmMain w(simulate);
    QCOMPARE(w.Panel3->cbbDevices->count(), 0);
    QCOMPARE(sim.Plug("late-bridge", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QTRY_COMPARE(w.Panel3->cbbDevices->count(), 1);
    QCOMPARE(w.CP21101->DeviceName, QStringLiteral("late-bridge"));
    QVERIFY(!w.CP21101->Connected());
    // Another product id arriving enters the component's list but not the choice.
    QCOMPARE(sim.Plug("not-a-bridge", 0x10C4, 0x0001), HID_UART_SUCCESS);
    QTRY_COMPARE(w.CP21101->DeviceList().size(), 2);
    QCOMPARE(w.Panel3->cbbDevices->count(), 1);
}

void TestConnection::disconnectByButton()
{
    TfrmMain w(simulate);
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(!w.CP21101->Connected());
    QVERIFY(!w.Panel3->btnConnect->isChecked());
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Connection"));
    QVERIFY(!w.timerDisconectedUSB->isActive());
    // The last reading stays on show after the link is gone.
    QVERIFY(usbMark(w) && !usbMark(w)->isVisibleTo(&w));
}

void TestConnection::readerThreadFailureLeavesTheButtonUp()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("the sanitizers' runtimes need address space this test takes away");
#elif defined(Q_OS_WIN)
    QSKIP("no limit on a process's address space to keep a thread from starting on Windows");
#endif
    TfrmMain w(simulate);
    QString message;
    onNextModal([&message](QWidget *dlg) {
        message = dlg->findChild<QLabel *>(QStringLiteral("Message"))->text();
        dlg->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
    });
    {
        const TTightAddressSpace tight;
        QVERIFY(tight.Active());
        QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    }

    QCOMPARE(message, QStringLiteral("Failed to Create Thread!"));
    QVERIFY(!w.CP21101->Connected());
    QVERIFY(!w.Panel3->btnConnect->isChecked());
    QCOMPARE(w.Panel3->btnConnect->text(), QStringLiteral("Connection"));
    // The bridge was let go: a second try with room for the thread connects.
    QTest::mouseClick(w.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w.CP21101->Connected());
}

void TestConnection::closingWhileConnectedAsksNothingMore()
{
    auto *w = new TfrmMain(simulate);
    QTest::mouseClick(w->Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w->CP21101->Connected());
    bool anyDialog = false;
    onNextModal(
        [&anyDialog](QWidget *dlg) {
            anyDialog = true;
            dlg->close();
        },
        1000);
    delete w; // destruction closes the link
    QTest::qWait(1200);
    QVERIFY(!anyDialog);
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
