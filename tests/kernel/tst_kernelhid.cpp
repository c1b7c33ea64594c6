// The USB cable's whole path on a real kernel: a CP2110 made through /dev/uhid, served by the
// kernel's HID core and hidraw, found by hidapi and udev, driven by our bridge library and the
// programs of the build tree. Runs inside the test guest (tests/kernel/README.md), as root,
// with systemd-udevd running and the project's udev rule installed.
#include "../support/modalhelper.h"
#include "../support/statehome.h"
#include "guestprocess.h"
#include "tcp2110.h"
#include "tdevicechoice.h"
#include "tfrmmain.h"
#include "thiduartlibrary.h"
#include "uhidcp2110.h"
#include "virtualmeter.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString N1 =
    QStringLiteral("No device found.  Please ensure that you have proper USB connection.");
const QString Serial = QStringLiteral("LMT-K-0001");
// What opening, configuring (9600 baud, 8 data bits, no parity, one stop bit, no flow control)
// and closing the bridge sends it.
const QStringList OpenReports = {
    "get 46",                         // the library: is this a bridge we can drive?
    "set 41 01",                      // UART on
    "set 43 02",                      // purge the receive FIFO
    "get 46",                         // part number
    "set 50 00 00 25 80 00 00 03 00", // 9600 big-endian, parity, flow, data bits, stop bits
    "get 50",                         // read back
};
const QString CloseReport = QStringLiteral("set 41 00");

// The virtual meter's first frames, as the simulated library's meter sends them.
std::vector<UhidCp2110::Bytes> frames(uint64_t count)
{
    std::vector<UhidCp2110::Bytes> list;
    for (uint64_t k = 0; k < count; ++k)
        list.push_back(VirtualMeter::frameAt(k));
    return list;
}
constexpr std::chrono::milliseconds MeterPeriod{1000 / VirtualMeter::FramesPerSecond};

// The bridge as the kernel and udev have it: its node made and handled by the rule.
void waitForNode(const UhidCp2110 &chip)
{
    QVERIFY2(chip.Error().isEmpty(), qPrintable(chip.Error()));
    QTRY_VERIFY_WITH_TIMEOUT(!chip.Node().isEmpty() && QFile::exists(chip.Node()), 10000);
    QCOMPARE(QProcess::execute(QStringLiteral("udevadm"), {QStringLiteral("settle")}), 0);
}

// Starts the meter's frames once the bridge has been opened and configured.
void streamOnceConfigured(UhidCp2110 &chip, uint64_t count)
{
    QVERIFY(chip.WaitForLog(QStringLiteral("get 50"), 30000));
    chip.Transmit(frames(count), MeterPeriod);
}

} // namespace

class TestKernelHid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void enumeratesOnlyTheBridge();
    void featureReports_data();
    void featureReports();
    void splitFramesAsSimulated();
    void unplugEndsTheRecorder();
    void unplugInTheWindow();
    void hotPlugReachesTheDeviceList();
    void ruleTagsOnlyTheBridge_data();
    void ruleTagsOnlyTheBridge();
    void deniedNoticeNamesTheNode();

private:
    QTemporaryDir Work_;
};

void TestKernelHid::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral("/dev/uhid")), "no /dev/uhid: not in the test guest?");
    QVERIFY2(QProcess::execute(QStringLiteral("udevadm"),
                               {QStringLiteral("control"), QStringLiteral("--ping")})
                 == 0,
             "systemd-udevd is not running");
    QVERIFY(Work_.isValid());
}

