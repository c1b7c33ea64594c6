// The simulated bridge library, loaded from the program's folder and resolved by name, as the
// bridge component loads it.
#include "../support/simbridge.h"

#include "hiduart_api.h"
#include "hiduartsim_api.h"
#include "virtualmeter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QTemporaryFile>
#include <QTest>

#include <atomic>
#include <thread>

namespace {

void countPending(void *calls)
{
    static_cast<std::atomic<int> *>(calls)->fetch_add(1);
}

// The bridge calls the component resolves, on top of the simulator's controls, which SimBridge
// binds from the same file when the test object is made.
struct SimApi : SimBridge
{
    HidUart_GetNumDevices_t GetNumDevices = nullptr;
    HidUart_GetString_t GetString = nullptr;
    HidUart_GetOpenedString_t GetOpenedString = nullptr;
    HidUart_Open_t Open = nullptr;
    HidUart_Close_t Close = nullptr;
    HidUart_GetPartNumber_t GetPartNumber = nullptr;
    HidUart_SetUartConfig_t SetUartConfig = nullptr;
    HidUart_GetUartConfig_t GetUartConfig = nullptr;
    HidUart_SetTimeouts_t SetTimeouts = nullptr;
    HidUart_Read_t Read = nullptr;
    HidUart_Lumetra_OpenDeviceMonitor_t OpenDeviceMonitor = nullptr;
    HidUart_Lumetra_ReadDeviceEvent_t ReadDeviceEvent = nullptr;
    HidUart_Lumetra_CloseDeviceMonitor_t CloseDeviceMonitor = nullptr;
    HidUartSim_ReplayFile_t ReplayFile = nullptr;
};

const char *const Default = HIDUARTSIM_DEFAULT_SERIAL;

QByteArray pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(i * 13 + 5);
    return b;
}

} // namespace

class TestHidUartSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyEntryPointResolves();
    void defaultBridgeStrings_data();
    void defaultBridgeStrings();
    void openAndConfigureAsTheProgramDoes();
    void configMismatchInjection();
    void meterSendsTwoFramesPerSecond();
    void fasterMeterPlaysTheSameScene_data();
    void fasterMeterPlaysTheSameScene();
    void bytesArriveAtTheLineRate();
    void zeroTimeoutReadReturnsAtOnce();
    void silencedMeterSendsNothing();
    void replayedCaptureArrivesIntact();
    void failNextOpen();
    void readFailureInjection();
    void plugAndUnplugRaiseEvents();
    void unplugOpenBridge();
    void controlErrors_data();
    void controlErrors();
    void readerKeepsReadingWhileDevicesChange();
    void unplugCycleComesLooseAndBack();

private:
    HID_UART_DEVICE openDefault();
    QByteArray readFor(HID_UART_DEVICE h, int ms);
    void drain(HID_UART_DEVICE h);

    QLibrary m_library;
    SimApi m_api;
    std::vector<HID_UART_DEVICE> m_opened;
};

void TestHidUartSim::initTestCase()
{
    m_library.setFileName(QCoreApplication::applicationDirPath() +
#ifdef Q_OS_WIN
                          "/SLABHIDtoUART-sim.dll"
#else
                          "/libSLABHIDtoUART-sim.so"
#endif
    );
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    const auto get = [this](auto &fn, const char *name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(m_library.resolve(name));
        QVERIFY2(fn, name);
    };
    get(m_api.GetNumDevices, "HidUart_GetNumDevices");
    get(m_api.GetString, "HidUart_GetString");
    get(m_api.GetOpenedString, "HidUart_GetOpenedString");
    get(m_api.Open, "HidUart_Open");
    get(m_api.Close, "HidUart_Close");
    get(m_api.GetPartNumber, "HidUart_GetPartNumber");
    get(m_api.SetUartConfig, "HidUart_SetUartConfig");
    get(m_api.GetUartConfig, "HidUart_GetUartConfig");
    get(m_api.SetTimeouts, "HidUart_SetTimeouts");
    get(m_api.Read, "HidUart_Read");
    get(m_api.OpenDeviceMonitor, "HidUart_Lumetra_OpenDeviceMonitor");
    get(m_api.ReadDeviceEvent, "HidUart_Lumetra_ReadDeviceEvent");
    get(m_api.CloseDeviceMonitor, "HidUart_Lumetra_CloseDeviceMonitor");
    get(m_api.ReplayFile, "HidUartSim_ReplayFile");
}

