// The bridge logic of the real library, driven through its HID seam by the CP2110 emulator.
#include "hiduartcore.h"
#include "simbackend.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace QTest {
template<> inline char *toString(const Bytes &b)
{
    return qstrdup(QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()))
                       .toHex(' ')
                       .constData());
}
} // namespace QTest

namespace {

Bytes sequence(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 7 + 1);
    return b;
}

// Counts the library's calls that say events are pending.
void countPending(void *calls)
{
    static_cast<std::atomic<int> *>(calls)->fetch_add(1);
}

} // namespace

class TestHidUartCore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openEnablesAndPurgesReceiver();
    void closeDisablesReceiver();
    void bridgeInUseIsLeftAlone();
    void openFailures_data();
    void openFailures();
    void enumerationFiltersByIds();
    void configReport_data();
    void configReport();
    void configRejectsInvalidValues_data();
    void configRejectsInvalidValues();
    void configReadBackMismatchIsVisible();
    void partNumber();
    void read_data();
    void read();
    void readKeepsWhatWasNotAskedFor();
    void readWaitsForPacedBytes();
    void readAfterDeviceFailure();
    void closeFromAnotherThreadEndsBlockingRead();
    void strings_data();
    void strings();
    void stringErrors_data();
    void stringErrors();
    void longStringIsCutAtCharacterBoundary();
    void invalidHandles();
    void invalidParameters();
    void writeSendsBytes();
    void hotPlugEventsCarryTheDevicePath();
    void hidGuid();

private:
    HID_UART_DEVICE openFirst();

    std::unique_ptr<SimBackend> m_backend;
    std::unique_ptr<HidUartCore> m_core;
    std::shared_ptr<Cp2110Emulator> m_chip;
};

void TestHidUartCore::init()
{
    m_backend = std::make_unique<SimBackend>();
    m_core = std::make_unique<HidUartCore>(*m_backend);
    // A bare chip: nothing arrives on its line unless a test sends it.
    m_chip = m_backend->plug("0001", 0x10C4, 0xEA80, false);
}

void TestHidUartCore::cleanup()
{
    m_core.reset();
    m_chip.reset();
    m_backend.reset();
}

HID_UART_DEVICE TestHidUartCore::openFirst()
{
    HID_UART_DEVICE h = nullptr;
    const HID_UART_STATUS status = m_core->open(&h, 0, 0, 0);
    if (status != HID_UART_SUCCESS)
        qWarning("open failed with status %d", status);
    return h;
}

void TestHidUartCore::openEnablesAndPurgesReceiver()
{
    // A previous user left the UART enabled with bytes in the FIFO.
    const uint8_t enable[2] = {0x41, 1};
    m_chip->sendFeatureReport(enable, 2);
    m_chip->receiveNow({1, 2, 3});

    HID_UART_DEVICE h = openFirst();
    QVERIFY(h);
    QVERIFY(m_chip->uartEnabled());
    const auto reports = m_chip->featureReportsSet();
    QCOMPARE(reports.size(), size_t(3));
    QCOMPARE(reports[1], (Bytes{0x41, 0x01}));
    QCOMPARE(reports[2], (Bytes{0x43, 0x02}));

    m_core->setTimeouts(h, 0, 0);
    uint8_t buf[16];
    uint32_t got = 99;
    QCOMPARE(m_core->read(h, buf, sizeof buf, &got), HID_UART_READ_TIMED_OUT);
    QCOMPARE(got, 0u);
}

