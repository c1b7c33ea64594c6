// How the program starts: its command line, its icon, and the start check against the simulated
// bridge.
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "tcommandline.h"
#include "tfrmmain.h"
#include "timagelist.h"
#include "tlinkcheck.h"
#include "tstartdisplay.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(TCommandLine::TAction)
Q_DECLARE_METATYPE(TStartDisplay::TKind)

namespace {

const QString N1 =
    QStringLiteral("No device found.  Please ensure that you have proper USB connection.");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void startSwitches_data();
    void startSwitches();
    void displayChoice_data();
    void displayChoice();
    void windowShowsTheInstalledIcon_data();
    void windowShowsTheInstalledIcon();
    void linkCheck_data();
    void linkCheck();

private:
    QTemporaryDir state_;
    SimBridge sim_;
};

void TestStartup::initTestCase()
{
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Lumetra"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.01"));
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<TCommandLine::TAction>("action");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<bool>("check");
    // Lines the message must hold, in this order.
    QTest::addColumn<QStringList>("message");
    using L = TCommandLine;
    QTest::newRow("nothing") << QStringList{} << L::Run << false << false << QStringList{};
    QTest::newRow("simulate") << QStringList{"--simulate"} << L::Run << true << false
                              << QStringList{};
    QTest::newRow("check the simulator")
        << QStringList{"--check", "--simulate"} << L::Run << true << true << QStringList{};
    QTest::newRow("help") << QStringList{"--help"} << L::ShowHelp << false << false
                          << QStringList{"Usage: lumetra [options]",
                                         "--help",
                                         "--version",
                                         "--simulate",
                                         "virtual meter",
                                         "--check",
                                         "--connect",
                                         "--no-journal"};
    QTest::newRow("-h") << QStringList{"-h"} << L::ShowHelp << false << false
                        << QStringList{"Usage: lumetra [options]", "--simulate"};
    QTest::newRow("help-all") << QStringList{"--help-all"} << L::ShowHelpAll << false << false
                              << QStringList{};
    QTest::newRow("version") << QStringList{"--version"} << L::ShowVersion << false << false
                             << QStringList{"Lumetra 1.01\n"};
    QTest::newRow("-v") << QStringList{"-v"} << L::ShowVersion << false << false
                        << QStringList{"Lumetra 1.01\n"};
    // Before the window system has taken its options out, they must not spoil the answer.
    QTest::newRow("version beside toolkit options")
        << QStringList{"-platform", "offscreen", "--version"} << L::ShowVersion << false << false
        << QStringList{"Lumetra 1.01\n"};
    QTest::newRow("unknown option") << QStringList{"--simulat"} << L::Fail << false << false
                                    << QStringList{"lumetra: Unknown option 'simulat'.",
                                                   "Try 'lumetra --help' for the options."};
    // The toolkit's options are parsed by the application object, which may not exist yet.
    QTest::newRow("unknown option beside toolkit options")
        << QStringList{"-platform", "offscreen", "-style=fusion", "--bogus", "-reverse"} << L::Fail
        << false << false << QStringList{"lumetra: Unknown option 'bogus'."};
    QTest::newRow("toolkit options and ours")
        << QStringList{"-style", "fusion", "--simulate", "-qwindowtitle", "x", "--check"} << L::Run
        << true << true << QStringList{};
    QTest::newRow("value on a switch")
        << QStringList{"--simulate=yes"} << L::Fail << true << false
        << QStringList{"Unexpected value after '--simulate'.", "Try 'lumetra --help'"};
    QTest::newRow("no journal") << QStringList{"--no-journal", "--simulate"} << L::Run << true
                                << false << QStringList{};
    QTest::newRow("a file name") << QStringList{"--simulate", "records.xml"} << L::Fail << true
                                 << false
                                 << QStringList{"Unexpected argument 'records.xml'.",
                                                "Try 'lumetra --help'"};
    // A replay needs no cable: the simulated bridges stand in for the real ones.
    QTest::newRow("replay") << QStringList{"--replay", "c.txt", "--fast"} << L::Run << true << false
                            << QStringList{};
    QTest::newRow("capture") << QStringList{"--capture", "c.txt"} << L::Run << false << false
                             << QStringList{};
    QTest::newRow("fast without replay")
        << QStringList{"--simulate", "--fast"} << L::Fail << true << false
        << QStringList{"--fast belongs to --replay.", "Try 'lumetra --help'"};
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(TCommandLine::TAction, action);
    QFETCH(bool, simulate);
    QFETCH(bool, check);
    QFETCH(QStringList, message);
    const TCommandLine line = ParseCommandLine(QStringList{"/usr/bin/lumetra"} + arguments);
    QCOMPARE(line.Action, action);
    QCOMPARE(line.Window.Simulate, simulate);
    QCOMPARE(line.Check, check);
    if (message.isEmpty())
        QVERIFY2(line.Message.isEmpty(), qPrintable(line.Message));
    qsizetype from = 0;
    for (const QString &part : message) {
        const qsizetype at = line.Message.indexOf(part, from);
        QVERIFY2(at >= 0,
                 qPrintable(QStringLiteral("\"%1\" not in order in:\n%2").arg(part, line.Message)));
        from = at + part.size();
    }
}

