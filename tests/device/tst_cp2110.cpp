#include "../support/simbridge.h"
#include "tcp2110.h"

#include <QLibraryInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {

// Records the component's events in the order they were raised.
struct EventLog
{
    QStringList events;
    QList<QByteArray> blocks;
    QList<bool> connectedAtDisconnect;
    QList<QObject *> disconnectSenders;

    void attach(TCP2110 &c)
    {
        QObject::connect(&c, &TCP2110::OnRemoval, [this](QObject *) { events << "Removal"; });
        QObject::connect(&c, &TCP2110::OnArrival, [this](QObject *) { events << "Arrival"; });
        QObject::connect(&c, &TCP2110::OnConnect, [this](QObject *) { events << "Connect"; });
        QObject::connect(&c, &TCP2110::OnDisconnect, [this, &c](QObject *sender) {
            events << "Disconnect";
            disconnectSenders << sender;
            connectedAtDisconnect << c.Connected();
        });
        QObject::connect(&c, &TCP2110::OnDeviceChange,
                         [this](QObject *) { events << "DeviceChange"; });
        QObject::connect(&c, &TCP2110::OnError,
                         [this](QObject *, std::uint32_t code, const QByteArray &msg) {
                             events << QString("Error %1 '%2'").arg(code).arg(QString(msg));
                         });
        QObject::connect(&c, &TCP2110::OnReceiveData,
                         [this](const std::uint8_t *data, std::uint32_t len) {
                             blocks << QByteArray(reinterpret_cast<const char *>(data), int(len));
                         });
    }
};

// The component's own error notices, as the front end would be handed them.
QStringList notices;
void takeNotice(const QString &text)
{
    notices << text;
}

std::unique_ptr<TCP2110> simulated()
{
    return std::make_unique<TCP2110>(nullptr, TCP2110::SimulatedLibraryFile());
}

} // namespace

class TestCP2110 : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void libraryThatCannotServe_data();
    void libraryThatCannotServe();
    void defaultsAndTheDefaultBridge();
    void twoBridgesSortedFirstIsChosen();
    void otherProductNotScannedButAddedOnArrival();
    void noBridgeFailsWith101();
    void openFailures_data();
    void openFailures();
    void deniedNoticeNamesTheRule_data();
    void deniedNoticeNamesTheRule();
    void pollsHandOnNonEmptyBlocksOnly();
    void readPauseHoldsTheReader();
    void readTimeInterval();
    void unplugOpenBridge();
    void unplugAnotherDevice();
    void closeWithNothingOpen();
    void blockInHandOffIsDeliveredInsideClose();
    void stopAtRandomMomentsLosesNothing();

private:
    SimBridge sim;
};

void TestCP2110::init()
{
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
}

void TestCP2110::libraryThatCannotServe_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message"); // a regular expression
    QTest::newRow("missing") << "no-such-bridge-library.so"
                             << "^DLL File is not Exists!$";
    QTest::newRow("not a library") << "@garbage"
                                   << "^Cannot load .*garbage";
    // A real library, but not a bridge library.
#ifdef Q_OS_WIN
    QTest::newRow("lacks entry points")
        << QLibraryInfo::path(QLibraryInfo::BinariesPath) + "/Qt6Core.dll"
        << "Qt6Core.dll lacks the entry point HidUart_GetNumDevices";
#else
    QTest::newRow("lacks entry points")
        << QLibraryInfo::path(QLibraryInfo::LibrariesPath) + "/libQt6Core.so.6"
        << "libQt6Core.so.6 lacks the entry point HidUart_GetNumDevices";
#endif
}

void TestCP2110::libraryThatCannotServe()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    QTemporaryDir dir;
    if (file == "@garbage") {
        file = dir.filePath("garbage.so");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a shared library");
    }
    notices.clear();
    TCP2110::SetSystemNotice(&takeNotice);
    const auto restore = qScopeGuard([] { TCP2110::SetSystemNotice(nullptr); });
    bool created = false;
    TCP2110 c(nullptr, file);
    QObject::connect(&c, &TCP2110::OnCreate, [&] { created = true; });
    QCOMPARE(notices.size(), 1);
    QVERIFY2(QRegularExpression(message).match(notices.first()).hasMatch(),
             qPrintable(notices.first()));
    QVERIFY(!c.HasLibrary());
    QVERIFY(c.DeviceList().isEmpty());
    QVERIFY(c.DeviceName.isEmpty());
    EventLog log;
    log.attach(c);
    QVERIFY(!c.Open()); // no library: the same notice as for a missing bridge
    QCOMPARE(log.events, QStringList{"Error 101 ''"});
}