void TestHidUartCore::bridgeInUseIsLeftAlone()
{
    // Two programs (each its own core and its own open of the node) on one cable: a real file
    // stands for the device node, locked as a hidraw node would be.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString node = dir.filePath(QStringLiteral("hidraw0"));
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(m_backend->setNodePath("0001", node.toStdString()));
    HID_UART_DEVICE first = openFirst();
    QVERIFY(first);
    m_core->setTimeouts(first, 0, 0);
    const size_t reportsBefore = m_chip->featureReportsSet().size();

    HidUartCore other(*m_backend);
    HID_UART_DEVICE second = nullptr;
    QCOMPARE(other.open(&second, 0, 0, 0), HID_UART_DEVICE_IN_USE);
    QVERIFY(!second);
    // Nothing was sent to the chip: its FIFO was not purged, its UART stays on for the first.
    QCOMPARE(m_chip->featureReportsSet().size(), reportsBefore);
    m_chip->receiveNow({7, 8});
    uint8_t buf[4];
    uint32_t got = 0;
    m_core->read(first, buf, sizeof buf, &got);
    QCOMPARE(got, 2u);

    // Let go, it is the other's.
    QCOMPARE(m_core->close(first), HID_UART_SUCCESS);
    QCOMPARE(other.open(&second, 0, 0, 0), HID_UART_SUCCESS);
    QCOMPARE(other.close(second), HID_UART_SUCCESS);
}

void TestHidUartCore::closeDisablesReceiver()
{
    HID_UART_DEVICE h = openFirst();
    QCOMPARE(m_core->close(h), HID_UART_SUCCESS);
    QVERIFY(!m_chip->uartEnabled());
    QCOMPARE(m_chip->featureReportsSet().back(), (Bytes{0x41, 0x00}));
    int32_t opened = 1;
    QCOMPARE(m_core->isOpened(h, &opened), HID_UART_SUCCESS);
    QCOMPARE(opened, 0);
}

void TestHidUartCore::openFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<uint32_t>("index");
    QTest::addColumn<int>("expected");
    QTest::newRow("no such index") << "" << 1u << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("no permission") << "access" << 0u << int(HID_UART_DEVICE_ACCESS_ERROR);
    QTest::newRow("no version report") << "mute" << 0u << int(HID_UART_DEVICE_NOT_SUPPORTED);
}

void TestHidUartCore::openFailures()
{
    QFETCH(QString, fault);
    QFETCH(uint32_t, index);
    QFETCH(int, expected);
    if (fault == "access")
        m_backend->failNextOpen("0001", HID_UART_DEVICE_ACCESS_ERROR);
    if (fault == "mute")
        m_chip->unplug(); // still listed, but answers no report
    HID_UART_DEVICE h = reinterpret_cast<HID_UART_DEVICE>(0x1234);
    QCOMPARE(m_core->open(&h, index, 0, 0), expected);
    QCOMPARE(h, nullptr);
    if (fault == "access") { // the fault was for one open only
        QCOMPARE(m_core->open(&h, 0, 0, 0), HID_UART_SUCCESS);
        QVERIFY(h);
    }
}

