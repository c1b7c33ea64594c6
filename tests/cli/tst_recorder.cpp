// lumetra-record as a user runs it: the built program in a process of its own, with its files
// in a temporary folder, compared where it matters with what the window records.
#include "../support/frames.h"
#include "../support/mosquittobroker.h"
#include "../support/partbatch.h"
#include "../support/pdftools.h"
#ifdef Q_OS_WIN
#include "../support/comline.h"
#else
#include "../support/pty.h"
#endif
#include "../support/recorderrun.h"
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "../support/stopprocess.h"
#include "../support/testfiles.h"
#include "../support/windowfeed.h"
#include "tbridgesource.h"
#include "tcapturefile.h"
#include "tccomm.h"
#include "tcp2110.h"
#include "tframeencoder.h"
#include "tmetersession.h"
#include "trecorder.h"
#include "trecordfiles.h"
#include "trecordtable.h"

#include <QCheckBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <csignal>

namespace {

QString windowProgram()
{
    return programFile(QStringLiteral("lumetra"));
}

QList<TCaptureBlock> captureBlocks(const QString &file)
{
    TCaptureReader reader;
    QList<TCaptureBlock> blocks;
    if (!reader.Open(file))
        return blocks;
    TCaptureBlock b;
    while (reader.Next(b))
        blocks << b;
    return blocks;
}

// The rows the window takes from the same blocks, "Repeat" as given.
QList<QStringList> windowRows(const QList<TCaptureBlock> &blocks, bool repeat)
{
    TfrmMain w;
    w.findChild<QCheckBox *>("cbRepeat")->setChecked(repeat);
    for (const TCaptureBlock &b : blocks)
        receive(w, b.Bytes);
    return rowsOf(*w.findChild<TRecordTable *>("cds1"));
}

// A capture of frames with the given main values, one frame a block, 100 ms apart; a
// parallel capacitance at 120 Hz when cpLow is set.
QByteArray captureOf(const QList<int> &values, bool cpLow = false, qint64 spacingMs = 100)
{
    QByteArray text = "# made by the test\n";
    qint64 ms = 0;
    for (int v : values) {
        TFrameFields f = workedFields();
        f.MainValue = v;
        if (cpLow) {
            f.Parallel = true;
            f.Frequency = 1;
        }
        const QByteArray frame = EncodeFrame(f);
        text += CaptureLine(ms, reinterpret_cast<const std::uint8_t *>(frame.constData()),
                            frame.size());
        ms += spacingMs;
    }
    return text;
}

// A capture of frames reading 1000, 1001 ...: perBlock frames to a block, blocks spacingMs
// apart, and a pause of pauseMs before block pauseAt.
QByteArray blockCapture(int frames, int perBlock, qint64 spacingMs, int pauseAt = -1,
                        qint64 pauseMs = 0)
{
    QByteArray text = "# made by the test\n";
    qint64 ms = 0;
    for (int i = 0, block = 0; i < frames; ++block) {
        if (block == pauseAt)
            ms += pauseMs;
        QByteArray bytes;
        for (int k = 0; k < perBlock && i < frames; ++k, ++i) {
            TFrameFields f = workedFields();
            f.MainValue = 1000 + i;
            bytes += EncodeFrame(f);
        }
        text += CaptureLine(ms, reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                            bytes.size());
        ms += spacingMs;
    }
    return text;
}

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void simulatedFramesMatchTheWindow_data();
    void simulatedFramesMatchTheWindow();
    void replayedCaptureGivesTheSameRows();
    void recordingModes_data();
    void recordingModes();
    void intervalRecordsOncePerTick();
    void intervalFollowsTheCapturesClock_data();
    void intervalFollowsTheCapturesClock();
    void terminatedRunLeavesACompleteFile_data();
    void terminatedRunLeavesACompleteFile();
    void closedOutputPipeKeepsRecording_data();
    void closedOutputPipeKeepsRecording();
    void fullDiskLeavesWholeRows();
    void helpAndVersion_data();
    void helpAndVersion();
    void failures_data();
    void failures();
    void bridgeFailuresSayHowToTryAgain_data();
    void bridgeFailuresSayHowToTryAgain();
    void openedFilesReport();
    void openedFilesAlonePrintTheirRows();
    void listsTheBridges();
    void windowCapturesAndReplays();
    void windowEndsAReplay_data();
    void windowEndsAReplay();
    void serialPort();
    void captureLines_data();
    void captureLines();
    void severalMetersAtOnce();
    void aMeterThatIsDoneRecordsNoMore();
    void frontEndsRecordTheSameRows_data();
    void frontEndsRecordTheSameRows();
    void labRoundTrip_data();
    void labRoundTrip();

private:
    QTemporaryDir state_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString path(const QString &name) const { return dir_->filePath(name); }
};

void TestRecorder::initTestCase()
{
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
    // The simulated meters, here and in every recorder started, send a frame every 20 ms: what
    // is recorded is the same scene as at the meter's two a second, in a twenty-fifth of the
    // time. The real pace is the simulated library's own test.
    qputenv("LUMETRA_SIM_FRAME_MS", "20");
    QVERIFY2(QFileInfo::exists(recorder()), qPrintable(recorder()));
}

void TestRecorder::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestRecorder::simulatedFramesMatchTheWindow_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("text") << "x.txt";
    QTest::newRow("xml") << "x.xml";
}

