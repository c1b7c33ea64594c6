// The serial port component, live on pseudo-terminals, with no widgets at all.
#include "../support/processlimits.h"
#include "../support/pty.h"
#include "tccomm.h"

#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <termios.h>

#include <stdexcept>
#include <thread>

namespace {

// Records the component's events in the order they were raised.
struct EventLog
{
    QStringList events;
    QList<QByteArray> blocks;
    QList<QObject *> senders;
    int offThread = 0; // deliveries that did not run on the component's thread

    void attach(TCComm &c)
    {
        QObject::connect(&c, &TCComm::OnOpened, [this](QObject *sender) {
            events << "Opened";
            senders << sender;
        });
        QObject::connect(&c, &TCComm::OnClosed, [this](QObject *sender) {
            events << "Closed";
            senders << sender;
        });
        QObject::connect(&c, &TCComm::OnLinkLost, [this](QObject *sender) {
            events << "LinkLost";
            senders << sender;
        });
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

// A component on a fresh pseudo-terminal, its events recorded from the start.
struct TOpenLine
{
    explicit TOpenLine(bool open = true)
    {
        c.SetCommPort(pty.Name);
        log.attach(c);
        if (open)
            c.Open();
    }
    TPty pty;
    TCComm c;
    EventLog log;
};

// The error text Open throws, or "" when it opened.
QString openError(TCComm &c)
{
    try {
        c.Open();
    } catch (const std::runtime_error &e) {
        return QString::fromLocal8Bit(e.what());
    }
    return {};
}

QByteArray counting(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 256); // no run of the same byte, every value in turn
    return bytes;
}

// Creates a fake sysfs tty class folder: name, whether a device is behind it, and the serial
// core's type ("" when the line has none).
void addTty(const QTemporaryDir &root, const QString &name, bool device, const QString &type)
{
    QDir dir(root.path());
    QVERIFY(dir.mkpath(name));
    if (device)
        QVERIFY(dir.mkpath(name + "/device"));
    if (!type.isEmpty()) {
        QFile f(dir.filePath(name + "/type"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(type.toLatin1() + "\n");
    }
}

} // namespace

class TestCComm : public QObject
{
    Q_OBJECT

private slots:
    // First: glibc reuses the stacks of ended threads, which would let the thread start anyway.
    void readerThatCannotStartReleasesThePort();
    void freshComponent();
    void listPorts_data();
    void listPorts();
    void bytesArriveInOrderOnTheOwnersThread();
    void secondOpenLeavesThePortOpen();
    void portThatCannotOpenFailsEveryTime_data();
    void portThatCannotOpenFailsEveryTime();
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void baudRateWhileOpenAndWhileClosed();
    void commPortWhileOpenStaysOnThePort();
    void emptyQueueDeliversLengthZero();
    void hangUpLeavesTheComponentClosable();
    void portInUseIsRefused_data();
    void portInUseIsRefused();
    void queuedBytesAreDeliveredInsideClose();
    void stopDuringAStreamLosesNothing();
};

void TestCComm::readerThatCannotStartReleasesThePort()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("the sanitizers' runtimes need address space this test takes away");
#endif
    TOpenLine line(false);
    auto &[pty, c, log] = line;
    QString error;
    {
        const TTightAddressSpace tight;
        QVERIFY(tight.Active());
        error = openError(c);
    }

    QCOMPARE(error, QStringLiteral("Failed to Create Thread!"));
    QVERIFY(!c.Connected());
    QVERIFY(log.events.isEmpty());
    // The port was let go: the next try opens it rather than finding it "opened".
    QCOMPARE(openError(c), QString());
    QVERIFY(c.Connected());
    QVERIFY(pty.Write("ok"));
    QTRY_COMPARE(log.joined(), QByteArray("ok"));
}

void TestCComm::freshComponent()
{
    TCComm c;
    QCOMPARE(c.CommPort(), QStringLiteral("COM1"));
    QCOMPARE(c.BaudRate(), TCComm::CBR_9600);
    QCOMPARE(c.ByteSize(), TCComm::_8);
    QCOMPARE(c.StopBits(), TCComm::_1);
    QCOMPARE(c.Parity(), TCComm::Non);
    QVERIFY(!c.Connected());
    QCOMPARE(c.PortList(), TCComm::ListPorts());
    // Close on a closed component does nothing at all.
    EventLog log;
    log.attach(c);
    c.Close();
    QVERIFY(log.events.isEmpty());
    QVERIFY(!c.Connected());
}

void TestCComm::listPorts_data()
{
    QTest::addColumn<QStringList>("ttys"); // name:device:type, type "" for none
    QTest::addColumn<QStringList>("ports");
    QTest::newRow("no tty lines") << QStringList{} << QStringList{};
    QTest::newRow("consoles and pseudo-terminals only")
        << QStringList{"tty0::", "tty1::", "ptmx::", "console::"} << QStringList{};
    QTest::newRow("serial core lines without a UART")
        << QStringList{"ttyS0:d:0", "ttyS1:d:0", "ttyS2:d:0"} << QStringList{};
    QTest::newRow("a PC with a UART, a USB adapter and a modem")
        << QStringList{"ttyS1:d:0", "ttyUSB0:d:", "ttyS0:d:4", "tty0::", "ttyACM0:d:"}
        << QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"};
    // "ttymxc0" < "ttyS0" once case is ignored; a plain byte order would put it last.
    QTest::newRow("sorted without regard to case")
        << QStringList{"ttyS0:d:4", "ttymxc0:d:1", "ttyAMA0:d:1", "ttyUSB1:d:", "ttyusb0:d:"}
        << QStringList{"/dev/ttyAMA0", "/dev/ttymxc0", "/dev/ttyS0", "/dev/ttyusb0",
                       "/dev/ttyUSB1"};
}

void TestCComm::listPorts()
{
    QFETCH(QStringList, ttys);
    QFETCH(QStringList, ports);
    QTemporaryDir root;
    for (const QString &tty : ttys) {
        const QStringList part = tty.split(':');
        addTty(root, part[0], part[1] == "d", part[2]);
    }
    QCOMPARE(TCComm::ListPorts(root.path()), ports);
    QCOMPARE(TCComm::ListPorts(root.filePath("missing")), QStringList{});
}

void TestCComm::bytesArriveInOrderOnTheOwnersThread()
{
    TOpenLine line(false);
    auto &[pty, c, log] = line;
    // What was on the line before the port was opened is nobody's.
    QVERIFY(pty.Write("stale\n"));
    QTest::qWait(20);
    c.Open();
    QVERIFY(c.Connected());
    QCOMPARE(log.events, QStringList{"Opened"});
    QCOMPARE(log.senders, QList<QObject *>{&c});
    // Small pieces with pauses, then 3000 bytes at once; bytes a terminal would otherwise
    // treat as line ends, signals or flow control are only data here.
    const QByteArray pieces[] = {"\r\n\x03\x11\x13\x7f", QByteArray("\0\xff", 2), counting(3000)};
    QByteArray sent;
    for (const QByteArray &piece : pieces) {
        QVERIFY(pty.Write(piece));
        sent += piece;
        QTest::qWait(30);
    }
    QTRY_COMPARE(log.joined().size(), sent.size());
    QCOMPARE(log.joined(), sent);
    QCOMPARE(log.offThread, 0);
    QVERIFY(log.blocks.size() >= 2);
    c.Close();
    QCOMPARE(log.events.last(), QStringLiteral("Closed"));
    QCOMPARE(log.senders.last(), &c);
    QVERIFY(!c.Connected());
}

void TestCComm::secondOpenLeavesThePortOpen()
{
    TOpenLine line;
    auto &[pty, c, log] = line;
    QCOMPARE(openError(c), pty.Name + " has been opened!");
    QVERIFY(c.Connected());
    QCOMPARE(log.events, QStringList{"Opened"});
    QVERIFY(pty.Write("still here"));
    QTRY_COMPARE(log.joined(), QByteArray("still here"));
    c.Close();
    QCOMPARE(openError(c), QString()); // closed, it opens again
    QVERIFY(c.Connected());
}

void TestCComm::portThatCannotOpenFailsEveryTime_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("missing device") << "/dev/no-such-serial-port";
    // Passed as it stands, so it is looked for in the working folder, where it is not.
    QTest::newRow("Windows name") << "COM1";
    QTest::newRow("a plain file named COM1 in the working folder") << "@file";
    QTest::newRow("a folder") << "@folder";
}

void TestCComm::portThatCannotOpenFailsEveryTime()
{
    QFETCH(QString, port);
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
    if (port == "@file") {
        port = "COM1";
        QFile f(dir.filePath(port));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a terminal");
    } else if (port == "@folder") {
        port = dir.path();
    }
    TCComm c;
    c.SetCommPort(port);
    EventLog log;
    log.attach(c);
    const QString expected = "Failed to open " + port + "!";
    QCOMPARE(openError(c), expected);
    QVERIFY(!c.Connected());
    QCOMPARE(openError(c), expected); // not "has been opened!": nothing was kept
    QVERIFY(log.events.isEmpty());
    c.Close();
    QVERIFY(log.events.isEmpty());
}

void TestCComm::settingsReachTheLine_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("value");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<QString>("frame"); // data bits, parity, stop bits
    QTest::addColumn<bool>("exact");    // given as a number, having no B constant