void TestHidUartCore::enumerationFiltersByIds()
{
    m_backend->plug("0002", 0x10C4, 0xEA60, false);
    m_backend->plug("0003", 0x10C4, 0xEA80, false);
    uint32_t n = 0;
    QCOMPARE(m_core->getNumDevices(&n, 0, 0), HID_UART_SUCCESS);
    QCOMPARE(n, 3u);
    QCOMPARE(m_core->getNumDevices(&n, 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QCOMPARE(n, 2u);
    QCOMPARE(m_core->getNumDevices(&n, 0, 0xEA60), HID_UART_SUCCESS);
    QCOMPARE(n, 1u);

    // Indexes count within the filter.
    HID_UART_DEVICE h = nullptr;
    QCOMPARE(m_core->open(&h, 1, 0x10C4, 0xEA80), HID_UART_SUCCESS);
    char serial[HID_UART_DEVICE_STRLEN];
    QCOMPARE(m_core->getOpenedString(h, serial, HID_UART_GET_SERIAL_STR), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(serial), QByteArray("0003"));
}

void TestHidUartCore::configReport_data()
{
    QTest::addColumn<uint32_t>("baud");
    QTest::addColumn<uint8_t>("dataBits");
    QTest::addColumn<uint8_t>("parity");
    QTest::addColumn<uint8_t>("stopBits");
    QTest::addColumn<uint8_t>("flow");
    QTest::addColumn<Bytes>("report");
    QTest::newRow("9600 8N1") << 9600u << uint8_t(3) << uint8_t(0) << uint8_t(0) << uint8_t(0)
                              << Bytes{0x50, 0x00, 0x00, 0x25, 0x80, 0, 0, 3, 0};
    QTest::newRow("115200 7E2 RTS/CTS")
        << 115200u << uint8_t(2) << uint8_t(2) << uint8_t(1) << uint8_t(1)
        << Bytes{0x50, 0x00, 0x01, 0xC2, 0x00, 2, 1, 2, 1};
    QTest::newRow("1000000 5 bits mark")
        << 1000000u << uint8_t(0) << uint8_t(3) << uint8_t(0) << uint8_t(0)
        << Bytes{0x50, 0x00, 0x0F, 0x42, 0x40, 3, 0, 0, 0};
    QTest::newRow("300 6 bits odd") << 300u << uint8_t(1) << uint8_t(1) << uint8_t(1) << uint8_t(0)
                                    << Bytes{0x50, 0x00, 0x00, 0x01, 0x2C, 1, 0, 1, 1};
}

void TestHidUartCore::configReport()
{
    QFETCH(uint32_t, baud);
    QFETCH(uint8_t, dataBits);
    QFETCH(uint8_t, parity);
    QFETCH(uint8_t, stopBits);
    QFETCH(uint8_t, flow);
    QFETCH(Bytes, report);
    HID_UART_DEVICE h = openFirst();
    QCOMPARE(m_core->setUartConfig(h, baud, dataBits, parity, stopBits, flow), HID_UART_SUCCESS);
    QCOMPARE(m_chip->featureReportsSet().back(), report);

    uint32_t b = 0;
    uint8_t d = 9, p = 9, s = 9, f = 9;
    QCOMPARE(m_core->getUartConfig(h, &b, &d, &p, &s, &f), HID_UART_SUCCESS);
    QCOMPARE(b, baud);
    QCOMPARE(d, dataBits);
    QCOMPARE(p, parity);
    QCOMPARE(s, stopBits);
    QCOMPARE(f, flow);
}

void TestHidUartCore::configRejectsInvalidValues_data()
{
    QTest::addColumn<uint32_t>("baud");
    QTest::addColumn<uint8_t>("dataBits");
    QTest::addColumn<uint8_t>("parity");
    QTest::addColumn<uint8_t>("stopBits");
    QTest::addColumn<uint8_t>("flow");
    QTest::newRow("baud too low") << 299u << uint8_t(3) << uint8_t(0) << uint8_t(0) << uint8_t(0);
    QTest::newRow("baud too high")
        << 1000001u << uint8_t(3) << uint8_t(0) << uint8_t(0) << uint8_t(0);
    QTest::newRow("data bits") << 9600u << uint8_t(4) << uint8_t(0) << uint8_t(0) << uint8_t(0);
    QTest::newRow("parity") << 9600u << uint8_t(3) << uint8_t(5) << uint8_t(0) << uint8_t(0);
    QTest::newRow("stop bits") << 9600u << uint8_t(3) << uint8_t(0) << uint8_t(2) << uint8_t(0);
    QTest::newRow("flow") << 9600u << uint8_t(3) << uint8_t(0) << uint8_t(0) << uint8_t(2);
}

void TestHidUartCore::configRejectsInvalidValues()
{
    QFETCH(uint32_t, baud);
    QFETCH(uint8_t, dataBits);
    QFETCH(uint8_t, parity);
    QFETCH(uint8_t, stopBits);
    QFETCH(uint8_t, flow);
    HID_UART_DEVICE h = openFirst();
    const size_t before = m_chip->featureReportsSet().size();
    QCOMPARE(m_core->setUartConfig(h, baud, dataBits, parity, stopBits, flow),
             HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_chip->featureReportsSet().size(), before);
}

void TestHidUartCore::configReadBackMismatchIsVisible()
{
    HID_UART_DEVICE h = openFirst();
    m_chip->setConfigReadBackDiffers(true);
    QCOMPARE(m_core->setUartConfig(h, 9600, 3, 0, 0, 0), HID_UART_SUCCESS);
    uint32_t b = 0;
    uint8_t d, p, s, f;
    QCOMPARE(m_core->getUartConfig(h, &b, &d, &p, &s, &f), HID_UART_SUCCESS);
    QCOMPARE(b, 4800u);
}

void TestHidUartCore::partNumber()
{
    HID_UART_DEVICE h = openFirst();
    uint8_t part = 0, version = 0;
    QCOMPARE(m_core->getPartNumber(h, &part, &version), HID_UART_SUCCESS);
    QCOMPARE(part, uint8_t(HID_UART_PART_CP2110));
    QCOMPARE(version, uint8_t(1));
}

void TestHidUartCore::read_data()
{
    QTest::addColumn<int>("queued");
    QTest::addColumn<uint32_t>("want");
    QTest::addColumn<uint32_t>("timeoutMs");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("minMs");
    // A read that has all it asked for returns before its time-out (long here, so that a busy
    // machine cannot make it run out); one that lacks bytes waits the time-out out.
    // 200 bytes are four input reports: a time-out of 0 still takes them all.
    QTest::newRow("drain all reports") << 200 << 2048u << 0u << int(HID_UART_READ_TIMED_OUT) << 0;
    QTest::newRow("exactly as asked") << 17 << 17u << 0u << int(HID_UART_SUCCESS) << 0;
    QTest::newRow("more than asked") << 130 << 64u << 30000u << int(HID_UART_SUCCESS) << 0;
    QTest::newRow("nothing, no wait") << 0 << 2048u << 0u << int(HID_UART_READ_TIMED_OUT) << 0;
    QTest::newRow("nothing, waits its time-out")
        << 0 << 2048u << 60u << int(HID_UART_READ_TIMED_OUT) << 58;
    QTest::newRow("too few, waits its time-out")
        << 5 << 10u << 60u << int(HID_UART_READ_TIMED_OUT) << 58;
    QTest::newRow("buffer full of reports")
        << 4096 << 32768u << 0u << int(HID_UART_READ_TIMED_OUT) << 0;
}

void TestHidUartCore::read()
{
    QFETCH(int, queued);
    QFETCH(uint32_t, want);
    QFETCH(uint32_t, timeoutMs);
    QFETCH(int, status);
    QFETCH(int, minMs);
    HID_UART_DEVICE h = openFirst();
    QCOMPARE(m_core->setTimeouts(h, timeoutMs, 0), HID_UART_SUCCESS);
    const Bytes sent = sequence(size_t(queued));
    m_chip->receiveNow(sent);

    std::vector<uint8_t> buf(want + 1, 0xEE);
    uint32_t got = 0;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_core->read(h, buf.data(), want, &got), status);
    const qint64 elapsed = clock.elapsed();
    const uint32_t expected = std::min<uint32_t>(want, uint32_t(queued));
    QCOMPARE(got, expected);
    QCOMPARE(Bytes(buf.begin(), buf.begin() + got), Bytes(sent.begin(), sent.begin() + got));
    QCOMPARE(buf[want], uint8_t(0xEE)); // nothing written past what was asked for
    QVERIFY2(elapsed >= minMs, qPrintable(QString::number(elapsed)));
    if (status == HID_UART_SUCCESS && timeoutMs > 0)
        QVERIFY2(elapsed < timeoutMs, qPrintable(QString::number(elapsed)));
}

void TestHidUartCore::readKeepsWhatWasNotAskedFor()
{
    HID_UART_DEVICE h = openFirst();
    m_core->setTimeouts(h, 0, 0);
    const Bytes sent = sequence(30);
    m_chip->receiveNow(sent);
    uint8_t buf[64];
    uint32_t got = 0;
    QCOMPARE(m_core->read(h, buf, 10, &got), HID_UART_SUCCESS);
    QCOMPARE(got, 10u);
    m_chip->receiveNow({0xAA});
    QCOMPARE(m_core->read(h, buf, sizeof buf, &got), HID_UART_READ_TIMED_OUT);
    QCOMPARE(got, 21u);
    Bytes expected(sent.begin() + 10, sent.end());
    expected.push_back(0xAA);
    QCOMPARE(Bytes(buf, buf + got), expected);
}

void TestHidUartCore::readWaitsForPacedBytes()
{
    HID_UART_DEVICE h = openFirst();
    m_core->setTimeouts(h, 30000, 0);
    const Bytes frame = sequence(17);
    m_chip->transmit(frame);
    uint8_t buf[17];
    uint32_t got = 0;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_core->read(h, buf, 17, &got), HID_UART_SUCCESS);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(Bytes(buf, buf + got), frame);
    // 17 characters at 9600 baud take 17.7 ms on the wire; the read ends with the last of
    // them, not with its time-out.
    QVERIFY2(elapsed >= 16 && elapsed < 30000, qPrintable(QString::number(elapsed)));

    // A short wait sees only part of the next frame.
    m_chip->transmit(frame);
    m_core->setTimeouts(h, 5, 0);
    QCOMPARE(m_core->read(h, buf, 17, &got), HID_UART_READ_TIMED_OUT);
    QVERIFY2(got < 17, qPrintable(QString::number(got)));
}