void TestRecorder::simulatedFramesMatchTheWindow()
{
    QFETCH(QString, output);
    const Run r = runRecorder(
        {"--simulate", "--frames", "10", "--output", output, "--capture", "c.txt"}, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    const QList<QStringList> rows = fileRows(path(output));
    QCOMPARE(rows.size(), 10);
    if (output.endsWith(".txt")) {
        QFile f(path(output));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("\r\n"), 11); // the header and ten rows
    }
    // One printed line per row, with the row's time and reading.
    const QList<QByteArray> printed = r.out.trimmed().split('\n');
    QCOMPARE(printed.size(), 10);
    const QList<QStringList> timed = fileRows(path(output), true);
    for (int i = 0; i < 10; ++i) {
        QVERIFY2(printed[i].startsWith(timed[i][1].toUtf8() + ' ' + timed[i][2].toUtf8() + ' '
                                       + timed[i][3].toUtf8()),
                 printed[i].constData());
        QCOMPARE(timed[i][0], QString::number(i + 1));
    }
    // The window takes the very same rows from the blocks the recorder received.
    const QList<TCaptureBlock> blocks = captureBlocks(path("c.txt"));
    QVERIFY(!blocks.isEmpty());
    QCOMPARE(windowRows(blocks, true), rows);
}

void TestRecorder::replayedCaptureGivesTheSameRows()
{
    const Run live = runRecorder(
        {"--simulate", "--frames", "6", "--output", "live.xml", "--capture", "c.txt", "--quiet"},
        dir_->path());
    QVERIFY2(live.status == 0, live.err.constData());
    for (const QStringList &pace : {QStringList{"--fast"}, QStringList{}}) {
        QFile::remove(path("replayed.txt"));
        const Run replayed = runRecorder(
            QStringList{"--replay", "c.txt", "--output", "replayed.txt", "--quiet"} + pace,
            dir_->path());
        QVERIFY2(replayed.status == 0, replayed.err.constData());
        QCOMPARE(fileRows(path("replayed.txt")), fileRows(path("live.xml")));
    }
}

void TestRecorder::recordingModes_data()
{
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<bool>("cpLow");
    QTest::addColumn<QStringList>("mode");
    QTest::addColumn<int>("rows");
    // Repeat off: only a changed main reading text is recorded.
    QTest::newRow("on change") << QList<int>{1234, 1234, 1235, 1235, 1234} << false
                               << QStringList{"--on-change"} << 3;
    QTest::newRow("every frame") << QList<int>{1234, 1234, 1235} << false << QStringList{} << 3;
    // A low-frequency Cp is compared as the whole number it is recorded as: 123.4 and 123.5
    // both record 123, and each differs from the recorded "123" again.
    QTest::newRow("on change, Cp whole number")
        << QList<int>{1234, 1235, 1235} << true << QStringList{"--on-change"} << 3;
}

void TestRecorder::recordingModes()
{
    QFETCH(QList<int>, values);
    QFETCH(bool, cpLow);
    QFETCH(QStringList, mode);
    QFETCH(int, rows);
    QVERIFY(writeFile(path("c.txt"), captureOf(values, cpLow)));
    const Run r = runRecorder(
        QStringList{"--replay", "c.txt", "--fast", "--output", "x.txt"} + mode, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    const QList<QStringList> got = fileRows(path("x.txt"));
    QCOMPARE(got.size(), rows);
    QCOMPARE(got, windowRows(captureBlocks(path("c.txt")), mode.isEmpty()));
    if (cpLow)
        QCOMPARE(got.first()[2], QStringLiteral("123"));
}

void TestRecorder::intervalRecordsOncePerTick()
{
    // Frames every 100 ms for 3.5 s of the capture's clock, sampled once a second: about three
    // rows, each the newest frame at its tick, a second apart. Played fast: the ticks follow the
    // capture's clock either way (intervalFollowsTheCapturesClock), so the rows are the same.
    QList<int> values;
    for (int i = 0; i < 35; ++i)
        values << 1000 + i;
    QVERIFY(writeFile(path("c.txt"), captureOf(values)));
    const Run r = runRecorder(
        {"--replay", "c.txt", "--fast", "--interval", "1", "--output", "x.txt"}, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    const QList<QStringList> rows = fileRows(path("x.txt"));
    QVERIFY2(rows.size() >= 2 && rows.size() <= 4, qPrintable(QString::number(rows.size())));
    // Each tick takes the newest frame, so consecutive rows are about ten frames apart.
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const double step = rows[i][2].toDouble() - rows[i - 1][2].toDouble();
        QVERIFY2(step >= 0.5 && step <= 1.6, qPrintable(QString::number(step)));
    }
}

void TestRecorder::intervalFollowsTheCapturesClock_data()
{
    QTest::addColumn<bool>("fast");
    QTest::newRow("paced") << false;
    QTest::newRow("fast") << true;
}

void TestRecorder::intervalFollowsTheCapturesClock()
{
    // Frames 1000 ... 1019 every 100 ms from 50 ms on, with 1.5 s of silence after the tenth:
    // ticks at 1 s (the newest is 1009), 2 s (nothing new), 3 s (1014). A fast replay keeps the
    // capture's time, so it records the same rows as a paced one; the paced one is where the
    // recorder's real second is seen.
    QFETCH(bool, fast);
    QByteArray text = "# made by the test\n";
    for (int i = 0; i < 20; ++i) {
        TFrameFields f = workedFields();
        f.MainValue = 1000 + i;
        const QByteArray frame = EncodeFrame(f);
        const qint64 ms = 50 + 100 * i + (i >= 10 ? 1500 : 0);
        text += CaptureLine(ms, reinterpret_cast<const std::uint8_t *>(frame.constData()),
                            frame.size());
    }
    QVERIFY(writeFile(path("c.txt"), text));
    QStringList arguments{"--replay", "c.txt", "--interval", "1", "--output", "x.txt"};
    if (fast)
        arguments << "--fast";
    const Run r = runRecorder(arguments, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    QStringList values;
    for (const QStringList &row : fileRows(path("x.txt")))
        values << row[2];
    QCOMPARE(values, (QStringList{"100.9", "101.4"}));
}

void TestRecorder::terminatedRunLeavesACompleteFile_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<TStopRequest>("request");
#ifdef Q_OS_WIN
    QTest::newRow("text, Ctrl+C") << "x.txt" << TStopRequest::Interrupt;
    QTest::newRow("xml, Ctrl+C") << "x.xml" << TStopRequest::Interrupt;
    QTest::newRow("xml, Ctrl+Break") << "x.xml" << TStopRequest::Break;
    QTest::newRow("text, the stop event") << "x.txt" << TStopRequest::Terminate;
    QTest::newRow("xml, the stop event") << "x.xml" << TStopRequest::Terminate;
#else
    QTest::newRow("text, SIGTERM") << "x.txt" << TStopRequest::Terminate;
    QTest::newRow("xml, SIGTERM") << "x.xml" << TStopRequest::Terminate;
    QTest::newRow("xml, SIGHUP (terminal closed)") << "x.xml" << TStopRequest::HangUp;
    QTest::newRow("text, SIGINT") << "x.txt" << TStopRequest::Interrupt;
#endif
}

void TestRecorder::terminatedRunLeavesACompleteFile()
{
    QFETCH(QString, output);
    QFETCH(TStopRequest, request);
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    PrepareStoppable(p);
    p.start(recorder(), {"--simulate", "--output", output, "--report", "r.pdf"}, OutputMode);
    QVERIFY(p.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).count('\n') >= 3, 30000);
    const bool asked = AskToStop(p, request);
#ifdef Q_OS_WIN
    if (!asked && request == TStopRequest::Break && THostHelper::RunningUnderWine()) {
        p.kill();
        p.waitForFinished();
        QSKIP("Wine 8 generates no Ctrl+Break (GenerateConsoleCtrlEvent fails)");
    }
#endif
    QVERIFY2(asked, "no console to send the request through");
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    out += p.readAllStandardOutput();
    const QList<QStringList> rows = fileRows(path(output));
    // Every reading printed is in the file, and nothing else; the report is written too.
    QCOMPARE(rows.size(), out.count('\n'));
    QVERIFY(rows.size() >= 3);
    QVERIFY(fileBytes(path("r.pdf")).startsWith("%PDF"));
}