void TestKernelHid::enumeratesOnlyTheBridge()
{
    UhidCp2110 foreign({0x046D, 0xC52B, QString(), QStringLiteral("Receiver")});
    UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
    waitForNode(foreign);
    waitForNode(bridge);

    THidUartLibrary library;
    QVERIFY2(library.Load(programPath(TCP2110::DefaultLibraryFile())), qPrintable(library.Error()));
    uint32_t all = 0, bridges = 0;
    QCOMPARE(library.GetNumDevices(&all, 0, 0), HID_UART_SUCCESS);
    QCOMPARE(library.GetNumDevices(&bridges, 0x10C4, 0xEA80), HID_UART_SUCCESS);
    QVERIFY(all >= 2); // both of ours, and whatever the guest has of its own
    QCOMPARE(bridges, 1u);

    // The component keeps the bridge alone, with the texts the connection control reads.
    TCP2110 component(nullptr);
    const QString path = bridge.Node() + QStringLiteral("#vid_10c4&pid_ea80");
    QCOMPARE(component.DeviceList(), QStringList{Serial + QLatin1Char('=') + path});
    QCOMPARE(BridgeSerials(component.DeviceList()), QStringList{Serial});
    QCOMPARE(component.DeviceName, Serial);
    char text[HID_UART_DEVICE_STRLEN];
    const std::pair<uint32_t, QString> strings[] = {{HID_UART_GET_VID_STR, "10C4"},
                                                    {HID_UART_GET_PID_STR, "EA80"},
                                                    {HID_UART_GET_PATH_STR, path},
                                                    {HID_UART_GET_SERIAL_STR, Serial}};
    for (const auto &[option, expected] : strings) {
        QCOMPARE(library.GetString(0, 0x10C4, 0xEA80, text, option), HID_UART_SUCCESS);
        QCOMPARE(QString::fromUtf8(text), expected);
    }

    QVERIFY(component.Open());
    QVERIFY(component.Connected());
    QVERIFY(component.Close());
    QCOMPARE(bridge.Log(), OpenReports + QStringList{CloseReport});
    // The other device shares the empty serial text a bridge may have; it is never touched.
    QCOMPARE(foreign.Log(), QStringList());
}

void TestKernelHid::featureReports_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("refused"); // report id, or 0
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QString>("message"); // on the error output

    const QStringList record = {"--device", Serial, "--frames", "1", "--output", "/tmp/one.txt"};
    const QStringList configRefused = {
        "get 46",   "set 41 01", "set 43 02", "get 46", "set 50 00 00 25 80 00 00 03 00 refused",
        CloseReport};
    QTest::newRow("recorder") << "lumetra-record" << record << 0 << 0
                              << OpenReports + QStringList{CloseReport} << QString();
    QTest::newRow("window check") << "lumetra" << QStringList{"--check", "--no-journal"} << 0 << 0
                                  << OpenReports + QStringList{CloseReport} << QString();
    QTest::newRow("recorder, configuration refused")
        << "lumetra-record" << record << 0x50 << 2 << configRefused
        << QStringLiteral("lumetra-record: ") + N1;
    QTest::newRow("recorder, version refused")
        << "lumetra-record" << record << 0x46 << 2 << QStringList{"get 46 refused"}
        << QStringLiteral("lumetra-record: ") + N1;
}

void TestKernelHid::featureReports()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, refused);
    QFETCH(int, exitCode);
    QFETCH(QStringList, reports);
    QFETCH(QString, message);

    UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
    waitForNode(bridge);
    if (refused)
        bridge.Refuse(uint8_t(refused));
    QTemporaryDir state;
    QProcess process;
    startProgram(process, program, arguments, state.path());
    if (exitCode == 0)
        streamOnceConfigured(bridge, 3);
    const TProgramRun run = finishProgram(process);
    QVERIFY2(run.ExitCode == exitCode, run.Err.constData());
    QCOMPARE(bridge.Log(), reports);
    if (!message.isEmpty())
        QVERIFY2(run.Err.contains(message.toLocal8Bit()), run.Err.constData());
}