void TestHidUartCore::readAfterDeviceFailure()
{
    HID_UART_DEVICE h = openFirst();
    m_core->setTimeouts(h, 30000, 0);
    m_chip->receiveNow(sequence(8));
    uint8_t buf[64];
    uint32_t got = 0;
    QCOMPARE(m_core->read(h, buf, 3, &got), HID_UART_SUCCESS);
    m_backend->unplug("0001");

    // What was already received is handed out; then the failure shows, at once, not after the
    // time-out.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_core->read(h, buf, sizeof buf, &got), HID_UART_READ_TIMED_OUT);
    QCOMPARE(got, 5u);
    QCOMPARE(m_core->read(h, buf, sizeof buf, &got), HID_UART_READ_ERROR);
    QCOMPARE(got, 0u);
    QVERIFY(clock.elapsed() < 30000);
    uint8_t part, version;
    QCOMPARE(m_core->getPartNumber(h, &part, &version), HID_UART_DEVICE_IO_FAILED);
    QCOMPARE(m_core->close(h), HID_UART_SUCCESS);
}

void TestHidUartCore::closeFromAnotherThreadEndsBlockingRead()
{
    HID_UART_DEVICE h = openFirst();
    m_core->setTimeouts(h, 30000, 0);
    HID_UART_STATUS status = HID_UART_SUCCESS;
    qint64 elapsed = 0;
    std::thread reader([&] {
        QElapsedTimer clock;
        clock.start();
        uint8_t buf[64];
        uint32_t got = 0;
        status = m_core->read(h, buf, sizeof buf, &got);
        elapsed = clock.elapsed();
    });
    QTest::qSleep(50);
    QCOMPARE(m_core->close(h), HID_UART_SUCCESS);
    reader.join();
    QCOMPARE(status, HID_UART_READ_ERROR);
    QVERIFY2(elapsed < 30000, qPrintable(QString::number(elapsed))); // ended by the close
}