void TestRecorder::closedOutputPipeKeepsRecording_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("rows"); // in x.txt afterwards
    // The reader goes after two lines; the recording goes on into the output.
    QTest::newRow("with an output") << "--frames 8 --output x.txt" << 8;
    // Without an output the printed lines were the whole point: it ends as at Ctrl+C.
    QTest::newRow("without an output") << "" << -1;
}

void TestRecorder::closedOutputPipeKeepsRecording()
{
    QFETCH(QString, arguments);
    QFETCH(int, rows);
#ifdef Q_OS_WIN
    // As "| head -2": the recorder's output is a pipe whose reader goes after two lines.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    QVERIFY(CreatePipe(&reader, &writer, &inherit, 0));
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = (QStringLiteral("\"") + QDir::toNativeSeparators(recorder())
                            + QStringLiteral("\" --simulate ") + arguments)
                               .toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(dir_->path()).toStdWString();
    PROCESS_INFORMATION process = {};
    QVERIFY(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, folder.c_str(), &startup, &process));
    CloseHandle(writer);
    CloseHandle(process.hThread);
    QByteArray got;
    char c;
    DWORD n = 0;
    while (got.count('\n') < 2 && ReadFile(reader, &c, 1, &n, nullptr) && n == 1)
        got += c;
    CloseHandle(reader);
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    QVERIFY(ended);
    QCOMPARE(got.count('\n'), 2);
    QCOMPARE(code, DWORD(0));
#else
    QProcess shell;
    shell.setWorkingDirectory(dir_->path());
    shell.start("bash",
                {"-c",
                 "\"$0\" --simulate " + arguments + " | head -2 >/dev/null; exit ${PIPESTATUS[0]}",
                 recorder()});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.exitStatus(), QProcess::NormalExit);
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
#endif
    if (rows >= 0)
        QCOMPARE(fileRows(path("x.txt")).size(), rows);
}

void TestRecorder::fullDiskLeavesWholeRows()
{
    // A disk that fills up mid-row: the row is cut away, the reason told once, status 2.
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    {
        SKIP_WITHOUT_FILE_SIZE_LIMIT();
        const FileSizeLimit full(700); // the header and some rows; the child inherits it
        p.start(recorder(), {"--simulate", "--output", "x.txt"}, OutputMode);
        QVERIFY(p.waitForStarted());
    }
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(err, "lumetra-record: x.txt: File too large\n");
    const QByteArray bytes = fileBytes(path("x.txt"));
    QVERIFY(bytes.endsWith("\r\n"));
    const QList<QStringList> rows = fileRows(path("x.txt"));
    QVERIFY(rows.size() >= 3);
    // Every row printed before the failure is in the file, whole.
    QCOMPARE(rows.size(), p.readAllStandardOutput().count('\n'));
    for (const QStringList &row : rows)
        QCOMPARE(row.size(), TRecordTable::FieldCount - 1);
}

