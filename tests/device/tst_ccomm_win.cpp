// The Win32 serial component on a pseudo-terminal that Wine maps to a COM port, and its port
// list from the registry.
#include "../support/comline.h"
#include "tccomm.h"

#include <QCoreApplication>
#include <QThread>
#include <QtTest>

#include "../support/win32api.h"

#include <stdexcept>

namespace {

struct EventLog
{
    QStringList events;
    QList<QByteArray> blocks;
    int offThread = 0;

    void attach(TCComm &c)
    {
        QObject::connect(&c, &TCComm::OnOpened, [this](QObject *) { events << "Opened"; });
        QObject::connect(&c, &TCComm::OnClosed, [this](QObject *) { events << "Closed"; });
        QObject::connect(&c, &TCComm::OnLinkLost, [this](QObject *) { events << "LinkLost"; });
        QObject::connect(&c, &TCComm::OnReceiveData,
                         [this, &c](const void *buffer, std::uint32_t len) {
                             if (QThread::currentThread() != c.thread())
                                 ++offThread;
                             events << "Receive";
                             blocks << QByteArray(static_cast<const char *>(buffer), int(len));
                         });
    }
    QByteArray joined() const { return blocks.join(); }
};

QString openError(TCComm &c)
{
    try {
        c.Open();
    } catch (const std::runtime_error &e) {
        return QString::fromLocal8Bit(e.what());
    }
    return {};
}

// Each test process its own COM port numbers (COM20 to COM199; the recorder's tests take
// COM200 and above), so tests running side by side in one Wine prefix keep to their own lines.
int portNumber(int offset = 0)
{
    return 20 + int(QCoreApplication::applicationPid() % 30) * 6 + offset;
}

// A key of the test's own under the local machine, gone at the end of the test.
class TTestKey
{
public:
    explicit TTestKey(const QString &name)
        : Path_(QStringLiteral("SOFTWARE\\Lumetra-test-%1\\%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(name))
    {}
    ~TTestKey()
    {
        if (Key_)
            RegCloseKey(Key_);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide(Path_.section(u'\\', 0, 1)));
    }
    TTestKey(const TTestKey &) = delete;
    TTestKey &operator=(const TTestKey &) = delete;

    bool Create()
    {
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(Path_), 0, nullptr, REG_OPTION_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &Key_, nullptr)
               == ERROR_SUCCESS;
    }
    bool SetText(const QString &name, const QString &value)
    {
        return RegSetValueExW(Key_, wide(name), 0, REG_SZ,
                              reinterpret_cast<const BYTE *>(value.utf16()),
                              DWORD((value.size() + 1) * 2))
               == ERROR_SUCCESS;
    }
    bool SetNumber(const QString &name, DWORD value)
    {
        return RegSetValueExW(Key_, wide(name), 0, REG_DWORD,
                              reinterpret_cast<const BYTE *>(&value), sizeof value)
               == ERROR_SUCCESS;
    }
    const QString &Path() const { return Path_; }

private:
    static const wchar_t *wide(const QString &text)
    {
        return reinterpret_cast<const wchar_t *>(text.utf16());
    }
    QString Path_;
    HKEY Key_ = nullptr;
};

} // namespace

class TestCCommWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void freshComponent();
    void listPorts_data();
    void listPorts();
    void frameArrivesByteForByte();
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void baudRateWhileOpenAndWhileClosed();
    void openFailures();
    void hangUpLeavesTheComponentClosable();

private:
    const QString helper_ = QStringLiteral(LUMETRA_HOSTHELPER);
};

void TestCCommWin::initTestCase()
{
    if (!THostHelper::RunningUnderWine())
        QSKIP("the lines are pseudo-terminals in Wine's dosdevices");
}

void TestCCommWin::freshComponent()
{
    TCComm c;
    QCOMPARE(c.CommPort(), QStringLiteral("COM1"));
    QCOMPARE(c.BaudRate(), TCComm::CBR_9600);
    QCOMPARE(c.ByteSize(), TCComm::_8);
    QCOMPARE(c.StopBits(), TCComm::_1);
    QCOMPARE(c.Parity(), TCComm::Non);
    QVERIFY(!c.Connected());
    QCOMPARE(BaudRateValue(TCComm::CBR_256000), 256000u);
    QCOMPARE(BaudRateValue(TCComm::TBaudrate(42)), 9600u);
}

void TestCCommWin::listPorts_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<QStringList>("values"); // name=port; a port "#" is a number, no text
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("drivers' order, either case")
        << true
        << QStringList{"\\Device\\Serial2=COM10", "\\Device\\VCP0=com2", "\\Device\\Serial0=COM1"}
        << QStringList{"COM1", "COM10", "com2"};
    QTest::newRow("a value that is no text")
        << true << QStringList{"a=COM3", "b=#"} << QStringList{"COM3"};
    QTest::newRow("no ports") << true << QStringList{} << QStringList{};
    QTest::newRow("no key") << false << QStringList{} << QStringList{};
}