    const struct
    {
        TCComm::TBaudrate rate;
        uint bits;
        bool exact;
    } rates[] = {
        {TCComm::CBR_110, 110, false},       {TCComm::CBR_300, 300, false},
        {TCComm::CBR_600, 600, false},       {TCComm::CBR_1200, 1200, false},
        {TCComm::CBR_2400, 2400, false},     {TCComm::CBR_4800, 4800, false},
        {TCComm::CBR_9600, 9600, false},     {TCComm::CBR_14400, 14400, true},
        {TCComm::CBR_19200, 19200, false},   {TCComm::CBR_38400, 38400, false},
        {TCComm::CBR_56000, 56000, true},    {TCComm::CBR_57600, 57600, false},
        {TCComm::CBR_115200, 115200, false}, {TCComm::CBR_128000, 128000, true},
        {TCComm::CBR_256000, 256000, true},
    };
    for (const auto &r : rates)
        QTest::addRow("%u baud", r.bits) << "BaudRate" << int(r.rate) << r.bits << "8N1" << r.exact;
    QTest::newRow("outside the rates") << "BaudRate" << 15 << 9600u << "8N1" << false;
    QTest::newRow("5 data bits") << "ByteSize" << int(TCComm::_5) << 9600u << "5N1" << false;
    QTest::newRow("6 data bits") << "ByteSize" << int(TCComm::_6) << 9600u << "6N1" << false;
    QTest::newRow("7 data bits") << "ByteSize" << int(TCComm::_7) << 9600u << "7N1" << false;
    QTest::newRow("odd parity") << "Parity" << int(TCComm::Odd) << 9600u << "8O1" << false;
    QTest::newRow("even parity") << "Parity" << int(TCComm::Even) << 9600u << "8E1" << false;
    QTest::newRow("mark parity") << "Parity" << int(TCComm::Mark) << 9600u << "8M1" << false;
    QTest::newRow("space parity") << "Parity" << int(TCComm::Space) << 9600u << "8S1" << false;
    QTest::newRow("two stop bits") << "StopBits" << int(TCComm::_2) << 9600u << "8N2" << false;
    // POSIX has no one and a half: two is the nearest a line can be asked for.
    QTest::newRow("1.5 stop bits") << "StopBits" << int(TCComm::_1_5) << 9600u << "8N2" << false;
}