void TestRecorder::helpAndVersion_data()
{
    QTest::addColumn<bool>("window"); // lumetra, else lumetra-record
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display"); // DISPLAY, "" for none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer"); // how stdout (status 0) or stderr begins
    QTest::addColumn<QString>("holds");  // and something further in it
    QTest::addColumn<int>("lines");      // of stdout and stderr together; 0: any number
    // The program is named as it is typed, though it was started by its full path.
    QTest::newRow("help") << false << QStringList{"--help"} << "" << 0
                          << "Usage: lumetra-record [options]"
                          << "--list" << 0;
    QTest::newRow("help-all") << false << QStringList{"--help-all"} << "" << 0
                              << "Usage: lumetra-record [options]"
                              << "--device" << 0;
    QTest::newRow("version") << false << QStringList{"--version"} << "" << 0
                             << "lumetra-record 1.01\n"
                             << "" << 1;
    QTest::newRow("mistake") << false << QStringList{"--bogus"} << "" << 1
                             << "lumetra-record: Unknown option 'bogus'."
                             << "--help" << 2;
    QTest::newRow("window help") << true << QStringList{"--help"} << "" << 0
                                 << "Usage: lumetra [options]"
                                 << "--replay" << 0;
    QTest::newRow("window help-all")
        << true << QStringList{"--help-all"} << "" << 0 << "Usage: lumetra [options]"
        << "-platform" << 0;
    QTest::newRow("window mistake")
        << true << QStringList{"--bogus"} << "" << 1 << "lumetra: Unknown option 'bogus'."
        << "--help" << 2;
    // The toolkit's options are no mistake, though nothing has taken them out yet.
    QTest::newRow("window mistake after toolkit options")
        << true << QStringList{"-style", "fusion", "-platform=xcb", "-reverse", "--simulat"} << ""
        << 1 << "lumetra: Unknown option 'simulat'."
        << "" << 2;
    // A check shows nothing: it runs without a display, and says its one line.
    QTest::newRow("window check") << true << QStringList{"--check", "--simulate"} << "" << 0
                                  << "LMT-SIM-0001: Cs 123."
                                  << " nF, D 0.01" << 1;
    QTest::newRow("window check, display away")
        << true << QStringList{"--check", "--simulate"} << ":987" << 0 << "LMT-SIM-0001: Cs 123."
        << " nF, D 0.01" << 1;
    QTest::newRow("window without a display")
        << true << QStringList{"--simulate"} << "" << 1
        << "lumetra: cannot open the window: there is no display"
        << "" << 1;
    QTest::newRow("window, display away")
        << true << QStringList{"--simulate"} << ":987" << 1
        << "lumetra: cannot open the window: no display answered (DISPLAY=:987)."
        << "" << 1;
    // As the recorder does, before anything else.
    QTest::newRow("window replay of a missing capture")
        << true << QStringList{"--replay", "none.cap"} << "" << 2
        << "lumetra: none.cap: " + noSuchFileReason() + "\n"
        << "" << 1;
}

void TestRecorder::helpAndVersion()
{
    QFETCH(bool, window);
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(int, status);
    QFETCH(QString, answer);
    QFETCH(QString, holds);
    QFETCH(int, lines);
    // A terminal without a display: where the recorder runs, and where a mistake typed for the
    // window must still be told as one.
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (!display.isEmpty())
        env.insert("DISPLAY", display);
    env.insert("XDG_STATE_HOME", dir_->path());
    env.insert("XDG_RUNTIME_DIR", dir_->path()); // else Qt says it had none
    QVERIFY(QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner));
    p.setProcessEnvironment(env);
    const QString program = window ? windowProgram() : recorder();
    p.start(program, arguments, OutputMode);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    QString err = QString::fromLocal8Bit(p.readAllStandardError());
#ifdef Q_OS_WIN
    // A console program's lines end in CR LF there.
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    err.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    QVERIFY2(p.exitCode() == status, qPrintable(out + err));
    const QString &text = status == 0 ? out : err;
    QVERIFY2(text.startsWith(answer), qPrintable(text));
    QVERIFY2(text.contains(holds), qPrintable(text));
    if (lines > 0)
        QVERIFY2((out + err).count(QLatin1Char('\n')) == lines, qPrintable(out + err));
}

void TestRecorder::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // on stderr
    QTest::newRow("no source") << QStringList{"--output", "x.txt"} << 1 << "Nothing to record";
    QTest::newRow("two sources") << QStringList{"--simulate", "--replay", "c.txt"} << 1
                                 << "only one of";
    QTest::newRow("unknown option") << QStringList{"--simulat"} << 1 << "Unknown option";
    QTest::newRow("frames 0") << QStringList{"--simulate", "--frames", "0"} << 1
                              << "--frames takes";
    QTest::newRow("interval too long")
        << QStringList{"--simulate", "--interval", "100000000"} << 1 << "--interval takes";
    QTest::newRow("both modes") << QStringList{"--simulate", "--on-change", "--interval", "2"} << 1
                                << "either --on-change or --interval";
    QTest::newRow("fast without replay")
        << QStringList{"--simulate", "--fast"} << 1 << "--fast belongs to --replay";
    QTest::newRow("odd baud") << QStringList{"--serial", "/dev/null", "--baud", "9601"} << 1
                              << "Unknown baud rate";
    // One of the fifteen, though the kernel has no constant for it: taken, and the port tried.
    QTest::newRow("baud without a B constant")
        << QStringList{"--serial", "plain.txt", "--baud", "56000"} << 2
        << "Failed to open plain.txt!";
    QTest::newRow("stray argument")
        << QStringList{"--simulate", "x.txt"} << 1 << "Unexpected argument 'x.txt'";
    QTest::newRow("no bridge") << QStringList{"--device", "NO-SUCH-BRIDGE"} << 2
                               << "No device found.";
    QTest::newRow("missing capture") << QStringList{"--replay", "none.txt"} << 2 << "none.txt";
    QTest::newRow("bad capture") << QStringList{"--replay", "bad.txt", "--fast"} << 2
                                 << "bad.txt: line 4:";
    QTest::newRow("no terminal") << QStringList{"--serial", "plain.txt"} << 2
                                 << "Failed to open plain.txt!";
    // The file, then the system's reason or what is wrong in it and where.
    QTest::newRow("unreadable open")
        << QStringList{"--open", "bad.txt"} << 2 << "lumetra-record: bad.txt: line 2: ";
    QTest::newRow("missing open") << QStringList{"--open", "missing.txt"} << 2
                                  << "lumetra-record: missing.txt: " + noSuchFileReason() + "\n";
    QTest::newRow("quiet, nothing kept") << QStringList{"--simulate", "--quiet"} << 1
                                         << "--quiet without --output, --report, --mqtt";
    // Given alone, --device takes the first bridge, of which the test machine has none.
    QTest::newRow("device alone before an option")
        << QStringList{"--device", "--frames", "1"} << 2 << "No device found.";
    QTest::newRow("device alone at the end")
        << QStringList{"--frames", "1", "--device"} << 2 << "No device found.";
    QTest::newRow("list with a source")
        << QStringList{"--list", "--serial", "/dev/null"} << 1 << "--list takes no other";
    QTest::newRow("bad broker address")
        << QStringList{"--simulate", "--mqtt", "http://server/lab"} << 1 << "--mqtt: ";
    QTest::newRow("lab and a meter")
        << QStringList{"--simulate", "--from-mqtt", "mqtt://server/lab/#"} << 1
        << "--from-mqtt takes the place of the meters";
    // Every file is checked before the meter is opened; a failed start changes no file.
    QTest::newRow("output folder missing") << QStringList{"--simulate", "--output", "no/such/x.txt"}
                                           << 2 << "cannot write no/such/x.txt: ";
    QTest::newRow("report folder missing")
        << QStringList{"--simulate", "--output", "keep.txt", "--report", "no/r.pdf"} << 2
        << "cannot write no/r.pdf: ";
    QTest::newRow("capture is a folder")
        << QStringList{"--simulate", "--output", "keep.txt", "--capture", "folder"} << 2
        << "cannot write folder: Is a directory";
    QTest::newRow("no bridge keeps the output")
        << QStringList{"--device", "NO-SUCH-BRIDGE", "--output", "keep.txt"} << 2
        << "No device found.";
    QTest::newRow("missing capture keeps the output")
        << QStringList{"--replay", "none.txt", "--output", "keep.txt"} << 2 << "none.txt";
}