void TestHidUartSim::init()
{
    qunsetenv("LUMETRA_SIM_FRAME_MS");
    QCOMPARE(m_api.Reset(), HID_UART_SUCCESS);
}

void TestHidUartSim::cleanup()
{
    for (HID_UART_DEVICE h : m_opened)
        m_api.Close(h);
    m_opened.clear();
}

HID_UART_DEVICE TestHidUartSim::openDefault()
{
    HID_UART_DEVICE h = nullptr;
    if (m_api.Open(&h, 0, 0, 0) == HID_UART_SUCCESS)
        m_opened.push_back(h);
    return h;
}

// Polls as the bridge component's reader does: a read of everything queued, then a pause.
QByteArray TestHidUartSim::readFor(HID_UART_DEVICE h, int ms)
{
    m_api.SetTimeouts(h, 0, 500);
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        uint8_t buf[2048];
        uint32_t got = 0;
        const HID_UART_STATUS status = m_api.Read(h, buf, sizeof buf, &got);
        if (status == HID_UART_SUCCESS || status == HID_UART_READ_TIMED_OUT)
            received.append(reinterpret_cast<const char *>(buf), got);
        QTest::qSleep(20);
    }
    return received;
}

// Silences the meter and waits until the frame it may be sending has passed.
void TestHidUartSim::drain(HID_UART_DEVICE h)
{
    m_api.SetMeterSilent(Default, 1);
    readFor(h, 40);
}

void TestHidUartSim::everyEntryPointResolves()
{
    // The fifteen entry points the component resolves, each by name.
    const char *names[] = {
        "HidUart_GetNumDevices",   "HidUart_GetString",     "HidUart_GetHidGuid",
        "HidUart_GetOpenedString", "HidUart_Open",          "HidUart_Close",
        "HidUart_GetPartNumber",   "HidUart_GetUartConfig", "HidUart_SetUartConfig",
        "HidUart_SetTimeouts",     "HidUart_GetPinConfig",  "HidUart_IsOpened",
        "HidUart_ReadLatch",       "HidUart_Read",          "HidUart_Write"};
    for (const char *name : names)
        QVERIFY2(m_library.resolve(name), name);
    // Internals stay inside.
    QVERIFY(!m_library.resolve("_Z19hidUartLibraryCorev"));
}

void TestHidUartSim::defaultBridgeStrings_data()
{
    QTest::addColumn<uint32_t>("option");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("vid") << 1u << QByteArray("10C4");
    QTest::newRow("pid") << 2u << QByteArray("EA80");
    QTest::newRow("path") << 3u << QByteArray("/sim/hidraw0#vid_10c4&pid_ea80");
    QTest::newRow("serial") << 4u << QByteArray(HIDUARTSIM_DEFAULT_SERIAL);
}

void TestHidUartSim::defaultBridgeStrings()
{
    QFETCH(uint32_t, option);
    QFETCH(QByteArray, expected);
    uint32_t n = 0;
    QCOMPARE(m_api.GetNumDevices(&n, 0, 0), HID_UART_SUCCESS);
    QCOMPARE(n, 1u);
    char text[HID_UART_DEVICE_STRLEN];
    QCOMPARE(m_api.GetString(0, 0, 0, text, option), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(text), expected);
}