void TestHidUartCore::strings_data()
{
    QTest::addColumn<uint16_t>("vid");
    QTest::addColumn<uint16_t>("pid");
    QTest::addColumn<uint32_t>("option");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("vid") << uint16_t(0x10C4) << uint16_t(0xEA80) << 1u << QByteArray("10C4");
    QTest::newRow("pid upper case")
        << uint16_t(0x10C4) << uint16_t(0xEA80) << 2u << QByteArray("EA80");
    QTest::newRow("vid leading zero")
        << uint16_t(0x0ABC) << uint16_t(0x00EF) << 1u << QByteArray("0ABC");
    QTest::newRow("pid leading zero")
        << uint16_t(0x0ABC) << uint16_t(0x00EF) << 2u << QByteArray("00EF");
    QTest::newRow("path carries ids") << uint16_t(0x10C4) << uint16_t(0xEA80) << 3u
                                      << QByteArray("/sim/hidraw1#vid_10c4&pid_ea80");
    QTest::newRow("serial") << uint16_t(0x10C4) << uint16_t(0xEA80) << 4u << QByteArray("Bench 7");
    QTest::newRow("manufacturer") << uint16_t(0x10C4) << uint16_t(0xEA80) << 5u
                                  << QByteArray("Silicon Laboratories (simulated)");
    QTest::newRow("product") << uint16_t(0x10C4) << uint16_t(0xEA80) << 6u
                             << QByteArray("CP2110 HID USB-to-UART Bridge (simulated)");
}