void TestRecorder::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QVERIFY(writeFile(path("bad.txt"), captureOf({1234}) + "100 00 0D\n200 0G\n"));
    QVERIFY(writeFile(path("plain.txt"), "just text"));
    QVERIFY(writeFile(path("keep.txt"), "recorded yesterday\n"));
    QVERIFY(QDir(dir_->path()).mkpath("folder"));
    const Run r = runRecorder(arguments, dir_->path());
    QCOMPARE(r.status, status);
    QVERIFY2(QString::fromLocal8Bit(r.err).contains(message), r.err.constData());
    QCOMPARE(r.err.count(message.toLocal8Bit()), 1); // told once
    QVERIFY2(!r.err.contains("QString::arg"), r.err.constData());
    QCOMPARE(fileBytes(path("keep.txt")), "recorded yesterday\n");
}

void TestRecorder::bridgeFailuresSayHowToTryAgain_data()
{
    QTest::addColumn<int>("status"); // of the simulated bridge's next open; 0: unplugged
    QTest::addColumn<QString>("begins");
    QTest::newRow("denied") << int(HID_UART_DEVICE_ACCESS_ERROR)
                            << "Access to the meter's USB cable was denied: ";
    QTest::newRow("in use") << int(HID_UART_DEVICE_IN_USE)
                            << "The meter's USB cable (device node /sim/hidraw0) is in use";
    QTest::newRow("no device") << 0 << "No device found.";
}

void TestRecorder::bridgeFailuresSayHowToTryAgain()
{
    QFETCH(int, status);
    QFETCH(QString, begins);
    // In a process with a window system's application object, as --report and --summary make
    // one: the recorder still has no button to press.
    QVERIFY(qobject_cast<QGuiApplication *>(QCoreApplication::instance()));
    SimBridge sim;
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
    auto *bridge = new TBridgeSource(TCP2110::SimulatedLibraryFile());
    bridge->SetSerial(SimBridge::DefaultSerial);
    if (status == 0)
        QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    else
        QCOMPARE(sim.FailNextOpen(SimBridge::DefaultSerial, status), HID_UART_SUCCESS);
    TRecorder recorder(TRecorderOptions{}, bridge);
    QVERIFY(!recorder.Start());
    const QString &error = recorder.Error();
    QVERIFY2(error.startsWith(begins), qPrintable(error));
    QVERIFY2(!error.contains("Connection"), qPrintable(error));
    // Only what the user can mend is tried again; no device found is the meter's own notice.
    if (status == 0)
        QCOMPARE(error, QStringLiteral("No device found.  Please ensure that you have proper USB "
                                       "connection."));
    else
        QVERIFY2(error.endsWith(". Then run the command again."), qPrintable(error));
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
}

void TestRecorder::openedFilesReport()
{
    // Opened files are appended in order and numbered on; the report prints them.
    QVERIFY(writeFile(path("c.txt"), captureOf({1234, 1235, 1236})));
    QVERIFY(
        runRecorder({"--replay", "c.txt", "--fast", "--output", "x.txt", "--quiet"}, dir_->path())
            .status
        == 0);
    const Run r = runRecorder(
        {"--open", "x.txt", "--open", "x.txt", "--output", "y.xml", "--report", "y.pdf"},
        dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    const QList<QStringList> rows = fileRows(path("y.xml"));
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows[5][2], QStringLiteral("123.6"));
    QCOMPARE(PdfTools::pageCount(path("y.pdf")), 1);
    const QString text = PdfTools::pageText(path("y.pdf"), 1);
    for (const char *word : {"NO.", "1/1", "123.5", "1KHz"})
        QVERIFY2(text.contains(word), qPrintable(text));
    // With no source the opened rows are what the run shows.
    QCOMPARE(r.out.count('\n'), 6);
}

void TestRecorder::openedFilesAlonePrintTheirRows()
{
    // Listed as they were printed when recorded, time included.
    QVERIFY(writeFile(path("c.txt"), captureOf({1234, 1235, 1236}, true)));
    const Run recorded =
        runRecorder({"--replay", "c.txt", "--fast", "--output", "x.txt"}, dir_->path());
    QVERIFY2(recorded.status == 0, recorded.err.constData());
    QCOMPARE(recorded.out.count('\n'), 3);
    const Run listed = runRecorder({"--open", "x.txt"}, dir_->path());
    QVERIFY2(listed.status == 0, listed.err.constData());
    QCOMPARE(listed.out, recorded.out);
    QVERIFY(runRecorder({"--open", "x.txt", "--output", "y.txt", "--quiet"}, dir_->path())
                .out.isEmpty());
}