void TestHidUartSim::openAndConfigureAsTheProgramDoes()
{
    HID_UART_DEVICE h = openDefault();
    QVERIFY(h);
    uint8_t part = 0, version = 0;
    QCOMPARE(m_api.GetPartNumber(h, &part, &version), HID_UART_SUCCESS);
    QCOMPARE(part, uint8_t(0x0A));
    QCOMPARE(m_api.SetUartConfig(h, 9600, 3, 0, 0, 0), HID_UART_SUCCESS);
    uint32_t baud = 0;
    uint8_t data = 0, parity = 9, stop = 9, flow = 9;
    QCOMPARE(m_api.GetUartConfig(h, &baud, &data, &parity, &stop, &flow), HID_UART_SUCCESS);
    QCOMPARE(baud, 9600u);
    QCOMPARE(data, uint8_t(3));
    QCOMPARE(parity, uint8_t(0));
    QCOMPARE(stop, uint8_t(0));
    QCOMPARE(flow, uint8_t(0));
    QCOMPARE(m_api.SetTimeouts(h, 0, 500), HID_UART_SUCCESS);
    char listed[HID_UART_DEVICE_STRLEN], opened[HID_UART_DEVICE_STRLEN];
    QCOMPARE(m_api.GetString(0, 0, 0, listed, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
    QCOMPARE(m_api.GetOpenedString(h, opened, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(opened), QByteArray(listed));
}

void TestHidUartSim::configMismatchInjection()
{
    HID_UART_DEVICE h = openDefault();
    QCOMPARE(m_api.SetConfigMismatch(Default, 1), HID_UART_SUCCESS);
    QCOMPARE(m_api.SetUartConfig(h, 9600, 3, 0, 0, 0), HID_UART_SUCCESS);
    uint32_t baud = 0;
    uint8_t data, parity, stop, flow;
    QCOMPARE(m_api.GetUartConfig(h, &baud, &data, &parity, &stop, &flow), HID_UART_SUCCESS);
    QVERIFY(baud != 9600u);
    QCOMPARE(m_api.SetConfigMismatch(Default, 0), HID_UART_SUCCESS);
    QCOMPARE(m_api.GetUartConfig(h, &baud, &data, &parity, &stop, &flow), HID_UART_SUCCESS);
    QCOMPARE(baud, 9600u);
}

void TestHidUartSim::meterSendsTwoFramesPerSecond()
{
    HID_UART_DEVICE h = openDefault();
    const QByteArray stream = readFor(h, 2600);
    // Whole frames: 00 0D, 13 payload bytes, 0D 0A.
    int frames = 0;
    for (qsizetype i = stream.indexOf(QByteArray("\x00\x0D", 2)); i >= 0 && i + 17 <= stream.size();
         i = stream.indexOf(QByteArray("\x00\x0D", 2), i + 17)) {
        if (stream.mid(i + 15, 2) == "\r\n") {
            ++frames;
            QVERIFY(stream[i + 5] >= 1 && stream[i + 5] <= 4); // a main function is shown
        }
    }
    // 2.6 s at two frames a second; the frame on the line at open may arrive cut.
    QVERIFY2(frames >= 4 && frames <= 6, qPrintable(QString::number(frames)));
    QVERIFY2(stream.size() <= 6 * 17, qPrintable(QString::number(stream.size())));
}

void TestHidUartSim::fasterMeterPlaysTheSameScene_data()
{
    QTest::addColumn<bool>("fromEnvironment");
    QTest::newRow("control call") << false;
    QTest::newRow("environment, read when the bridge is plugged") << true;
}

// A faster meter must still send whole frames of its scene in order, none skipped or repeated,
// or tests run on it would see readings the real meter never shows.
void TestHidUartSim::fasterMeterPlaysTheSameScene()
{
    QFETCH(bool, fromEnvironment);
    if (fromEnvironment) {
        qputenv("LUMETRA_SIM_FRAME_MS", "40");
        QCOMPARE(m_api.Reset(), HID_UART_SUCCESS);
    }
    HID_UART_DEVICE h = openDefault();
    QVERIFY(h);
    if (!fromEnvironment)
        QCOMPARE(m_api.SetFramePeriod(Default, 40), HID_UART_SUCCESS);
    constexpr int Wanted = 12;
    const QByteArray marker("\x00\x0D", 2);
    QList<QByteArray> frames;
    QByteArray stream;
    m_api.SetTimeouts(h, 100, 500);
    // Twelve frames take half a second at this pace and six at the real one: waiting for them is
    // bounded far above the first and below the second.
    QElapsedTimer clock;
    clock.start();
    while (frames.size() < Wanted && clock.elapsed() < 5000) {
        uint8_t buf[2048];
        uint32_t got = 0;
        m_api.Read(h, buf, sizeof buf, &got);
        stream.append(reinterpret_cast<const char *>(buf), got);
        qsizetype i;
        while ((i = stream.indexOf(marker)) >= 0 && stream.size() - i >= 17) {
            if (stream.mid(i + 15, 2) == "\r\n")
                frames.append(stream.mid(i, 17));
            stream.remove(0, i + (stream.mid(i + 15, 2) == "\r\n" ? 17 : 1));
        }
    }
    // One read may bring the last two at once (a slow machine, a sanitizer).
    QVERIFY2(frames.size() >= Wanted, qPrintable(QString::number(frames.size())));
    frames.resize(Wanted);
    // The frames are counted from the plug, a few seconds ago at most; the first whole one
    // read may be any of them, and from there they follow one by one.
    const auto sceneFrame = [](uint64_t k) {
        const std::vector<uint8_t> f = VirtualMeter::frameAt(k);
        return QByteArray(reinterpret_cast<const char *>(f.data()), qsizetype(f.size()));
    };
    bool followed = false;
    for (uint64_t k0 = 0; k0 < 4096 && !followed; ++k0) {
        followed = true;
        for (int i = 0; i < Wanted && followed; ++i)
            followed = frames[i] == sceneFrame(k0 + uint64_t(i));
    }
    QVERIFY2(followed, frames.join(' ').toHex(' ').constData());
}

void TestHidUartSim::bytesArriveAtTheLineRate()
{
    HID_UART_DEVICE h = openDefault();
    drain(h);
    const QByteArray sent = pattern(96);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_api.FeedBytes(Default, reinterpret_cast<const uint8_t *>(sent.data()), 96),
             HID_UART_SUCCESS);
    QTest::qSleep(30);
    uint8_t buf[96];
    uint32_t first = 0;
    m_api.SetTimeouts(h, 0, 500);
    m_api.Read(h, buf, 96, &first);
    // About 29 characters fit in 30 ms at 9600 baud.
    QVERIFY2(first >= 20 && first < 96, qPrintable(QString::number(first)));
    uint32_t rest = 0;
    m_api.SetTimeouts(h, 2000, 500);
    QCOMPARE(m_api.Read(h, buf + first, 96 - first, &rest), HID_UART_SUCCESS);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buf), 96), sent);
    // 96 characters take 100 ms on the wire.
    QVERIFY2(elapsed >= 98 && elapsed < 400, qPrintable(QString::number(elapsed)));
}