void TestCP2110::defaultsAndTheDefaultBridge()
{
    auto c = simulated();
    QVERIFY(c->HasLibrary());
    QCOMPARE(c->BaudRate, TCP2110::CBR_9600);
    QCOMPARE(c->ByteSize, TCP2110::_8);
    QCOMPARE(c->StopBits, TCP2110::_1);
    QCOMPARE(c->Parity, TCP2110::None);
    QCOMPARE(c->ReadTimeOuts, 0u);
    QCOMPARE(c->WriteTimeOuts, 500u);
    QCOMPARE(c->ReadTimeInterval(), 100u);
    QCOMPARE(c->PollInterval(), 70u);
    QVERIFY(!c->Connected());
    QCOMPARE(c->DeviceList().size(), 1);
    QVERIFY(c->DeviceList().first().startsWith(QString(SimBridge::DefaultSerial) + "="));
    QVERIFY(c->DeviceList().first().contains("vid_10c4", Qt::CaseInsensitive));
    QCOMPARE(c->DeviceName, QString(SimBridge::DefaultSerial));
}

void TestCP2110::twoBridgesSortedFirstIsChosen()
{
    QCOMPARE(sim.Plug("abc-0002", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    auto c = simulated();
    QCOMPARE(c->DeviceList().size(), 2);
    QVERIFY(c->DeviceList().at(0).startsWith("abc-0002="));
    QVERIFY(c->DeviceList().at(1).startsWith(QString(SimBridge::DefaultSerial) + "="));
    QCOMPARE(c->DeviceName, QStringLiteral("abc-0002"));

    // The opened bridge is the chosen one: only its line carries what is fed to it.
    sim.SetMeterSilent("abc-0002", 1);
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);
    EventLog log;
    log.attach(*c);
    QVERIFY(c->Open());
    sim.feed(SimBridge::DefaultSerial, "other");
    sim.feed("abc-0002", "mine");
    QTRY_COMPARE(log.blocks.join(), QByteArray("mine"));
    QTest::qWait(150);
    QCOMPARE(log.blocks.join(), QByteArray("mine"));
    QVERIFY(c->Close());
}

void TestCP2110::otherProductNotScannedButAddedOnArrival()
{
    QCOMPARE(sim.Plug("other-early", 0x10C4, 0x1234), HID_UART_SUCCESS);
    auto c = simulated();
    QCOMPARE(c->DeviceList().size(), 1);
    EventLog log;
    log.attach(*c);
    QCOMPARE(sim.Plug("other-late", 0x10C4, 0x1234), HID_UART_SUCCESS);
    QTRY_VERIFY(log.events.contains("DeviceChange"));
    QCOMPARE(log.events, (QStringList{"Arrival", "DeviceChange"}));
    // Arrival adds every device the library lists that is not yet known, by serial text.
    QCOMPARE(c->DeviceList().size(), 3);
    QVERIFY(c->DeviceList().at(0).startsWith(QString(SimBridge::DefaultSerial) + "="));
    QVERIFY(c->DeviceList().at(1).startsWith("other-early="));
    QVERIFY(c->DeviceList().at(2).startsWith("other-late="));
}

void TestCP2110::noBridgeFailsWith101()
{
    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    auto c = simulated();
    QVERIFY(c->DeviceList().isEmpty());
    QCOMPARE(c->DeviceName, QString());
    EventLog log;
    log.attach(*c);
    QVERIFY(!c->Open());
    QVERIFY(!c->Connected());
    QCOMPARE(log.events, QStringList{"Error 101 ''"});
}

void TestCP2110::openFailures_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<TCP2110::TOpenFailure>("failure"); // a denied or held one names the node
    using F = TCP2110::TOpenFailure;
    QTest::newRow("open refused") << 0 << F::NoDevice;
    QTest::newRow("configuration reads back different") << 1 << F::NoDevice;
    QTest::newRow("serial text not present") << 2 << F::NoDevice;
    QTest::newRow("access denied") << 3 << F::AccessDenied;
    QTest::newRow("not a bridge, with the same serial text") << 4 << F::NoDevice;
    QTest::newRow("held by another program") << 5 << F::InUse;
}