void TestRecorder::listsTheBridges()
{
    // The virtual bridges stand for real ones: the same lines come from the same component.
    const QByteArray before = qgetenv("LUMETRA_SIM_BRIDGES");
    qputenv("LUMETRA_SIM_BRIDGES", "2");
    const Run r = runRecorder({"--list", "--simulate"}, dir_->path());
    qputenv("LUMETRA_SIM_BRIDGES", before);
    QVERIFY2(r.status == 0, r.err.constData());
    const QStringList lines = QString::fromLocal8Bit(r.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split('\t');
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields[0], QStringLiteral("bridge"));
        QCOMPARE(fields[1], QStringLiteral("LMT-SIM-000%1").arg(i + 1));
        // The node alone, without the ids the library appends for its callers.
        QVERIFY2(!fields[2].isEmpty() && !fields[2].contains('#'), qPrintable(fields[2]));
    }
    // Every listed bridge is one --device opens.
    qputenv("LUMETRA_SIM_BRIDGES", "2");
    const Run opened =
        runRecorder({"--simulate", "--simulate", "--frames", "1", "--quiet", "--output", "%s.txt"},
                    dir_->path());
    qputenv("LUMETRA_SIM_BRIDGES", before);
    QVERIFY2(opened.status == 0, opened.err.constData());
    for (const QString &line : lines)
        QVERIFY(QFileInfo::exists(path(line.section('\t', 1, 1) + ".txt")));
    // The serial ports, as many as this machine has, are the window's ports in its order.
    const Run machine = runRecorder({"--list"}, dir_->path());
    QStringList ports;
    for (const QString &line : QString::fromLocal8Bit(machine.out).split('\n'))
        if (line.startsWith("serial\t"))
            ports << line.section('\t', 1);
    TfrmMain w;
    QCOMPARE(ports, w.CComm1->PortList());
}

void TestRecorder::windowCapturesAndReplays()
{
    // A replay in the window goes down the simulated bridge's line in place of its meter,
    // from Connection on; what the window records then is what the recorder records.
    const QList<int> values{1234, 1240, 1250, 1250, 1260};
    QVERIFY(writeFile(path("c.txt"), captureOf(values, false, 50)));
    TStartOptions options;
    options.Simulate = true; // as the command line gives it with --replay
    options.Replay = path("c.txt");
    options.Capture = path("again.txt");
    QList<QStringList> shown;
    {
        TfrmMain w(options);
        QSignalSpy ended(w.Session(), &TMeterSession::SourceEnded);
        w.show();
        QTest::mouseClick(w.findChild<QToolButton *>("btnConnect"), Qt::LeftButton);
        auto *table = w.findChild<TRecordTable *>("cds1");
        QVERIFY(ended.wait(30000));
        // The replay's rows, and none of the simulated meter's own after it.
        QCoreApplication::processEvents();
        QCOMPARE(table->RecordCount(), values.size());
        shown = rowsOf(*table);
    }
    const Run r =
        runRecorder({"--replay", "c.txt", "--fast", "--output", "x.txt", "--quiet"}, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    QCOMPARE(shown, fileRows(path("x.txt")));
    // The window's own capture of what it received replays to the same rows.
    const Run again = runRecorder(
        {"--replay", "again.txt", "--fast", "--output", "y.txt", "--quiet"}, dir_->path());
    QVERIFY2(again.status == 0, again.err.constData());
    QCOMPARE(fileRows(path("y.txt")), shown);
}

void TestRecorder::windowEndsAReplay_data()
{
    QTest::addColumn<QString>("capture");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("notice"); // empty: none
    QTest::newRow("played out") << "c.txt" << 2 << "";
    QTest::newRow("broken off") << "bad.txt" << 1 << "bad.txt: line 4:";
    QTest::newRow("missing") << "none.txt" << 0 << "none.txt";
}

void TestRecorder::windowEndsAReplay()
{
    // However a replay ends, nothing is connected after it, and no cable is blamed.
    QFETCH(QString, capture);
    QFETCH(int, rows);
    QFETCH(QString, notice);
    QVERIFY(writeFile(path("c.txt"), captureOf({1234, 1240})));
    QVERIFY(writeFile(path("bad.txt"), captureOf({1234}) + "100 00 0D\n200 0G\n"));
    TStartOptions options;
    options.Simulate = true;
    options.Replay = path(capture);
    options.Journal = false;
    TfrmMain w(options);
    w.SetUnattended(true);
    QStringList notices;
    connect(&w, &TfrmMain::NoticeRaised, this, [&notices](const TNotice &n) { notices << n.Text; });
    w.show();
    auto *button = w.findChild<QToolButton *>("btnConnect");
    QTest::mouseClick(button, Qt::LeftButton);
    if (rows > 0)
        QCOMPARE(button->text(), QStringLiteral("Disconnection"));
    QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("Connection"), 30000);
    QVERIFY(!button->isChecked());
    QCOMPARE(w.findChild<TRecordTable *>("cds1")->RecordCount(), rows);
    if (notice.isEmpty()) {
        QVERIFY2(notices.isEmpty(), qPrintable(notices.join('\n')));
    } else {
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].contains(path(notice)), qPrintable(notices[0]));
    }
}

namespace {

#ifdef Q_OS_WIN
// A pseudo-terminal that Wine shows as a COM port of this test's own.
struct TTestLine : TComLine
{
    explicit TTestLine(int n)
        : TComLine(QStringLiteral(LUMETRA_HOSTHELPER),
                   200 + int(QCoreApplication::applicationPid() % 25) * 2 + n)
    {}
};
#else
struct TTestLine : TPty
{
    explicit TTestLine(int) {}
    QString Name() const { return TPty::Name; }
};
#endif

} // namespace