void TestHidUartSim::zeroTimeoutReadReturnsAtOnce()
{
    HID_UART_DEVICE h = openDefault();
    drain(h);
    m_api.SetTimeouts(h, 0, 500);
    std::vector<qint64> ns;
    for (int i = 0; i < 200; ++i) {
        uint8_t buf[2048];
        uint32_t got = 7;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_api.Read(h, buf, sizeof buf, &got), HID_UART_READ_TIMED_OUT);
        ns.push_back(clock.nsecsElapsed());
        QCOMPARE(got, 0u);
    }
    std::sort(ns.begin(), ns.end());
    QVERIFY2(ns[100] < 100'000, qPrintable(QString::number(ns[100]))); // median under 0.1 ms
    QVERIFY2(ns[197] < 1'000'000, qPrintable(QString::number(ns[197])));
}

void TestHidUartSim::silencedMeterSendsNothing()
{
    HID_UART_DEVICE h = openDefault();
    // Six frames' time at a frame every 50 ms, as at the real pace, in a quarter of the time.
    QCOMPARE(m_api.SetFramePeriod(Default, 50), HID_UART_SUCCESS);
    drain(h);
    QCOMPARE(readFor(h, 300).size(), 0);
    QCOMPARE(m_api.SetMeterSilent(Default, 0), HID_UART_SUCCESS);
    QVERIFY(readFor(h, 300).size() >= 17);
}

void TestHidUartSim::replayedCaptureArrivesIntact()
{
    HID_UART_DEVICE h = openDefault();
    drain(h);
    QTemporaryFile capture;
    QVERIFY(capture.open());
    const QByteArray bytes =
        QByteArray::fromHex("000d 40580002 04d2 51 00 01000c 03 00 0d0a ff 000d") + pattern(40);
    capture.write(bytes);
    capture.close();
    QCOMPARE(m_api.ReplayFile(Default, capture.fileName().toLocal8Bit().constData()),
             HID_UART_SUCCESS);
    QCOMPARE(readFor(h, 300), bytes);
    QCOMPARE(m_api.ReplayFile(Default, "/nonexistent/capture.bin"), HID_UART_READ_ERROR);
}

void TestHidUartSim::failNextOpen()
{
    QCOMPARE(m_api.FailNextOpen(Default, 0), HID_UART_SUCCESS);
    HID_UART_DEVICE h = nullptr;
    QCOMPARE(m_api.Open(&h, 0, 0, 0), HID_UART_DEVICE_ACCESS_ERROR);
    QCOMPARE(h, nullptr);
    QVERIFY(openDefault());
}