void TestHidUartCore::strings()
{
    QFETCH(uint16_t, vid);
    QFETCH(uint16_t, pid);
    QFETCH(uint32_t, option);
    QFETCH(QByteArray, expected);
    m_backend->plug("Bench 7", vid, pid, false);
    char text[HID_UART_DEVICE_STRLEN];
    std::memset(text, 'x', sizeof text);
    QCOMPARE(m_core->getString(1, 0, 0, text, option), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(text), expected);
    HID_UART_DEVICE h = nullptr;
    QCOMPARE(m_core->open(&h, 1, 0, 0), HID_UART_SUCCESS);
    std::memset(text, 'x', sizeof text);
    QCOMPARE(m_core->getOpenedString(h, text, option), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(text), expected);
}

void TestHidUartCore::stringErrors_data()
{
    QTest::addColumn<uint32_t>("index");
    QTest::addColumn<uint32_t>("option");
    QTest::addColumn<bool>("buffer");
    QTest::addColumn<int>("expected");
    QTest::newRow("index past the end") << 1u << 4u << true << int(HID_UART_DEVICE_NOT_FOUND);
    QTest::newRow("option 0") << 0u << 0u << true << int(HID_UART_INVALID_PARAMETER);
    QTest::newRow("option 7") << 0u << 7u << true << int(HID_UART_INVALID_PARAMETER);
    QTest::newRow("no buffer") << 0u << 4u << false << int(HID_UART_INVALID_PARAMETER);
}

void TestHidUartCore::stringErrors()
{
    QFETCH(uint32_t, index);
    QFETCH(uint32_t, option);
    QFETCH(bool, buffer);
    QFETCH(int, expected);
    char text[HID_UART_DEVICE_STRLEN] = "untouched";
    QCOMPARE(m_core->getString(index, 0, 0, buffer ? text : nullptr, option), expected);
    QCOMPARE(QByteArray(text), QByteArray("untouched"));
}

void TestHidUartCore::longStringIsCutAtCharacterBoundary()
{
    std::string serial;
    for (int i = 0; i < 200; ++i)
        serial += "\xC3\xA9"; // é, two bytes each
    m_backend->plug(serial, 0x10C4, 0xEA80, false);
    char text[HID_UART_DEVICE_STRLEN + 8];
    std::memset(text, 'x', sizeof text);
    QCOMPARE(m_core->getString(1, 0, 0, text, HID_UART_GET_SERIAL_STR), HID_UART_SUCCESS);
    const size_t length = std::strlen(text);
    QCOMPARE(length, size_t(258)); // 259 would split a character
    QCOMPARE(QByteArray(text), QByteArray(serial.data(), 258));
    QCOMPARE(text[HID_UART_DEVICE_STRLEN], 'x');
}

void TestHidUartCore::invalidHandles()
{
    HID_UART_DEVICE closed = openFirst();
    QCOMPARE(m_core->close(closed), HID_UART_SUCCESS);
    HID_UART_DEVICE fresh = openFirst(); // must not bring the closed handle back to life
    QVERIFY(fresh != closed);

    const HID_UART_DEVICE bad[] = {nullptr, closed, reinterpret_cast<HID_UART_DEVICE>(0xDEADBEEF)};
    for (HID_UART_DEVICE h : bad) {
        uint8_t b8, c8, d8, e8;
        uint16_t w1, w2;
        uint32_t n1, n2;
        int32_t i32;
        char text[HID_UART_DEVICE_STRLEN];
        uint8_t pins[13];
        QCOMPARE(m_core->close(h), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->getOpenedString(h, text, 3), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->getPartNumber(h, &b8, &c8), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->setUartConfig(h, 9600, 3, 0, 0, 0), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->getUartConfig(h, &n1, &b8, &c8, &d8, &e8), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->setTimeouts(h, 0, 0), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->getTimeouts(h, &n1, &n2), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->read(h, pins, 13, &n1), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->write(h, pins, 13, &n1), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->flushBuffers(h, 1, 1), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->getUartStatus(h, &w1, &w2, &b8, &c8), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->readLatch(h, &w1), HID_UART_INVALID_HANDLE);
        QCOMPARE(m_core->getPinConfig(h, pins, &i32, &w1, &w2, &b8, &c8), HID_UART_INVALID_HANDLE);
        i32 = 1;
        QCOMPARE(m_core->isOpened(h, &i32), HID_UART_SUCCESS);
        QCOMPARE(i32, 0);
    }
    int32_t opened = 0;
    m_core->isOpened(fresh, &opened);
    QCOMPARE(opened, 1);
}

