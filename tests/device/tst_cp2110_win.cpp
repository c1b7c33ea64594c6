// The bridge component's Windows device notifications with the simulated bridge: its hidden
// window registered for the HID interface class, and WM_DEVICECHANGE as the system sends it.
#include "../support/simbridge.h"
#include "tcp2110.h"

#include <QtTest>

#include "../support/win32api.h"

#include <cstring>
#include <vector>

namespace {

struct EventLog
{
    QStringList events;

    void attach(TCP2110 &c)
    {
        QObject::connect(&c, &TCP2110::OnRemoval, [this](QObject *) { events << "Removal"; });
        QObject::connect(&c, &TCP2110::OnArrival, [this](QObject *) { events << "Arrival"; });
        QObject::connect(&c, &TCP2110::OnDisconnect, [this](QObject *) { events << "Disconnect"; });
        QObject::connect(&c, &TCP2110::OnDeviceChange,
                         [this](QObject *) { events << "DeviceChange"; });
    }
};

// A device interface broadcast as the system makes it: the header, the class and the name.
std::vector<char> interfaceBroadcast(const QByteArray &path, DWORD deviceType)
{
    std::vector<char> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)
                            + std::size_t(path.size()) + 1);
    auto *header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A *>(bytes.data());
    header->dbcc_size = DWORD(bytes.size());
    header->dbcc_devicetype = deviceType;
    std::memcpy(header->dbcc_name, path.constData(), std::size_t(path.size()) + 1);
    return bytes;
}

QString pathOf(const TCP2110 &c, const QString &serial)
{
    for (const QString &line : c.DeviceList())
        if (line.section(u'=', 0, 0) == serial)
            return line.section(u'=', 1);
    return {};
}

} // namespace

class TestCP2110Win : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void registersForTheHidClass();
    void deviceChange_data();
    void deviceChange();
    void notifiedLikeTheLibraryMonitor();

private:
    SimBridge sim;
};

void TestCP2110Win::init()
{
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
}

void TestCP2110Win::registersForTheHidClass()
{
    TCP2110 c(nullptr, TCP2110::SimulatedLibraryFile());
    QVERIFY(c.HasLibrary());
    const HWND window = static_cast<HWND>(c.NotifyWindow());
    QVERIFY(window);
    QVERIFY(IsWindow(window));
    QVERIFY(!IsWindowVisible(window));
    QVERIFY(c.HasHidNotification());
    // Without a library the window is still there, and nothing is registered.
    TCP2110 none(nullptr, QStringLiteral("no-such-bridge-library.dll"));
    QVERIFY(none.NotifyWindow());
    QVERIFY(!none.HasHidNotification());
}

void TestCP2110Win::deviceChange_data()
{
    QTest::addColumn<uint>("event");
    QTest::addColumn<uint>("deviceType");
    QTest::addColumn<QString>("whose"); // "open", "other" (listed, not open), "unknown"
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("listed"); // lines of DeviceList afterwards
    QTest::addColumn<bool>("connected");
    QTest::newRow("the open bridge removed")
        << uint(DBT_DEVICEREMOVECOMPLETE) << uint(DBT_DEVTYP_DEVICEINTERFACE) << "open"
        << QStringList{"Removal", "Disconnect", "DeviceChange"} << 1 << false;
    QTest::newRow("another bridge removed")
        << uint(DBT_DEVICEREMOVECOMPLETE) << uint(DBT_DEVTYP_DEVICEINTERFACE) << "other"
        << QStringList{"DeviceChange"} << 1 << true;
    QTest::newRow("an unknown device removed")
        << uint(DBT_DEVICEREMOVECOMPLETE) << uint(DBT_DEVTYP_DEVICEINTERFACE) << "unknown"
        << QStringList{"DeviceChange"} << 2 << true;
    QTest::newRow("a listed bridge arrived")
        << uint(DBT_DEVICEARRIVAL) << uint(DBT_DEVTYP_DEVICEINTERFACE) << "other"
        << QStringList{"Arrival", "DeviceChange"} << 2 << true;
    QTest::newRow("removal of a volume, not an interface")
        << uint(DBT_DEVICEREMOVECOMPLETE) << uint(DBT_DEVTYP_VOLUME) << "open"
        << QStringList{"DeviceChange"} << 2 << true;
    QTest::newRow("any other event")
        << uint(DBT_DEVICEQUERYREMOVE) << uint(DBT_DEVTYP_DEVICEINTERFACE) << "open"
        << QStringList{"DeviceChange"} << 2 << true;
}

void TestCP2110Win::deviceChange()
{
    QFETCH(uint, event);
    QFETCH(uint, deviceType);
    QFETCH(QString, whose);
    QFETCH(QStringList, events);
    QFETCH(int, listed);
    QFETCH(bool, connected);
    QCOMPARE(sim.Plug("LMT-SIM-0002", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    TCP2110 c(nullptr, TCP2110::SimulatedLibraryFile());
    QCOMPARE(c.DeviceList().size(), 2);
    c.DeviceName = QStringLiteral(HIDUARTSIM_DEFAULT_SERIAL);
    QVERIFY(c.Open());
    EventLog log;
    log.attach(c);
    const QString path = whose == "open"    ? pathOf(c, c.DeviceName)
                         : whose == "other" ? pathOf(c, QStringLiteral("LMT-SIM-0002"))
                                            : QStringLiteral("\\\\?\\HID#VID_046D&PID_C077#1");
    QVERIFY(!path.isEmpty());
    // The system sends the message to the registered window; the name's case is its own.
    std::vector<char> broadcast = interfaceBroadcast(path.toUpper().toLocal8Bit(), deviceType);
    SendMessageA(static_cast<HWND>(c.NotifyWindow()), WM_DEVICECHANGE, WPARAM(event),
                 LPARAM(broadcast.data()));
    QCOMPARE(log.events, events);
    QCOMPARE(c.DeviceList().size(), listed);
    QCOMPARE(c.Connected(), connected);
    c.Close();
}

void TestCP2110Win::notifiedLikeTheLibraryMonitor()
{
    // Both ways of hearing of a bridge may tell of the same one: it is listed once.
    TCP2110 c(nullptr, TCP2110::SimulatedLibraryFile());
    EventLog log;
    log.attach(c);
    QCOMPARE(sim.Plug("LMT-SIM-0003", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    const QString path = [&] {
        char text[HID_UART_DEVICE_STRLEN] = {};
        QLibrary lib(QCoreApplication::applicationDirPath() + "/" + SimBridge::LibraryFile);
        const auto getString =
            reinterpret_cast<HidUart_GetString_t>(lib.resolve("HidUart_GetString"));
        return getString && getString(1, 0, 0, text, HID_UART_GET_PATH_STR) == HID_UART_SUCCESS
                   ? QString::fromLocal8Bit(text)
                   : QString();
    }();
    QVERIFY(!path.isEmpty());
    std::vector<char> broadcast =
        interfaceBroadcast(path.toLocal8Bit(), DBT_DEVTYP_DEVICEINTERFACE);
    SendMessageA(static_cast<HWND>(c.NotifyWindow()), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 LPARAM(broadcast.data()));
    QCOMPARE(log.events, (QStringList{"Arrival", "DeviceChange"}));
    // Then the library's own event, read on the event loop.
    QTRY_COMPARE(log.events.size(), 4);
    QCOMPARE(log.events.mid(2), (QStringList{"Arrival", "DeviceChange"}));
    QCOMPARE(c.DeviceList().size(), 2);
}

QTEST_GUILESS_MAIN(TestCP2110Win)
#include "tst_cp2110_win.moc"