void TestCP2110::openFailures()
{
    QFETCH(int, fault);
    QFETCH(TCP2110::TOpenFailure, failure);
    auto c = simulated();
    if (fault == 0) {
        QCOMPARE(sim.FailNextOpen(SimBridge::DefaultSerial, HID_UART_DEVICE_IO_FAILED),
                 HID_UART_SUCCESS);
    } else if (fault == 1) {
        QCOMPARE(sim.SetConfigMismatch(SimBridge::DefaultSerial, 1), HID_UART_SUCCESS);
    } else if (fault == 2) {
        c->DeviceName = QStringLiteral("lmt-sim-0001"); // the match is case-sensitive
    } else if (fault == 3 || fault == 5) {
        QCOMPARE(sim.FailNextOpen(SimBridge::DefaultSerial, fault == 3
                                                                ? HID_UART_DEVICE_ACCESS_ERROR
                                                                : HID_UART_DEVICE_IN_USE),
                 HID_UART_SUCCESS);
    } else {
        // Another HID device that answers like a bridge is never opened, even by its serial.
        QCOMPARE(sim.Plug("other-hid", 0x046D, 0xC077), HID_UART_SUCCESS);
        c->DeviceName = QStringLiteral("other-hid");
    }
    EventLog log;
    log.attach(*c);
    QVERIFY(!c->Open());
    QVERIFY(!c->Connected());
    const QString node = TCP2110::DeviceNode(c->DeviceList().value(0).section('=', 1));
    QVERIFY(node.startsWith("/sim/hidraw"));
    // The event carries no text; the reason is typed, with the node where there is one.
    QCOMPARE(log.events, QStringList{"Error 101 ''"});
    QCOMPARE(c->OpenFailure(), failure);
    QCOMPARE(c->FailedNode(), failure == TCP2110::TOpenFailure::NoDevice ? QString() : node);
    QVERIFY(!c->Close()); // a bridge that failed to open is not held
    // Once the fault is gone, the same component opens the bridge.
    sim.SetConfigMismatch(SimBridge::DefaultSerial, 0);
    c->DeviceName = SimBridge::DefaultSerial;
    QVERIFY(c->Open());
    QVERIFY(c->Connected());
    QCOMPARE(c->OpenFailure(), TCP2110::TOpenFailure::None);
    QVERIFY(c->Close());
}

void TestCP2110::deniedNoticeNamesTheRule_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("toInstall");
    QTest::newRow("read by udev") << "/usr/lib/udev/rules.d/60-lumetra.rules"
                                  << "";
    QTest::newRow("from a build tree") << ""
                                       << "/src/lumetra/dist/60-lumetra.rules";
    QTest::newRow("installed where udev does not read")
        << ""
        << "/usr/local/lib/udev/rules.d/60-lumetra.rules";
}