void TestCComm::settingsReachTheLine()
{
    QFETCH(QString, property);
    QFETCH(int, value);
    QFETCH(uint, speed);
    QFETCH(QString, frame);
    QFETCH(bool, exact);
    const auto set = [&](TCComm &c) {
        if (property == "BaudRate")
            c.SetBaudRate(TCComm::TBaudrate(value));
        else if (property == "ByteSize")
            c.SetByteSize(TCComm::TByteSize(value));
        else if (property == "Parity")
            c.SetParity(TCComm::TParity(value));
        else
            c.SetStopBits(TCComm::TStopBits(value));
    };
    const auto describe = [](const TLineState &s) {
        return QString("%1 %2%3%4%5%6")
            .arg(s.Speed)
            .arg(s.DataBits)
            .arg(s.Parity)
            .arg(s.StopBits)
            .arg(s.Raw ? "" : " cooked")
            .arg(s.Exact ? " exact" : "");
    };
    const QString expected = QString("%1 %2%3").arg(speed).arg(frame).arg(exact ? " exact" : "");

    // What the component asks of the line, whatever it held before.
    TCComm settings;
    set(settings);
    QCOMPARE(describe(LineAskedFor(settings.BaudRate(), settings.ByteSize(), settings.Parity(),
                                   settings.StopBits())),
             expected);

    // A pseudo-terminal keeps the rate and the stop bits, not data bits or parity: it always
    // carries eight bits without parity.
    const QString onPty =
        QString("%1 8N%2%3").arg(speed).arg(frame.right(1)).arg(exact ? " exact" : "");
    // Changed while open: the line follows at once.
    TPty first;
    TCComm c;
    c.SetCommPort(first.Name);
    c.Open();
    QCOMPARE(describe(ReadLineState(first.Slave)), QStringLiteral("9600 8N1"));
    set(c);
    QCOMPARE(describe(ReadLineState(first.Slave)), onPty);
    c.Close();
    // Set before Open: applied by it.
    TPty second;
    set(settings);
    settings.SetCommPort(second.Name);
    settings.Open();
    QCOMPARE(describe(ReadLineState(second.Slave)), onPty);
}