void TestKernelHid::splitFramesAsSimulated()
{
    constexpr int Count = 6;
    UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
    waitForNode(bridge);
    // Every frame cut inside, at a different place each time.
    bridge.SetCuts({5, 12, 1, 16, 9, 3, 14, 2});
    QProcess simulated, device;
    const QString simulatedFile = Work_.filePath("simulated.txt");
    const QString deviceFile = Work_.filePath("device.txt");
    startProgram(
        simulated, "lumetra-record",
        {"--simulate", "--frames", QString::number(Count), "--output", simulatedFile, "--quiet"},
        Work_.path());
    startProgram(
        device, "lumetra-record",
        {"--device", Serial, "--frames", QString::number(Count), "--output", deviceFile, "--quiet"},
        Work_.path());
    streamOnceConfigured(bridge, Count + 2);
    QCOMPARE(finishProgram(device).ExitCode, 0);
    QCOMPARE(finishProgram(simulated).ExitCode, 0);
    const std::vector<int> sizes = bridge.ReportSizes();
    QVERIFY(sizes.size() >= 2 * size_t(Count));
    QVERIFY(std::count(sizes.begin(), sizes.end(), 1) >= 1);
    const auto rows = readingsOf(deviceFile);
    QCOMPARE(rows.size(), Count + 1); // the column titles and the readings
    QCOMPARE(rows, readingsOf(simulatedFile));

    // The window's first reading, after the bridge's serial text and the simulated one's.
    UhidCp2110 second({0x10C4, 0xEA80, Serial});
    bridge.Unplug();
    waitForNode(second);
    second.SetCuts({7, 1, 9});
    QProcess window;
    startProgram(window, "lumetra", {"--check", "--no-journal"}, Work_.path());
    streamOnceConfigured(second, 2);
    const TProgramRun shown = finishProgram(window);
    QCOMPARE(shown.ExitCode, 0);
    // The window's first reading as the simulated recording has it ("Cs 123.4 nF, D 0.012,
    // 1KHz"): the first frame or, when the window took the link up later, the second.
    QStringList readings;
    for (const QByteArrayList &row : rows.mid(1, 2)) {
        QStringList groups;
        for (const auto &[first, last] : {std::pair{0, 2}, std::pair{3, 5}, std::pair{6, 6}}) {
            QStringList words;
            for (int f = first; f <= last && f < row.size(); ++f)
                if (!row[f].isEmpty())
                    words << QString::fromUtf8(row[f]);
            if (!words.isEmpty())
                groups << words.join(QLatin1Char(' '));
        }
        readings << Serial + QStringLiteral(": ") + groups.join(QStringLiteral(", "));
    }
    QVERIFY2(readings.contains(QString::fromUtf8(shown.Out).trimmed()), shown.Out.constData());
}

void TestKernelHid::unplugEndsTheRecorder()
{
    UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
    waitForNode(bridge);
    const QString output = Work_.filePath("unplugged.txt");
    QProcess recorder;
    startProgram(recorder, "lumetra-record", {"--device", Serial, "--output", output},
                 Work_.path());
    streamOnceConfigured(bridge, 1);
    // One line per reading: the recorder is well under way.
    QTRY_VERIFY_WITH_TIMEOUT(recorder.canReadLine(), 20000);
    bridge.Unplug();
    const TProgramRun run = finishProgram(recorder);
    QCOMPARE(run.ExitCode, 2);
    QCOMPARE(run.Err, (QStringLiteral("lumetra-record: ") + N1 + QLatin1Char('\n')).toUtf8());
    // What was recorded before the cable went is in the file, complete.
    QCOMPARE(readingsOf(output).size(), 2); // the column titles and the one reading
}