// The fix the notice gives fits where the rule is; how to try again is the front end's to say.
// The group plugdev is the way in without a seat, whichever the case.
void TestCP2110::deniedNoticeNamesTheRule()
{
    QFETCH(QString, installed);
    QFETCH(QString, toInstall);
    const QString text = TCP2110::AccessDeniedText("/dev/hidraw3", installed, toInstall);
    const QStringList lines = text.split('\n');
    QVERIFY2(text.startsWith("Access to the meter's USB cable was denied: this user may not open "
                             "its device node /dev/hidraw3."),
             qPrintable(text));
    QVERIFY(lines.contains("sudo adduser $USER plugdev"));
    QVERIFY2(text.endsWith("and log in again."), qPrintable(text));
    QVERIFY(!text.contains("Connection"));
    QVERIFY(!text.contains("command again"));
    const QStringList installs = lines.filter(QRegularExpression("^sudo install "));
    if (installed.isEmpty()) {
        QCOMPARE(installs, QStringList{"sudo install -m 644 " + toInstall + " /etc/udev/rules.d/"});
        QVERIFY(lines.contains("sudo udevadm control --reload-rules"));
    } else {
        QCOMPARE(installs, QStringList{});
        QVERIFY2(text.contains("Lumetra's udev rule " + installed + " hands the cable"),
                 qPrintable(text));
    }
    // Whatever this machine has, the rule the notice names is a file that is there.
    const QString rule = TCP2110::InstalledUdevRule();
    QVERIFY(QFileInfo::exists(rule.isEmpty() ? TCP2110::UdevRuleToInstall() : rule));
}

void TestCP2110::pollsHandOnNonEmptyBlocksOnly()
{
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);
    auto c = simulated();
    EventLog log;
    log.attach(*c);
    QVERIFY(c->Open());
    QTest::qWait(300); // several polls that read nothing
    QVERIFY(log.blocks.isEmpty());
    // Five bytes gathered while the reader is held arrive as one poll of 5 (status 18).
    c->SetReadPause(true);
    sim.feed(SimBridge::DefaultSerial, "12345");
    QTest::qWait(100);
    QVERIFY(log.blocks.isEmpty());
    c->SetReadPause(false);
    QTRY_COMPARE(log.blocks.size(), 1);
    QCOMPARE(log.blocks.first(), QByteArray("12345"));
    QTest::qWait(200);
    QCOMPARE(log.blocks.size(), 1);
    QVERIFY(c->Close());
}

void TestCP2110::readPauseHoldsTheReader()
{
    auto c = simulated();
    c->SetReadPause(true); // not connected: ignored
    QVERIFY(!c->ReadPause());
    EventLog log;
    log.attach(*c);
    // A frame every 20 ms, so that a short hold spans many of them.
    QCOMPARE(sim.SetFramePeriod(SimBridge::DefaultSerial, 20), HID_UART_SUCCESS);
    QVERIFY(c->Open());
    QTRY_VERIFY(!log.blocks.isEmpty()); // the virtual meter talks
    c->SetReadPause(true);
    QVERIFY(c->ReadPause());
    QTest::qWait(100);
    const qsizetype held = log.blocks.size();
    QTest::qWait(200); // ten frames' time: nothing may arrive while held
    QCOMPARE(log.blocks.size(), held);
    QVERIFY(c->Close());     // a held reader still ends
    QVERIFY(c->ReadPause()); // Close does not reset it
    QCOMPARE(log.events.last(), QStringLiteral("Disconnect"));
    // ...but a new link starts reading: the pause ended with the link it was set on.
    log.blocks.clear();
    QVERIFY(c->Open());
    QVERIFY(!c->ReadPause());
    QTRY_VERIFY(!log.blocks.isEmpty());
    c->SetReadPause(true); // and it can be paused again
    QVERIFY(c->ReadPause());
    QVERIFY(c->Close());
}

void TestCP2110::readTimeInterval()
{
    auto c = simulated();
    c->SetReadTimeInterval(100);
    QCOMPARE(c->PollInterval(), 70u); // unchanged value: the reader keeps its 70 ms
    c->SetReadTimeInterval(50);
    QCOMPARE(c->PollInterval(), 50u);
    QCOMPARE(c->ReadTimeInterval(), 50u);
}

void TestCP2110::unplugOpenBridge()
{
    auto c = simulated();
    EventLog log;
    log.attach(*c);
    QVERIFY(c->Open());
    log.events.clear();
    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    QTRY_VERIFY(log.events.contains("DeviceChange"));
    QCOMPARE(log.events, (QStringList{"Removal", "Disconnect", "DeviceChange"}));
    QCOMPARE(log.disconnectSenders.last(), nullptr);
    QCOMPARE(log.connectedAtDisconnect.last(), false);
    QVERIFY(!c->Connected());
    QVERIFY(c->DeviceList().isEmpty());
}