void TestCComm::baudRateWhileOpenAndWhileClosed()
{
    TPty pty;
    const auto speed = [&pty] {
        termios t{};
        return tcgetattr(pty.Slave, &t) == 0 ? cfgetospeed(&t) : speed_t(-1);
    };
    const speed_t untouched = speed();
    QVERIFY(untouched != B115200);
    TCComm c;
    c.SetCommPort(pty.Name);
    c.SetBaudRate(TCComm::CBR_115200); // closed: only stored
    QCOMPARE(c.BaudRate(), TCComm::CBR_115200);
    QCOMPARE(speed(), untouched);
    c.Open();
    QCOMPARE(speed(), speed_t(B115200));
    c.SetBaudRate(TCComm::CBR_9600); // open: at once
    QCOMPARE(speed(), speed_t(B9600));
    c.SetBaudRate(TCComm::CBR_115200);
    QCOMPARE(speed(), speed_t(B115200));
    c.Close();
    c.SetBaudRate(TCComm::CBR_2400);
    QCOMPARE(speed(), speed_t(B115200));
    QCOMPARE(c.BaudRate(), TCComm::CBR_2400);
}

void TestCComm::commPortWhileOpenStaysOnThePort()
{
    TPty a, b;
    TCComm c;
    c.SetCommPort(a.Name);
    EventLog log;
    log.attach(c);
    c.Open();
    c.SetCommPort(b.Name);
    QCOMPARE(c.CommPort(), b.Name);
    QVERIFY(c.Connected());
    QCOMPARE(log.events, QStringList{"Opened"}); // no closing and opening behind the scenes
    QVERIFY(b.Write("other"));
    QVERIFY(a.Write("mine"));
    QTRY_COMPARE(log.joined(), QByteArray("mine"));
    QTest::qWait(100);
    QCOMPARE(log.joined(), QByteArray("mine"));
    QCOMPARE(b.Drain(), QByteArray()); // the other line was never put in raw mode or read
    // The next Open, after a Close, goes to the stored name.
    c.Close();
    c.Open();
    QVERIFY(b.Write("now b"));
    QTRY_VERIFY(log.joined().endsWith("now b"));
}

void TestCComm::emptyQueueDeliversLengthZero()
{
    TOpenLine line;
    auto &[pty, c, log] = line;
    QVERIFY(pty.Write("gone"));
    // The owner's thread is busy while the reader reports; someone else empties the queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QCOMPARE(pty.Drain(), QByteArray("gone"));
    QTRY_COMPARE(log.blocks.size(), 1);
    QCOMPARE(log.blocks.first(), QByteArray());
    QVERIFY(pty.Write("next"));
    QTRY_COMPARE(log.joined(), QByteArray("next"));
}

void TestCComm::hangUpLeavesTheComponentClosable()
{
    TOpenLine line;
    auto &[pty, c, log] = line;
    QVERIFY(pty.Write("last words"));
    QTRY_COMPARE(log.joined(), QByteArray("last words"));
    const qsizetype before = log.blocks.size();
    pty.HangUp();
    // A hung-up line reads as ready for ever; the reader must not report it again and again,
    // which would keep two threads busy doing nothing.
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    QEventLoop loop; // a real event loop, which serves each report at once (qWait naps)
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    const double busy = (cpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000.0);
    QVERIFY2(busy < 0.25, qPrintable(QString("%1 of a core").arg(busy)));
    QVERIFY2(log.blocks.size() - before <= 1, qPrintable(QString::number(log.blocks.size())));
    QCOMPARE(log.joined(), QByteArray("last words"));
    // Told once, after the last bytes, so the owner can end the link; until then it stays open.
    QCOMPARE(log.events.count(QStringLiteral("LinkLost")), 1);
    QCOMPARE(log.events.last(), QStringLiteral("LinkLost"));
    QVERIFY(c.LinkLost());
    QVERIFY(c.Connected());
    c.Close();
    QVERIFY(!c.Connected());
    QVERIFY(!c.LinkLost());
    QCOMPARE(log.events.last(), QStringLiteral("Closed"));
}