void TestKernelHid::unplugInTheWindow()
{
    TTemporaryStateHome state;
    UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
    waitForNode(bridge);
    TStartOptions options;
    options.Journal = false;
    TfrmMain window(options);
    window.show();
    QCOMPARE(window.Panel3->cbbDevices->currentText(), Serial);

    QTest::mouseClick(window.Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(window.CP21101->Connected());
    QVERIFY(window.Panel3->btnConnect->isChecked());
    bridge.Transmit(frames(1), MeterPeriod);
    QTRY_VERIFY_WITH_TIMEOUT(window.Panel4->DBGrid1->model()->rowCount() >= 1, 10000);

    QStringList notices;
    QList<bool> checkedWhenShown;
    const auto answer = [&](QWidget *dlg) {
        auto *label = dlg->findChild<QLabel *>(QStringLiteral("Message"));
        notices << (label ? label->text() : dlg->windowTitle());
        checkedWhenShown << window.Panel3->btnConnect->isChecked();
        if (auto *ok = dlg->findChild<QAbstractButton *>(QStringLiteral("OK")))
            ok->click();
        else
            dlg->close();
    };
    ModalHelper::onNextModal(answer, 20000);
    bridge.Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!window.Panel3->btnConnect->isChecked(), 20000);
    QCOMPARE(notices, QStringList{N1});
    QCOMPARE(checkedWhenShown, QList<bool>{true}); // shown while the link was still open
    QCOMPARE(window.Panel3->btnConnect->text(), QStringLiteral("Connection"));
    QVERIFY(!window.CP21101->Connected());
    QVERIFY(!window.timerDisconectedUSB->isActive());
    QVERIFY(window.Panel3->cbbDevices->currentText().isEmpty());
    // A second notice would be on screen by now: the removal has been handled in full.
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestKernelHid::hotPlugReachesTheDeviceList()
{
    TTemporaryStateHome state;
    TStartOptions options;
    options.Journal = false;
    TfrmMain window(options);
    window.show();
    QCOMPARE(window.Panel3->cbbDevices->count(), 0);
    {
        UhidCp2110 foreign({0x046D, 0xC52B, QString(), QStringLiteral("Receiver")});
        UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
        waitForNode(bridge);
        QTRY_COMPARE_WITH_TIMEOUT(window.Panel3->cbbDevices->count(), 1, 10000);
        QCOMPARE(window.Panel3->cbbDevices->currentText(), Serial);
        QCOMPARE(window.CP21101->DeviceName, Serial);
        UhidCp2110 second({0x10C4, 0xEA80, QStringLiteral("LMT-K-0000")});
        waitForNode(second);
        QTRY_COMPARE_WITH_TIMEOUT(window.Panel3->cbbDevices->count(), 2, 10000);
        QCOMPARE(window.CP21101->DeviceName, QStringLiteral("LMT-K-0000"));
        second.Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(window.Panel3->cbbDevices->count(), 1, 10000);
        QCOMPARE(window.CP21101->DeviceName, Serial);
    }
    QTRY_COMPARE_WITH_TIMEOUT(window.Panel3->cbbDevices->count(), 0, 10000);
    QCOMPARE(window.CP21101->DeviceName, QString());
}

void TestKernelHid::ruleTagsOnlyTheBridge_data()
{
    QTest::addColumn<int>("vid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("tagged");
    QTest::newRow("bridge") << 0x10C4 << 0xEA80 << true;
    // (not 10C4:EA90, the CP2112, which has a driver of its own)
    QTest::newRow("same vendor, other product") << 0x10C4 << 0xEA60 << false;
    QTest::newRow("other vendor") << 0x046D << 0xC52B << false;
}

void TestKernelHid::ruleTagsOnlyTheBridge()
{
    QFETCH(int, vid);
    QFETCH(int, pid);
    QFETCH(bool, tagged);
    UhidCp2110 device({uint16_t(vid), uint16_t(pid), Serial});
    waitForNode(device);
    QProcess info;
    info.start(QStringLiteral("udevadm"),
               {"info", "--query=property", QStringLiteral("--name=") + device.Node()});
    QVERIFY(info.waitForFinished(30000));
    const QByteArray properties = info.readAllStandardOutput();
    QVERIFY2(properties.contains("SUBSYSTEM=hidraw"), properties.constData());
    QCOMPARE(
        QRegularExpression(QStringLiteral("^TAGS=.*:uaccess:"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(properties))
            .hasMatch(),
        tagged);

    // The group the rule gives the node (root when it names none).
    QFile rule(QStringLiteral(LUMETRA_UDEV_RULE));
    QVERIFY(rule.open(QIODevice::ReadOnly));
    const auto group = QRegularExpression(QStringLiteral("GROUP=\"([^\"]+)\""))
                           .match(QString::fromUtf8(rule.readAll()));
    QProcess stat;
    stat.start(QStringLiteral("stat"), {"-c", "%G", device.Node()});
    QVERIFY(stat.waitForFinished(30000));
    const QString expected =
        tagged && group.hasMatch() ? group.captured(1) : QStringLiteral("root");
    QCOMPARE(QString::fromUtf8(stat.readAllStandardOutput()).trimmed(), expected);
}

void TestKernelHid::deniedNoticeNamesTheNode()
{
    UhidCp2110 bridge({0x10C4, 0xEA80, Serial});
    waitForNode(bridge);
    const QString node = bridge.Node();
    struct stat info = {};
    QCOMPARE(::stat(node.toLocal8Bit().constData(), &info), 0);
    // Neither the rule nor the kernel opens it to others (0600 as root's, or 0660 with the
    // rule's group); nobody, in no group but its own, may not open it.
    QVERIFY2((info.st_mode & 0007) == 0, qPrintable(QString::number(info.st_mode & 07777, 8)));
    QTemporaryDir home;
    QCOMPARE(::chown(home.path().toLocal8Bit().constData(), 65534, 65534), 0);
    QVERIFY(info.st_gid != 65534);
    QProcess window;
    startProgram(window, "lumetra", {"--check", "--no-journal"}, home.path(),
                 {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    const TProgramRun run = finishProgram(window);
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains(("may not open its device node " + node + ".").toUtf8()),
             run.Err.constData());
    QCOMPARE(bridge.Log(), QStringList()); // it never got as far as the bridge
}

QTEST_MAIN(TestKernelHid)
#include "tst_kernelhid.moc"