void TestStartup::startSwitches_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("journal");
    QTest::addColumn<bool>("connect");
    QTest::newRow("nothing") << QStringList{} << true << false;
    QTest::newRow("no journal") << QStringList{"--no-journal"} << false << false;
    QTest::newRow("connect") << QStringList{"--connect", "--simulate"} << true << true;
    QTest::newRow("connect, no journal")
        << QStringList{"--connect", "--no-journal"} << false << true;
    // A check records one reading and quits: no journal, and no question that nobody answers.
    QTest::newRow("check") << QStringList{"--check"} << false << false;
    QTest::newRow("check wins over connect")
        << QStringList{"--check", "--connect"} << false << false;
}

void TestStartup::startSwitches()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, journal);
    QFETCH(bool, connect);
    const TCommandLine line = ParseCommandLine(QStringList{"/usr/bin/lumetra"} + arguments);
    QCOMPARE(line.Action, TCommandLine::Run);
    QCOMPARE(line.Window.Journal, journal);
    QCOMPARE(line.Window.Connect, connect);
}

void TestStartup::displayChoice_data()
{
    QTest::addColumn<QStringList>("environment"); // NAME=VALUE
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("check");
    QTest::addColumn<TStartDisplay::TKind>("kind");
    QTest::addColumn<QByteArray>("platforms");
    QTest::addColumn<bool>("offscreenIsFailure");
    using D = TStartDisplay;
    QTest::newRow("X11") << QStringList{"DISPLAY=:0"} << QStringList{} << false << D::Fallback
                         << QByteArray("xcb;offscreen") << true;
    QTest::newRow("Wayland session with XWayland")
        << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0"} << QStringList{} << false
        << D::Fallback << QByteArray("wayland;xcb;offscreen") << true;
    QTest::newRow("no display") << QStringList{} << QStringList{} << false << D::None
                                << QByteArray() << false;
    QTest::newRow("no display, a check") << QStringList{} << QStringList{} << true << D::Fallback
                                         << QByteArray("offscreen") << false;
    QTest::newRow("X11, a check") << QStringList{"DISPLAY=:0"} << QStringList{} << true
                                  << D::Fallback << QByteArray("xcb;offscreen") << false;
    QTest::newRow("platform asked for")
        << QStringList{"QT_QPA_PLATFORM=xcb"} << QStringList{} << false << D::Fallback
        << QByteArray("xcb;offscreen") << true;
    QTest::newRow("offscreen asked for")
        << QStringList{"QT_QPA_PLATFORM=offscreen"} << QStringList{} << false << D::AsGiven
        << QByteArray() << false;
    QTest::newRow("platform on the line") << QStringList{} << QStringList{"-platform", "vnc"}
                                          << false << D::AsGiven << QByteArray() << false;
    QTest::newRow("platform on the line, joined") << QStringList{} << QStringList{"--platform=vnc"}
                                                  << false << D::AsGiven << QByteArray() << false;
}

