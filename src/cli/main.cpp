#include "tcapturefile.h"
#include "tccomm.h"
#include "tcp2110.h"
#include "tdevicechoice.h"
#include "trecorder.h"
#include "trecorderoptions.h"
#include "trecordreport.h"
#include "trecordtable.h"
#include "treportwriter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void printError(const QString &text)
{
    std::fprintf(stderr, "lumetra-record: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Ctrl+C and SIGTERM end the recording through the event loop, so the files are finished as
// at any other stop.
void catchStopSignals(const std::function<void()> &stop)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, stop] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        notifier->setEnabled(false);
        stop();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool writeReport(const TRecordTable &table, const QString &fileName)
{
    TRecordReport report;
    report.Prepare(table);
    QString error;
    if (!SaveReportPdf(report, fileName, TRecordReport::DefaultPageLayout(), &error)) {
        printError(QStringLiteral("%1: %2").arg(fileName, error));
        return false;
    }
    return true;
}

QStringList argumentList(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

bool wantsReport(const QStringList &arguments)
{
    for (const QString &a : arguments)
        if (a == QLatin1String("--report") || a.startsWith(QLatin1String("--report=")))
            return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("lumetra-record"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.01"));
    const QStringList arguments = argumentList(argc, argv);
    TRecorderCommandLine line = ParseRecorderCommandLine(arguments);
    if (line.Action == TRecorderCommandLine::ShowHelp) {
        const QCoreApplication plain(argc, argv); // names the program in the help text
        line = ParseRecorderCommandLine(arguments);
    }
    if (line.Action != TRecorderCommandLine::Run) {
        const bool failed = line.Action == TRecorderCommandLine::Fail;
        std::fputs(line.Message.toLocal8Bit().constData(), failed ? stderr : stdout);
        return failed ? TRecorder::ExitUsage : TRecorder::ExitDone;
    }
    const TRecorderOptions &options = line.Options;

    // The report lays out text, which needs the font database of a GUI application; it is
    // drawn offscreen, so no display is needed.
    std::unique_ptr<QCoreApplication> app;
    if (wantsReport(arguments)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Nothing of this program may wait on a message box.
    TCP2110::SetSystemNotice(&printError);

    TRecorder recorder(options);
    int exitCode = TRecorder::ExitDone;
    bool finishing = false;
    const auto finish = [&](int code) {
        if (finishing)
            return;
        finishing = true;
        exitCode = code;
        QCoreApplication::exit(code);
    };
    QObject::connect(&recorder, &TRecorder::Stopped, [&](bool failed) {
        if (failed)
            printError(recorder.Error());
        finish(failed ? TRecorder::ExitFailure : TRecorder::ExitDone);
    });
    if (!recorder.Start()) {
        printError(recorder.Error());
        return TRecorder::ExitFailure;
    }

    std::unique_ptr<TCP2110> bridge;
    std::unique_ptr<TCComm> port;
    std::unique_ptr<TCaptureReplay> replay;
    QString startError;
    const auto receive = [&recorder](const std::uint8_t *data, std::uint32_t len) {
        recorder.Receive(data, len);
    };
    switch (options.Source) {
    case TRecorderOptions::NoSource:
        break;
    case TRecorderOptions::Simulate:
    case TRecorderOptions::Device: {
        bridge = std::make_unique<TCP2110>(nullptr, options.Source == TRecorderOptions::Simulate
                                                        ? TCP2110::SimulatedLibraryFile()
                                                        : TCP2110::DefaultLibraryFile());
        if (!bridge->HasLibrary())
            return TRecorder::ExitFailure; // the notice has been printed
        const QStringList serials = BridgeSerials(bridge->DeviceList());
        bridge->DeviceName = options.DeviceSerial.isEmpty() && !serials.isEmpty()
                                 ? serials.first()
                                 : options.DeviceSerial;
        QObject::connect(bridge.get(), &TCP2110::OnReceiveData, &recorder, receive);
        QObject::connect(bridge.get(), &TCP2110::OnError,
                         [&](QObject *, std::uint32_t code, const QByteArray &message) {
                             if (code == 101)
                                 startError = message.isEmpty() ? TCP2110::NoDeviceText()
                                                                : QString::fromLocal8Bit(message);
                         });
        QObject::connect(bridge.get(), &TCP2110::OnRemoval, [&] {
            printError(TCP2110::NoDeviceText());
            finish(TRecorder::ExitFailure);
        });
        try {
            if (!bridge->Open()) {
                printError(startError.isEmpty() ? TCP2110::NoDeviceText() : startError);
                return TRecorder::ExitFailure;
            }
        } catch (const std::exception &e) {
            printError(QString::fromLocal8Bit(e.what()));
            return TRecorder::ExitFailure;
        }
        break;
    }
    case TRecorderOptions::Serial:
        port = std::make_unique<TCComm>();
        port->SetCommPort(options.SerialPort);
        for (int r = TCComm::CBR_110; r <= TCComm::CBR_256000; ++r)
            if (TCComm::BaudRateValue(TCComm::TBaudrate(r)) == options.Baud)
                port->SetBaudRate(TCComm::TBaudrate(r));
        QObject::connect(port.get(), &TCComm::OnReceiveData, &recorder,
                         [&recorder](const void *data, std::uint32_t len) {
                             recorder.Receive(static_cast<const std::uint8_t *>(data), len);
                         });
        try {
            port->Open();
        } catch (const std::exception &e) {
            printError(QString::fromLocal8Bit(e.what()));
            return TRecorder::ExitFailure;
        }
        break;
    case TRecorderOptions::Replay:
        replay = std::make_unique<TCaptureReplay>(options.Fast);
        if (!replay->Open(options.ReplayFile)) {
            printError(QStringLiteral("%1: %2").arg(options.ReplayFile, replay->Error()));
            return TRecorder::ExitFailure;
        }
        QObject::connect(replay.get(), &TCaptureReplay::OnReceiveData, &recorder, receive);
        QObject::connect(replay.get(), &TCaptureReplay::Finished, [&] {
            if (!replay->Error().isEmpty()) {
                printError(QStringLiteral("%1: %2").arg(options.ReplayFile, replay->Error()));
                finish(TRecorder::ExitFailure);
            } else {
                finish(TRecorder::ExitDone);
            }
        });
        break;
    }

    catchStopSignals([&] { finish(TRecorder::ExitDone); });
    if (options.DurationMs > 0)
        QTimer::singleShot(std::min<qint64>(options.DurationMs, std::numeric_limits<int>::max()),
                           [&] { finish(TRecorder::ExitDone); });
    if (replay)
        replay->Start();
    if (options.Source != TRecorderOptions::NoSource)
        app->exec();

    // Stop the sources before the files are finished, so no block arrives half-way.
    if (replay)
        replay->Stop();
    if (bridge)
        bridge->Close();
    if (port)
        port->Close();
    if (!recorder.Finish()) {
        printError(recorder.Error());
        exitCode = TRecorder::ExitFailure;
    }
    if (!options.Report.isEmpty() && !writeReport(recorder.Table(), options.Report))
        exitCode = TRecorder::ExitFailure;
    return exitCode;
}