void TestRecorder::serialPort()
{
#ifdef Q_OS_WIN
    if (!THostHelper::RunningUnderWine())
        QSKIP("the lines are pseudo-terminals in Wine's dosdevices");
#endif
    TTestLine line(0);
    QVERIFY(line.IsOpen());
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    p.start(recorder(),
            {"--serial", line.Name(), "--baud", "9600", "--frames", "3", "--output", "x.txt",
             "--quiet"},
            OutputMode);
    QVERIFY(p.waitForStarted());
    // The port drops what waited before it opened, so the meter keeps sending until done.
    QElapsedTimer clock;
    clock.start();
    while (p.state() != QProcess::NotRunning && clock.elapsed() < 30000) {
        line.Write(WorkedFrame);
        p.waitForFinished(50);
    }
    QCOMPARE(p.state(), QProcess::NotRunning);
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QList<QStringList> rows = fileRows(path("x.txt"));
    QCOMPARE(rows.size(), 3);
    for (const QStringList &row : rows)
        QCOMPARE(row.mid(1), (QStringList{"Cs", "123.4", "nF", "D", "0.012", "", "1KHz"}));

        // A line that hangs up ends the run as a failure, with what was recorded kept.
#ifdef Q_OS_WIN
    if (THostHelper::RunningUnderWine())
        QSKIP("Wine's WaitCommEvent does not tell that a pseudo-terminal hung up");
#endif
    TTestLine gone(1);
    QVERIFY(gone.IsOpen());
    QProcess q;
    q.setWorkingDirectory(dir_->path());
    q.start(recorder(), {"--serial", gone.Name(), "--frames", "100", "--output", "y.txt"},
            OutputMode);
    QVERIFY(q.waitForStarted());
    while (!q.canReadLine() && q.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        gone.Write(WorkedFrame);
        q.waitForReadyRead(50);
    }
    gone.HangUp();
    QVERIFY(q.waitForFinished(30000));
    QCOMPARE(q.exitStatus(), QProcess::NormalExit);
    QCOMPARE(q.exitCode(), 2);
    QVERIFY2(q.readAllStandardError().contains("hung up"), "no reason told");
    QVERIFY(!fileRows(path("y.txt")).isEmpty());
}

void TestRecorder::captureLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("block") << QByteArray("512 00 0D 0a\n") << true << 512LL
                           << QByteArray::fromHex("000D0A");
    QTest::newRow("CR LF and tabs")
        << QByteArray("7\t00\tff\r\n") << true << 7LL << QByteArray::fromHex("00FF");
    QTest::newRow("comment") << QByteArray("# 12 00\n") << true << 0LL << QByteArray();
    QTest::newRow("blank") << QByteArray("  \n") << true << 0LL << QByteArray();
    QTest::newRow("no bytes") << QByteArray("5\n") << false << 0LL << QByteArray();
    QTest::newRow("no time") << QByteArray("0D 00\n") << false << 0LL << QByteArray();
    QTest::newRow("odd digit") << QByteArray("5 0D0\n") << false << 0LL << QByteArray();
    QTest::newRow("not hex") << QByteArray("5 0G\n") << false << 0LL << QByteArray();
    QTest::newRow("time too large")
        << QByteArray("99999999999999999999 00\n") << false << 0LL << QByteArray();
}

void TestRecorder::captureLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    QFETCH(qint64, ms);
    QFETCH(QByteArray, bytes);
    TCaptureBlock b;
    QString why;
    QCOMPARE(ParseCaptureLine(line, b, &why), ok);
    QCOMPARE(why.isEmpty(), ok);
    if (ok) {
        QCOMPARE(b.Ms, ms);
        QCOMPARE(b.Bytes, bytes);
        // What the writer makes reads back as the same block.
        if (!bytes.isEmpty()) {
            TCaptureBlock again;
            QVERIFY(ParseCaptureLine(
                CaptureLine(ms, reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                            bytes.size()),
                again, &why));
            QCOMPARE(again.Bytes, bytes);
            QCOMPARE(again.Ms, ms);
        }
    }
}

QTEST_MAIN(TestRecorder)
void TestRecorder::severalMetersAtOnce()
{
    // Three virtual meters, each with its own readings, recorded side by side.
    const Run r = runRecorder({"--simulate", "--simulate", "--simulate", "--frames", "20",
                               "--output", "m-%s.txt", "--capture", "c-%s.txt"},
                              dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    QList<QList<QStringList>> meters;
    for (const char *serial : {"LMT-SIM-0001", "LMT-SIM-0002", "LMT-SIM-0003"}) {
        const QString name = QString::fromLatin1(serial);
        const QList<QStringList> rows = fileRows(path("m-" + name + ".txt"));
        QCOMPARE(rows.size(), 20);
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rows[i][0], QString::number(i + 1)); // in order, none missing
        // Every row is one this meter sent: the rows its own capture gives, and no other's.
        const QList<TCaptureBlock> blocks = captureBlocks(path("c-" + name + ".txt"));
        QVERIFY(!blocks.isEmpty());
        QCOMPARE(windowRows(blocks, true).mid(0, 20), rows);
        for (const QList<QStringList> &other : meters)
            QVERIFY(other != rows);
        meters << rows;
        // Each printed line names its meter.
        QCOMPARE(r.out.count(QByteArray(serial) + ": "), 20);
    }
    // One name for several meters' files cannot be.
    const Run clash = runRecorder({"--simulate", "--simulate", "--output", "x.txt"}, dir_->path());
    QCOMPARE(clash.status, 1);
    QVERIFY2(clash.err.contains("needs %s"), clash.err.constData());
}

void TestRecorder::aMeterThatIsDoneRecordsNoMore()
{
    // The simulated meter has its three rows long before the serial one sends a frame; the run
    // goes on for the serial one, and the simulated meter's XML file, written at the end, holds
    // the three it was asked for, not what it sent meanwhile.
#ifdef Q_OS_WIN
    if (!THostHelper::RunningUnderWine())
        QSKIP("the lines are pseudo-terminals in Wine's dosdevices");
#endif
    TTestLine line(0);
    QVERIFY(line.IsOpen());
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    p.start(recorder(),
            {"--simulate", "--serial", line.Name(), "--frames", "3", "--output", "m-%s.xml",
             "--capture", "c-%s.txt", "--quiet"},
            OutputMode);
    QVERIFY(p.waitForStarted());
    const QString simulated = path("c-LMT-SIM-0001.txt");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(simulated) && captureBlocks(simulated).size() >= 10,
                             30000);
    QElapsedTimer clock;
    clock.start();
    while (p.state() != QProcess::NotRunning && clock.elapsed() < 30000) {
        line.Write(WorkedFrame);
        p.waitForFinished(50);
    }
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QCOMPARE(fileRows(path("m-LMT-SIM-0001.xml")).size(), 3);
    QCOMPARE(fileRows(path("m-" + QFileInfo(line.Name()).fileName() + ".xml")).size(), 3);
}