void TestStartup::displayChoice()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(bool, check);
    QFETCH(TStartDisplay::TKind, kind);
    QFETCH(QByteArray, platforms);
    QFETCH(bool, offscreenIsFailure);
    QProcessEnvironment env;
    for (const QString &pair : environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    const TStartDisplay d =
        ChooseStartDisplay(QStringList{"/usr/bin/lumetra"} + arguments, check, env);
    QCOMPARE(d.Kind, kind);
    QCOMPARE(d.Platforms, platforms);
    QCOMPARE(d.OffscreenIsFailure, offscreenIsFailure);
    QCOMPARE(d.Why.isEmpty(), !offscreenIsFailure && kind != TStartDisplay::None);
}

void TestStartup::windowShowsTheInstalledIcon_data()
{
    QTest::addColumn<int>("size");
    for (int size : ProgramIconSizes)
        QTest::addRow("%dx%d", size, size) << size;
}

void TestStartup::windowShowsTheInstalledIcon()
{
    QFETCH(int, size);
    // The picture the desktop's icon theme gets at that size.
    const QImage installed(
        QStringLiteral(LUMETRA_SOURCE_DIR "/dist/icons/lumetra-%1.png").arg(size));
    QCOMPARE(installed.size(), QSize(size, size));
    TfrmMain w;
    const QIcon icon = w.windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage shown = icon.pixmap(QSize(size, size), 1.0).toImage();
    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void TestStartup::linkCheck_data()
{
    QTest::addColumn<QString>("bridge"); // plugged, unplugged, silent, locked
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("report"); // a regular expression over the whole report
    QTest::newRow("a meter that sends")
        << "plugged" << CheckTimeoutMs << 0
        << QStringLiteral("LMT-SIM-0001: C[sp] \\d+\\.\\d+ [pnum]F, D \\d*\\.\\d+, 1KHz");
    QTest::newRow("no bridge") << "unplugged" << CheckTimeoutMs << 1
                               << QRegularExpression::escape(N1);
    // A denied bridge names the node and the fix, not the missing-device notice.
    QTest::newRow("a bridge the user may not open")
        << "locked" << CheckTimeoutMs << 1
#ifdef Q_OS_WIN
        << QStringLiteral("(?s)Access to the meter's USB cable was denied: "
                          ".*/sim/hidraw0.*plug it in again.*");
#else
        << QStringLiteral("(?s)Access to the meter's USB cable was denied: "
                          ".*/sim/hidraw0.*60-lumetra\\.rules.*");
#endif
    QTest::newRow("a meter that stays silent")
        << "silent" << 1500 << 1 << QStringLiteral("No reading from the meter within 1.5 s\\.");
}

void TestStartup::linkCheck()
{
    QFETCH(QString, bridge);
    QFETCH(int, timeoutMs);
    QFETCH(int, exitCode);
    QFETCH(QString, report);
    QCOMPARE(sim_.Reset(), HID_UART_SUCCESS);
    const char *serial = SimBridge::DefaultSerial;
    if (bridge == "unplugged")
        QCOMPARE(sim_.Unplug(serial), HID_UART_SUCCESS);
    if (bridge == "locked")
        QCOMPARE(sim_.FailNextOpen(serial, 0), HID_UART_SUCCESS);
    if (bridge == "silent")
        QCOMPARE(sim_.SetMeterSilent(serial, 1), HID_UART_SUCCESS);

    // As the program starts with --simulate --check.
    TLinkCheck check(timeoutMs);
    QSignalSpy done(&check, &TLinkCheck::Done);
    TfrmMain w(TStartOptions{.Simulate = true});
    w.show();
    check.Start(w);
    QTRY_VERIFY_WITH_TIMEOUT(check.Finished(), timeoutMs + 5000);
    QCOMPARE(check.ExitCode(), exitCode);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(report))
                 .match(check.Report())
                 .hasMatch(),
             qPrintable(check.Report()));
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().first().toInt(), exitCode);
    // Nothing is left waiting for an answer, and the verdict stays the first one.
    QVERIFY(!QApplication::activeModalWidget());
    QTest::qWait(300);
    QCOMPARE(done.size(), 1);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