void TestCP2110::unplugAnotherDevice()
{
    QCOMPARE(sim.Plug("zz-0003", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    auto c = simulated();
    QCOMPARE(c->DeviceList().size(), 2);
    EventLog log;
    log.attach(*c);
    QVERIFY(c->Open());
    log.events.clear();
    QCOMPARE(sim.Unplug("zz-0003"), HID_UART_SUCCESS);
    QTRY_VERIFY(log.events.contains("DeviceChange"));
    QCOMPARE(log.events, QStringList{"DeviceChange"});
    QCOMPARE(c->DeviceList().size(), 1);
    QVERIFY(c->Connected());
    QVERIFY(c->Close());
}

void TestCP2110::closeWithNothingOpen()
{
    auto c = simulated();
    EventLog log;
    log.attach(*c);
    QVERIFY(!c->Close());
    QCOMPARE(log.events, QStringList{"Disconnect"});
    QCOMPARE(log.disconnectSenders.first(), nullptr);
}

void TestCP2110::blockInHandOffIsDeliveredInsideClose()
{
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);
    auto c = simulated();
    EventLog log;
    log.attach(*c);
    QObject::connect(c.get(), &TCP2110::OnReceiveData,
                     [&log](const std::uint8_t *, std::uint32_t) { log.events << "Receive"; });
    QVERIFY(c->Open());
    sim.feed(SimBridge::DefaultSerial, "abc");
    // The GUI thread is busy: the reader reads the bytes and waits in the hand-off.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QVERIFY(log.blocks.isEmpty());
    QVERIFY(c->Close());
    // The line paces the three bytes over about 3 ms, so a poll may catch only the first ones;
    // whatever the reader held is delivered, once, before the link reports its end.
    QCOMPARE(log.blocks.size(), 1);
    QVERIFY2(!log.blocks.first().isEmpty() && QByteArray("abc").startsWith(log.blocks.first()),
             log.blocks.first().constData());
    QCOMPARE(log.events, (QStringList{"Connect", "Receive", "Disconnect"}));
    QTest::qWait(100); // the queued hand-off that Close overtook finds nothing left
    QCOMPARE(log.blocks.size(), 1);
}

void TestCP2110::stopAtRandomMomentsLosesNothing()
{
    // A counting byte stream: within one connection the delivered bytes must follow each other
    // without a gap, a repeat or a swap, however Close cuts into a hand-off.
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);
    QByteArray pattern(4096, '\0');
    for (int i = 0; i < pattern.size(); ++i)
        pattern[i] = char(i);
    auto c = simulated();
    c->SetReadTimeInterval(2);
    QRandomGenerator rng(7);
    QByteArray stream;
    QObject::connect(c.get(), &TCP2110::OnReceiveData,
                     [&stream](const std::uint8_t *data, std::uint32_t len) {
                         stream.append(reinterpret_cast<const char *>(data), int(len));
                     });
    int deliveredInsideClose = 0, cycles = 0, bytes = 0;
    QElapsedTimer clock;
    clock.start();
    while (cycles < 300 && clock.elapsed() < 60000) {
        ++cycles;
        stream.clear();
        QVERIFY(c->Open());
        sim.feed(SimBridge::DefaultSerial, pattern);
        QTest::qWait(int(rng.bounded(25)));
        // Leave the GUI thread busy so a block is likely waiting in the hand-off.
        std::this_thread::sleep_for(std::chrono::milliseconds(rng.bounded(6)));
        const qsizetype before = stream.size();
        c->Close();
        deliveredInsideClose += stream.size() > before;
        for (int i = 1; i < stream.size(); ++i)
            QVERIFY2(quint8(stream[i]) == quint8(stream[i - 1] + 1),
                     qPrintable(QString("cycle %1, byte %2").arg(cycles).arg(i)));
        bytes += int(stream.size());
    }
    QVERIFY(cycles >= 100);
    QVERIFY(bytes > 0);
    qInfo("%d cycles, %d bytes, %d blocks delivered inside Close", cycles, bytes,
          deliveredInsideClose);
}

QTEST_GUILESS_MAIN(TestCP2110)
#include "tst_cp2110.moc"