void TestCCommWin::listPorts()
{
    QFETCH(bool, create);
    QFETCH(QStringList, values);
    QFETCH(QStringList, listed);
    TTestKey key(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (create) {
        QVERIFY(key.Create());
        for (const QString &value : values) {
            const QString port = value.section(u'=', 1);
            QVERIFY(port == "#" ? key.SetNumber(value.section(u'=', 0, 0), 3)
                                : key.SetText(value.section(u'=', 0, 0), port));
        }
    }
    QCOMPARE(TCComm::ListPorts(key.Path()), listed);
}

void TestCCommWin::frameArrivesByteForByte()
{
    TComLine line(helper_, portNumber());
    QVERIFY(line.IsOpen());
    TCComm c;
    EventLog log;
    log.attach(c);
    c.SetCommPort(line.Name());
    c.Open();
    QVERIFY(c.Connected());
    // Bytes a terminal would take for itself: XON, XOFF, CR, LF, NUL, FF and the high ones.
    const QByteArray frame =
        QByteArray::fromHex("000d1113000cff0a0d7f801113fe010d0a") + QByteArray("\x00\x11", 2);
    QVERIFY(line.Write(frame));
    QTRY_COMPARE(log.joined(), frame);
    QCOMPARE(log.offThread, 0);
    QCOMPARE(log.events.first(), QStringLiteral("Opened"));
    c.Close();
    QCOMPARE(log.events.last(), QStringLiteral("Closed"));
    QVERIFY(!c.Connected());
}

void TestCCommWin::settingsReachTheLine_data()
{
    QTest::addColumn<int>("rate"); // TCComm's enumerations
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stop");
    QTest::addColumn<QByteArray>("line");
    // A pseudo-terminal keeps the rate and the stop bits, but no data bits or parity: those
    // reach the driver all the same, which only a real UART shows.
    QTest::newRow("defaults") << int(TCComm::CBR_9600) << int(TCComm::_8) << int(TCComm::Non)
                              << int(TCComm::_1) << QByteArray("9600 8N1");
    QTest::newRow("115200, two stop bits")
        << int(TCComm::CBR_115200) << int(TCComm::_8) << int(TCComm::Non) << int(TCComm::_2)
        << QByteArray("115200 8N2");
    QTest::newRow("1200") << int(TCComm::CBR_1200) << int(TCComm::_8) << int(TCComm::Non)
                          << int(TCComm::_1) << QByteArray("1200 8N1");
    QTest::newRow("300, two stop bits")
        << int(TCComm::CBR_300) << int(TCComm::_8) << int(TCComm::Non) << int(TCComm::_2)
        << QByteArray("300 8N2");
}

void TestCCommWin::settingsReachTheLine()
{
    QFETCH(int, rate);
    QFETCH(int, size);
    QFETCH(int, parity);
    QFETCH(int, stop);
    QFETCH(QByteArray, line);
    TComLine com(helper_, portNumber(1));
    QVERIFY(com.IsOpen());
    TCComm c;
    c.SetCommPort(com.Name());
    c.SetBaudRate(TCComm::TBaudrate(rate));
    c.SetByteSize(TCComm::TByteSize(size));
    c.SetParity(TCComm::TParity(parity));
    c.SetStopBits(TCComm::TStopBits(stop));
    c.Open();
    QCOMPARE(com.Settings(), line);
}

void TestCCommWin::baudRateWhileOpenAndWhileClosed()
{
    TComLine line(helper_, portNumber(2));
    QVERIFY(line.IsOpen());
    TCComm c;
    c.SetCommPort(line.Name());
    c.SetBaudRate(TCComm::CBR_115200); // only stored
    QVERIFY(!line.Settings().startsWith("115200"));
    c.Open();
    QCOMPARE(line.Settings(), QByteArray("115200 8N1"));
    c.SetBaudRate(TCComm::CBR_4800); // at once
    QCOMPARE(line.Settings(), QByteArray("4800 8N1"));
    // Another name is only stored: the open port stays where it is.
    c.SetCommPort(QStringLiteral("COM1"));
    QVERIFY(line.Write("AB"));
    EventLog log;
    log.attach(c);
    QTRY_COMPARE(log.joined(), QByteArray("AB"));
}

void TestCCommWin::openFailures()
{
    TComLine line(helper_, portNumber(3));
    QVERIFY(line.IsOpen());
    TCComm first;
    first.SetCommPort(line.Name());
    QCOMPARE(openError(first), QString());
    QCOMPARE(openError(first), line.Name() + QStringLiteral(" has been opened!"));
    QVERIFY(first.Connected());
    // One program per port: the port is opened sharing nothing, and Windows' serial drivers
    // let one handle at a time have a port.
    TCComm second;
    second.SetCommPort(line.Name());
    const QString secondError = openError(second);
    if (THostHelper::RunningUnderWine())
        QEXPECT_FAIL("", "Wine keeps no serial port to one handle: the second open succeeds",
                     Continue);
    QCOMPARE(
        secondError,
        QStringLiteral("Failed to open %1! It is in use by another program.").arg(line.Name()));
    second.Close();
    first.Close();
    QCOMPARE(openError(second), QString());
    second.Close();

    // A port that is not there fails the same way every time, never as "has been opened!".
    TCComm missing;
    missing.SetCommPort(QStringLiteral("COM251")); // no test makes one so high
    for (int i = 0; i < 2; ++i)
        QCOMPARE(openError(missing), QStringLiteral("Failed to open COM251!"));
    QVERIFY(!missing.Connected());
}

void TestCCommWin::hangUpLeavesTheComponentClosable()
{
    TComLine line(helper_, portNumber(4));
    QVERIFY(line.IsOpen());
    TCComm c;
    EventLog log;
    log.attach(c);
    c.SetCommPort(line.Name());
    c.Open();
    QVERIFY(line.Write("last"));
    QTRY_COMPARE(log.joined(), QByteArray("last"));
    QVERIFY(line.HangUp());
    QTest::qWait(300);
    // However the line ended, closing ends the reader at once and says so.
    QElapsedTimer clock;
    clock.start();
    c.Close();
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(log.events.last(), QStringLiteral("Closed"));
    QVERIFY(!c.Connected());
}

QTEST_GUILESS_MAIN(TestCCommWin)
#include "tst_ccomm_win.moc"