void TestCComm::portInUseIsRefused_data()
{
    QTest::addColumn<bool>("otherProcess"); // else a second component of this program
    QTest::newRow("another component of this program") << false;
    QTest::newRow("another program that locks the port") << true;
}

void TestCComm::portInUseIsRefused()
{
    // Root passes TIOCEXCL, so the lock alone must keep a second reader off the line.
    QFETCH(bool, otherProcess);
    TOpenLine first(!otherProcess);
    QProcess other;
    if (otherProcess) {
        // The shell takes the lock on a descriptor of its own and becomes the sleep, so the
        // process killed below is the one holding it.
        other.start(QStringLiteral("sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("exec 3<\"$1\" && flock --exclusive 3 && echo held && "
                                    "exec sleep 60"),
                     QStringLiteral("sh"), first.pty.Name});
        QVERIFY2(other.waitForReadyRead(10000), qPrintable(other.errorString()));
    }
    TCComm second;
    second.SetCommPort(first.pty.Name);
    EventLog log;
    log.attach(second);
    const QString refused =
        "Failed to open " + first.pty.Name + "! It is in use by another program.";
    QCOMPARE(openError(second), refused);
    QVERIFY(!second.Connected());
    QVERIFY(log.events.isEmpty());
    if (otherProcess) {
        other.kill();
        QVERIFY(other.waitForFinished(10000));
        QCOMPARE(openError(second), QString()); // let go, it opens
        QVERIFY(first.pty.Write("now mine"));
        QTRY_COMPARE(log.joined(), QByteArray("now mine"));
    } else {
        // The first goes on undisturbed, and is still the one that reads.
        QVERIFY(first.pty.Write("still the first's"));
        QTRY_COMPARE(first.log.joined(), QByteArray("still the first's"));
        QCOMPARE(log.joined(), QByteArray());
    }
}

void TestCComm::queuedBytesAreDeliveredInsideClose()
{
    TOpenLine line;
    auto &[pty, c, log] = line;
    QVERIFY(pty.Write("abc"));
    // The owner's thread is busy: the reader reports and waits in the hand-off.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QVERIFY(log.blocks.isEmpty());
    c.Close();
    QCOMPARE(log.blocks, QList<QByteArray>{"abc"});
    QCOMPARE(log.events, (QStringList{"Opened", "Receive", "Closed"}));
    QTest::qWait(100); // the queued report that Close overtook finds nothing left
    QCOMPARE(log.blocks.size(), 1);
}

void TestCComm::stopDuringAStreamLosesNothing()
{
    // Each cycle on a fresh line, so what arrives must be the very start of what was sent, in
    // order, without a gap or a repeat, however Close cuts into a hand-off.
    const QByteArray pattern = counting(2048);
    QRandomGenerator rng(11);
    QByteArray stream;
    TCComm c;
    QObject::connect(&c, &TCComm::OnReceiveData, [&stream](const void *data, std::uint32_t len) {
        stream.append(static_cast<const char *>(data), int(len));
    });
    int insideClose = 0, cycles = 0, bytes = 0;
    QElapsedTimer clock;
    clock.start();
    while (cycles < 300 && clock.elapsed() < 90000) {
        ++cycles;
        stream.clear();
        TPty pty;
        QVERIFY(pty.IsOpen());
        c.SetCommPort(pty.Name);
        c.Open();
        std::thread writer([&pty, &pattern] {
            for (int at = 0; at < pattern.size(); at += 256) {
                pty.Write(pattern.mid(at, 256));
                std::this_thread::yield();
            }
        });
        QTest::qWait(int(rng.bounded(4)));
        // Leave the owner's thread busy, so that a report is likely waiting in the hand-off.
        std::this_thread::sleep_for(std::chrono::microseconds(rng.bounded(3000)));
        const qsizetype before = stream.size();
        c.Close();
        writer.join();
        insideClose += stream.size() > before;
        QVERIFY2(pattern.startsWith(stream),
                 qPrintable(QString("cycle %1: %2 bytes").arg(cycles).arg(stream.size())));
        bytes += int(stream.size());
    }
    QVERIFY(cycles >= 100);
    QVERIFY(bytes > 0);
    QVERIFY(insideClose > 0);
    qInfo("%d cycles, %d bytes, %d deliveries inside Close", cycles, bytes, insideClose);
}

QTEST_GUILESS_MAIN(TestCComm)
#include "tst_ccomm.moc"
