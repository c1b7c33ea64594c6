// The real bridge library as the program loads it. Bridges themselves are rarely attached where
// tests run; what must hold everywhere is that it loads, answers without one, and fails cleanly.
#include "hiduart_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QTest>

class TestHidUartReal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportsExactlyTheApi_data();
    void exportsExactlyTheApi();
    void answersWithoutBridges();
    void rejectsWhatItDidNotHandOut();
    void deviceMonitorNeverBlocks();

private:
    template<typename F> F get(const char *name)
    {
        return reinterpret_cast<F>(m_library.resolve(name));
    }
    QLibrary m_library;
};

void TestHidUartReal::initTestCase()
{
    m_library.setFileName(QCoreApplication::applicationDirPath() +
#ifdef Q_OS_WIN
                          "/SLABHIDtoUART.dll"
#else
                          "/libSLABHIDtoUART.so"
#endif
    );
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
}

void TestHidUartReal::exportsExactlyTheApi_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("exported");
    for (const char *name :
         {"HidUart_GetNumDevices", "HidUart_GetString", "HidUart_GetHidGuid",
          "HidUart_GetOpenedString", "HidUart_Open", "HidUart_Close", "HidUart_GetPartNumber",
          "HidUart_GetUartConfig", "HidUart_SetUartConfig", "HidUart_SetTimeouts",
          "HidUart_GetPinConfig", "HidUart_IsOpened", "HidUart_ReadLatch", "HidUart_Read",
          "HidUart_Write", "HidUart_Lumetra_OpenDeviceMonitor", "HidUart_Lumetra_ReadDeviceEvent",
          "HidUart_Lumetra_CloseDeviceMonitor"})
        QTest::newRow(name) << QByteArray(name) << true;
    QTest::newRow("no simulator controls") << QByteArray("HidUartSim_Plug") << false;
    QTest::newRow("no internals") << QByteArray("_Z19hidUartLibraryCorev") << false;
}

void TestHidUartReal::exportsExactlyTheApi()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, exported);
    QCOMPARE(m_library.resolve(name.constData()) != nullptr, exported);
}

void TestHidUartReal::answersWithoutBridges()
{
    const auto getNum = get<HidUart_GetNumDevices_t>("HidUart_GetNumDevices");
    const auto getString = get<HidUart_GetString_t>("HidUart_GetString");
    const auto open = get<HidUart_Open_t>("HidUart_Open");
    uint32_t n = 0xFFFF;
    QCOMPARE(getNum(&n, 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QVERIFY(n < 0xFFFF);
    char text[HID_UART_DEVICE_STRLEN] = "untouched";
    QCOMPARE(getString(n, 0x10C4, 0xEA80, text, HID_UART_GET_PATH_STR), HID_UART_DEVICE_NOT_FOUND);
    QCOMPARE(QByteArray(text), QByteArray("untouched"));
    HID_UART_DEVICE h = nullptr;
    QCOMPARE(open(&h, n, 0x10C4, 0xEA80), HID_UART_DEVICE_NOT_FOUND);
    QCOMPARE(h, nullptr);
    for (uint32_t i = 0; i < n; ++i) { // a bridge that is attached: its path carries its ids
        QCOMPARE(getString(i, 0x10C4, 0xEA80, text, HID_UART_GET_PATH_STR), HID_UART_SUCCESS);
        QVERIFY(QByteArray(text).endsWith("#vid_10c4&pid_ea80"));
    }
}

void TestHidUartReal::rejectsWhatItDidNotHandOut()
{
    const auto read = get<HidUart_Read_t>("HidUart_Read");
    const auto close = get<HidUart_Close_t>("HidUart_Close");
    const auto guid = get<HidUart_GetHidGuid_t>("HidUart_GetHidGuid");
    uint8_t buf[16];
    uint32_t got = 0;
    int stackObject = 0; // an address that is no handle must never be dereferenced
    QCOMPARE(read(&stackObject, buf, sizeof buf, &got), HID_UART_INVALID_HANDLE);
    QCOMPARE(close(nullptr), HID_UART_INVALID_HANDLE);
    QCOMPARE(guid(buf), HID_UART_SUCCESS);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buf), 4).toHex(), QByteArray("b2551e4d"));
}

void TestHidUartReal::deviceMonitorNeverBlocks()
{
    const auto openMonitor =
        get<HidUart_Lumetra_OpenDeviceMonitor_t>("HidUart_Lumetra_OpenDeviceMonitor");
    const auto readEvent =
        get<HidUart_Lumetra_ReadDeviceEvent_t>("HidUart_Lumetra_ReadDeviceEvent");
    const auto closeMonitor =
        get<HidUart_Lumetra_CloseDeviceMonitor_t>("HidUart_Lumetra_CloseDeviceMonitor");
    char path[HID_UART_DEVICE_STRLEN];
    int32_t arrived = 0;
    QCOMPARE(readEvent(-1, path, &arrived), HID_UART_INVALID_HANDLE);
    const int32_t fd = openMonitor(nullptr, nullptr);
    if (fd < 0)
        QSKIP("no hot-plug here");
    QElapsedTimer clock;
    clock.start();
    HID_UART_STATUS status;
    while ((status = readEvent(fd, path, &arrived)) == HID_UART_SUCCESS) {
    }
    QCOMPARE(status, HID_UART_READ_TIMED_OUT);
    QVERIFY(clock.elapsed() < 100);
    QCOMPARE(closeMonitor(fd), HID_UART_SUCCESS);
    QCOMPARE(closeMonitor(fd), HID_UART_INVALID_HANDLE);
}

QTEST_GUILESS_MAIN(TestHidUartReal)
#include "tst_hiduartreal.moc"