void TestHidUartSim::readFailureInjection()
{
    HID_UART_DEVICE h = openDefault();
    drain(h);
    QCOMPARE(m_api.SetReadFailure(Default, 1), HID_UART_SUCCESS);
    uint8_t buf[64];
    uint32_t got = 5;
    QCOMPARE(m_api.Read(h, buf, sizeof buf, &got), HID_UART_READ_ERROR);
    QCOMPARE(got, 0u);
    QCOMPARE(m_api.SetReadFailure(Default, 0), HID_UART_SUCCESS);
    const uint8_t one = 0x42;
    m_api.FeedBytes(Default, &one, 1);
    m_api.SetTimeouts(h, 200, 0);
    QCOMPARE(m_api.Read(h, buf, 1, &got), HID_UART_SUCCESS);
    QCOMPARE(buf[0], one);
}

void TestHidUartSim::plugAndUnplugRaiseEvents()
{
    std::atomic<int> calls{0};
    const int32_t fd = m_api.OpenDeviceMonitor(&countPending, &calls);
    QVERIFY(fd >= 0);
    QCOMPARE(m_api.Plug("Second", 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QCOMPARE(calls.load(), 1);
    char path[HID_UART_DEVICE_STRLEN], listed[HID_UART_DEVICE_STRLEN];
    int32_t arrived = -1;
    QCOMPARE(m_api.ReadDeviceEvent(fd, path, &arrived), HID_UART_SUCCESS);
    QCOMPARE(arrived, 1);
    uint32_t n = 0;
    m_api.GetNumDevices(&n, 0, 0);
    QCOMPARE(n, 2u);
    QCOMPARE(m_api.GetString(1, 0, 0, listed, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(path), QByteArray(listed));
    QCOMPARE(m_api.ReadDeviceEvent(fd, path, &arrived), HID_UART_READ_TIMED_OUT);

    QCOMPARE(m_api.Unplug("Second"), HID_UART_SUCCESS);
    QCOMPARE(m_api.ReadDeviceEvent(fd, path, &arrived), HID_UART_SUCCESS);
    QCOMPARE(arrived, 0);
    QCOMPARE(QByteArray(path), QByteArray(listed));
    m_api.GetNumDevices(&n, 0, 0);
    QCOMPARE(n, 1u);
    QCOMPARE(m_api.CloseDeviceMonitor(fd), HID_UART_SUCCESS);
}

void TestHidUartSim::unplugOpenBridge()
{
    HID_UART_DEVICE h = openDefault();
    m_api.SetTimeouts(h, 30000, 0);
    QCOMPARE(m_api.Unplug(Default), HID_UART_SUCCESS);
    uint8_t buf[2048];
    uint32_t got = 0;
    QElapsedTimer clock;
    clock.start();
    HID_UART_STATUS status;
    do // bytes received before the unplug come first
        status = m_api.Read(h, buf, sizeof buf, &got);
    while (status == HID_UART_READ_TIMED_OUT && got > 0);
    QCOMPARE(status, HID_UART_READ_ERROR);
    QVERIFY(clock.elapsed() < 30000); // at once, not at the end of the time-out
    uint32_t n = 9;
    m_api.GetNumDevices(&n, 0, 0);
    QCOMPARE(n, 0u);
    QCOMPARE(m_api.Close(h), HID_UART_SUCCESS);
    m_opened.clear();
}

void TestHidUartSim::controlErrors_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("expected");
    QTest::newRow("unplug unknown") << "unplug" << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("silence unknown") << "silent" << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("feed unknown") << "feed" << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("fail open unknown") << "failopen" << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("plug twice") << "plug" << int(HID_UART_INVALID_PARAMETER);
    QTest::newRow("null serial") << "null" << int(HID_UART_INVALID_PARAMETER);
    QTest::newRow("frame period unknown") << "period" << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("frame period zero") << "period0" << int(HID_UART_INVALID_PARAMETER);
}

void TestHidUartSim::controlErrors()
{
    QFETCH(QString, call);
    QFETCH(int, expected);
    const uint8_t byte = 0;
    HID_UART_STATUS status = -1;
    if (call == "unplug")
        status = m_api.Unplug("nobody");
    else if (call == "silent")
        status = m_api.SetMeterSilent("nobody", 1);
    else if (call == "feed")
        status = m_api.FeedBytes("nobody", &byte, 1);
    else if (call == "failopen")
        status = m_api.FailNextOpen("nobody", 0);
    else if (call == "plug")
        status = m_api.Plug(Default, 0x10C4, 0xEA80);
    else if (call == "null")
        status = m_api.SetReadFailure(nullptr, 1);
    else if (call == "period")
        status = m_api.SetFramePeriod("nobody", 40);
    else if (call == "period0")
        status = m_api.SetFramePeriod(Default, 0);
    QCOMPARE(status, expected);
    uint32_t n = 0;
    m_api.GetNumDevices(&n, 0, 0);
    QCOMPARE(n, 1u);
}

void TestHidUartSim::readerKeepsReadingWhileDevicesChange()
{
    HID_UART_DEVICE h = openDefault();
    m_api.SetTimeouts(h, 0, 500);
    std::atomic<bool> stop{false};
    std::atomic<int> bytes{0};
    std::thread reader([&] {
        while (!stop) {
            uint8_t buf[2048];
            uint32_t got = 0;
            m_api.Read(h, buf, sizeof buf, &got);
            bytes += int(got);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int32_t fd = m_api.OpenDeviceMonitor(nullptr, nullptr);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; clock.elapsed() < 1200; ++i) {
        const QByteArray serial = "extra" + QByteArray::number(i % 3);
        m_api.Plug(serial.constData(), 0x10C4, 0xEA80);
        char text[HID_UART_DEVICE_STRLEN];
        m_api.GetString(0, 0, 0, text, HID_UART_GET_SERIAL_STR);
        m_api.Unplug(serial.constData());
        int32_t arrived;
        while (m_api.ReadDeviceEvent(fd, text, &arrived) == HID_UART_SUCCESS) {
        }
        QTest::qSleep(2);
    }
    stop = true;
    reader.join();
    m_api.CloseDeviceMonitor(fd);
    QVERIFY(bytes >= 17); // the default bridge's meter went on undisturbed
}

// A cable that comes loose by itself: the removal and the arrival come from the library's own
// thread, and the handle of before stays dead once the bridge is back, as a hidraw node of a
// pulled cable does.
void TestHidUartSim::unplugCycleComesLooseAndBack()
{
    QCOMPARE(m_api.SetUnplugCycle(100, 100), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_api.SetUnplugCycle(100, 0), HID_UART_INVALID_PARAMETER);
    std::atomic<int> calls{0};
    const int32_t monitor = m_api.OpenDeviceMonitor(&countPending, &calls);
    QVERIFY(monitor >= 0);
    const HID_UART_DEVICE before = openDefault();
    QVERIFY(before);
    QCOMPARE(m_api.SetUnplugCycle(200, 100), HID_UART_SUCCESS);
    QString events;
    uint8_t buf[2048];
    uint32_t got = 0;
    QElapsedTimer clock;
    clock.start();
    while (events.size() < 2 && clock.elapsed() < 3000) {
        char path[HID_UART_DEVICE_STRLEN];
        int32_t arrived = -1;
        if (m_api.ReadDeviceEvent(monitor, path, &arrived) != HID_UART_SUCCESS) {
            QTest::qSleep(5);
            continue;
        }
        events += arrived ? QLatin1Char('+') : QLatin1Char('-');
        if (!arrived) {
            uint32_t n = 9;
            m_api.GetNumDevices(&n, 0, 0);
            QCOMPARE(n, 0u);
        }
    }
    QCOMPARE(m_api.SetUnplugCycle(0, 0), HID_UART_SUCCESS);
    QCOMPARE(events, QStringLiteral("-+"));
    QVERIFY(calls.load() >= 2);
    QCOMPARE(m_api.Read(before, buf, sizeof buf, &got), HID_UART_READ_ERROR);
    const HID_UART_DEVICE after = openDefault();
    QVERIFY(after);
    QVERIFY(!readFor(after, 600).isEmpty());
    QCOMPARE(m_api.CloseDeviceMonitor(monitor), HID_UART_SUCCESS);
}

QTEST_GUILESS_MAIN(TestHidUartSim)
#include "tst_hiduartsim.moc"