void TestHidUartCore::invalidParameters()
{
    HID_UART_DEVICE h = openFirst();
    uint8_t buf[8];
    uint32_t n = 0;
    QCOMPARE(m_core->open(nullptr, 0, 0, 0), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_core->getNumDevices(nullptr, 0, 0), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_core->read(h, nullptr, 8, &n), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_core->read(h, buf, 8, nullptr), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_core->read(h, buf, 0, &n), HID_UART_INVALID_REQUEST_LENGTH);
    QCOMPARE(m_core->read(h, buf, HID_UART_MAX_READ_SIZE + 1, &n), HID_UART_INVALID_REQUEST_LENGTH);
    QCOMPARE(m_core->write(h, buf, 0, &n), HID_UART_INVALID_REQUEST_LENGTH);
    QCOMPARE(m_core->getPartNumber(h, nullptr, buf), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_core->isOpened(h, nullptr), HID_UART_INVALID_PARAMETER);
    QCOMPARE(HidUartCore::getHidGuid(nullptr), HID_UART_INVALID_PARAMETER);
    QCOMPARE(m_core->readDeviceEvent(-1, nullptr, nullptr), HID_UART_INVALID_PARAMETER);
}

void TestHidUartCore::writeSendsBytes()
{
    HID_UART_DEVICE h = openFirst();
    const Bytes data = sequence(130); // three output reports
    Bytes copy = data;
    uint32_t written = 0;
    QCOMPARE(m_core->write(h, copy.data(), uint32_t(copy.size()), &written), HID_UART_SUCCESS);
    QCOMPARE(written, 130u);
    QCOMPARE(m_chip->written(), data);
}

void TestHidUartCore::hotPlugEventsCarryTheDevicePath()
{
    std::atomic<int> calls{0};
    const int32_t monitor = m_core->openDeviceMonitor(&countPending, &calls);
    QVERIFY(monitor >= 0);
    char path[HID_UART_DEVICE_STRLEN];
    int32_t arrived = -1;
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_READ_TIMED_OUT);
    QCOMPARE(calls.load(), 0);

    m_backend->plug("0002", 0x10C4, 0xEA80);
    m_backend->plug("0003", 0x10C4, 0xEA80);
    QCOMPARE(calls.load(), 2); // once an event
    char listed[HID_UART_DEVICE_STRLEN];
    QCOMPARE(m_core->getString(1, 0, 0, listed, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(path), QByteArray(listed));
    QCOMPARE(arrived, 1);
    // The second arrival is still pending, then nothing is.
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_SUCCESS);
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_READ_TIMED_OUT);

    m_backend->unplug("0002");
    QCOMPARE(calls.load(), 3);
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(path), QByteArray(listed));
    QCOMPARE(arrived, 0);
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_READ_TIMED_OUT);

    QCOMPARE(m_core->closeDeviceMonitor(monitor), HID_UART_SUCCESS);
    // A closed monitor calls no more: its caller may be gone.
    m_backend->unplug("0003");
    QCOMPARE(calls.load(), 3);
    QCOMPARE(m_core->readDeviceEvent(monitor, path, &arrived), HID_UART_INVALID_HANDLE);
    QCOMPARE(m_core->closeDeviceMonitor(monitor), HID_UART_INVALID_HANDLE);
}

void TestHidUartCore::hidGuid()
{
    uint8_t guid[16];
    QCOMPARE(HidUartCore::getHidGuid(guid), HID_UART_SUCCESS);
    const Bytes expected{0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                         0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};
    QCOMPARE(Bytes(guid, guid + 16), expected);
}

QTEST_GUILESS_MAIN(TestHidUartCore)
#include "tst_hiduartcore.moc"