void TestRecorder::frontEndsRecordTheSameRows_data()
{
    QTest::addColumn<QByteArray>("capture");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("rows"); // the newest frame of each block is taken
    QTest::addColumn<bool>("perPart");
    QTest::newRow("one frame a block") << blockCapture(40, 1, 20) << true << 40 << false;
    QTest::newRow("four frames a block") << blockCapture(40, 4, 20) << true << 10 << false;
    QTest::newRow("600 frames 1 ms apart") << blockCapture(600, 1, 1) << true << 600 << false;
    QTest::newRow("a burst after a pause, paced")
        << blockCapture(30, 1, 1, 10, 400) << false << 30 << false;
    // Each part held 3 s at the meter's two frames a second, OPEN between them: the settle
    // runs on the capture's clock in both, so a fast replay takes one row a part.
    QTest::newRow("one reading per part")
        << partCapture(partBatch({100.0, 98.7, 101.3, 99.5, 100.4}, 6), 500) << true << 5 << true;
}

void TestRecorder::frontEndsRecordTheSameRows()
{
    QFETCH(QByteArray, capture);
    QFETCH(bool, fast);
    QFETCH(int, rows);
    QFETCH(bool, perPart);
    QVERIFY(writeFile(path("c.txt"), capture));
    QList<QStringList> shown;
    {
        // As "lumetra --replay c.txt [--fast] --connect" runs it, offscreen.
        TStartOptions options;
        options.Simulate = true;
        options.Replay = path("c.txt");
        options.Fast = fast;
        TfrmMain w(options);
        QSignalSpy ended(w.Session(), &TMeterSession::SourceEnded);
        w.show();
        if (perPart)
            w.actPerPart->trigger(); // as from the grid's context menu
        QTest::mouseClick(w.findChild<QToolButton *>("btnConnect"), Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        shown = rowsOf(*w.findChild<TRecordTable *>("cds1"));
    }
    QCOMPARE(shown.size(), rows);
    QStringList arguments{"--replay", "c.txt", "--output", "x.txt", "--quiet"};
    if (fast)
        arguments << "--fast";
    if (perPart)
        arguments << "--per-part";
    const Run r = runRecorder(arguments, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    QCOMPARE(fileRows(path("x.txt")), shown);
}

void TestRecorder::labRoundTrip_data()
{
    QTest::addColumn<int>("meters");
    QTest::addColumn<bool>("ownFiles");   // the meters' recorders write --output too
    QTest::addColumn<QString>("central"); // the central recorder's --output
    QTest::addColumn<int>("status");      // the central recorder's
    QTest::newRow("one meter") << 1 << true << "c-%s.txt" << 0;
    QTest::newRow("two meters, one file each") << 2 << true << "c-%s.xml" << 0;
    QTest::newRow("two meters, one file name") << 2 << true << "c.txt" << 2;
    // Publishing keeps the readings: --quiet needs no file of its own then.
    QTest::newRow("quiet, published only") << 1 << false << "c-%s.txt" << 0;
}

void TestRecorder::labRoundTrip()
{
    QFETCH(int, meters);
    QFETCH(bool, ownFiles);
    QFETCH(QString, central);
    QFETCH(int, status);
    TMosquittoBroker broker;
    QVERIFY2(broker.Start(), qPrintable(broker.Log()));
    // The central recorder listens first; then the meters record and publish.
    QProcess listener;
    listener.setWorkingDirectory(dir_->path());
    PrepareStoppable(listener);
    listener.start(recorder(), {"--from-mqtt", broker.Url("lab/#"), "--output", central},
                   OutputMode);
    QVERIFY(listener.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(broker.Log().contains("SUBSCRIBE"), 10000);
    QStringList publish{"--frames", "10", "--quiet", "--mqtt", broker.Url("lab")};
    if (ownFiles)
        publish << "--output"
                << "m-%s.txt";
    for (int m = 0; m < meters; ++m)
        publish.prepend("--simulate");
    const Run r = runRecorder(publish, dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    QVERIFY2(r.out.isEmpty(), r.out.constData());
    if (status == 0)
        QCOMPARE(stopAfterLines(listener, 10 * meters).count('\n'), 10 * meters);
    else
        QVERIFY(listener.waitForFinished(30000));
    QCOMPARE(listener.exitStatus(), QProcess::NormalExit);
    QCOMPARE(listener.exitCode(), status);
    if (status != 0) {
        // Which meters clash is named.
        const QByteArray err = listener.readAllStandardError();
        QVERIFY2(err.contains("LMT-SIM-0001") && err.contains("LMT-SIM-0002"), err.constData());
        return;
    }
    for (int m = 1; m <= meters; ++m) {
        const QString serial = QStringLiteral("LMT-SIM-%1").arg(m, 4, 10, QLatin1Char('0'));
        const QList<QStringList> received = fileRows(path(QString(central).replace("%s", serial)));
        QCOMPARE(received.size(), 10);
        for (int row = 0; row < 10; ++row)
            QCOMPARE(received[row].first(), QString::number(row + 1));
        // Numbers and times as the meter's own recorder wrote them.
        if (ownFiles)
            QCOMPARE(fileRows(path(QString(central).replace("%s", serial)), true),
                     fileRows(path("m-" + serial + ".txt"), true));
    }
}

#include "tst_recorder.moc"
