// The serial port component on the kernel's own 8250 driver: the guest's second 16550 UART,
// whose far end on the host sends meter frames at 9600 baud (serialfeed). Runs inside the test
// guest (tests/kernel/README.md).
#include "guestprocess.h"
#include "tccomm.h"
#include "virtualmeter.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The bytes the 8250 driver has taken in on a port (its line of /proc/tty/driver/serial).
qint64 receivedBy8250(int port)
{
    QFile serial(QStringLiteral("/proc/tty/driver/serial"));
    if (!serial.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^%1: uart:(\\S+) .* rx:(\\d+)").arg(port),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromLatin1(serial.readAll()));
    return match.hasMatch() && match.captured(1) != QLatin1String("unknown")
               ? match.captured(2).toLongLong()
               : -1;
}

// Whether that process has the file open.
bool holds(qint64 pid, const QString &file)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == file)
            return true;
    return false;
}

} // namespace

class TestKernelSerial : public QObject
{
    Q_OBJECT

private slots:
    void portListHasOnlyUarts();
    void recordsThroughThe8250();

private:
    QTemporaryDir Work_;
};

void TestKernelSerial::portListHasOnlyUarts()
{
    // The serial core keeps lines for ports it never found; only the two UARTs are ports.
    QVERIFY(QFile::exists(QStringLiteral("/sys/class/tty/ttyS2")));
    QCOMPARE(TCComm::ListPorts(), (QStringList{"/dev/ttyS0", "/dev/ttyS1"}));
    TCComm component;
    QCOMPARE(component.PortList(), (QStringList{"/dev/ttyS0", "/dev/ttyS1"}));
}

void TestKernelSerial::recordsThroughThe8250()
{
    constexpr int Count = 6;
    // What the recording step makes of the scene's first frames, from a capture of them.
    const QString capture = Work_.filePath("scene.txt");
    {
        QFile file(capture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# Lumetra capture 1: milliseconds, then the bytes received\n");
        for (uint64_t k = 0; k < Count; ++k) {
            const std::vector<uint8_t> frame = VirtualMeter::frameAt(k);
            file.write(
                "0 "
                + QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()))
                      .toHex(' ')
                + "\n");
        }
    }
    const QString expected = Work_.filePath("expected.txt");
    QCOMPARE(runProgram("lumetra-record",
                        {"--replay", capture, "--fast", "--output", expected, "--quiet"},
                        Work_.path())
                 .ExitCode,
             0);

    const qint64 before = receivedBy8250(1);
    QVERIFY(before >= 0);
    const QString output = Work_.filePath("serial.txt");
    QProcess recorder;
    startProgram(recorder, "lumetra-record",
                 {"--serial", "/dev/ttyS1", "--frames", QString::number(Count), "--output", output,
                  "--quiet"},
                 Work_.path());
    QVERIFY(recorder.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(holds(recorder.processId(), QStringLiteral("/dev/ttyS1")), 20000);
    // The far end starts sending now that the port is open (root passes its exclusive hold).
    const int line = ::open("/dev/ttyS1", O_WRONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(line >= 0);
    QCOMPARE(::write(line, "g", 1), ssize_t(1));
    ::close(line);
    const TProgramRun run = finishProgram(recorder);
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    const auto rows = readingsOf(output);
    QCOMPARE(rows.size(), Count + 1);
    QCOMPARE(rows, readingsOf(expected));
    QVERIFY(receivedBy8250(1) - before >= Count * 17);
}

QTEST_GUILESS_MAIN(TestKernelSerial)
#include "tst_kernelserial.moc"
