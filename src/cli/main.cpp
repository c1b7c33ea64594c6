#include "tbridgesource.h"
#include "tccomm.h"
#include "tcp2110.h"
#include "tdevicechoice.h"
#include "tlabrecorder.h"
#include "tlaburl.h"
#include "tlongtimer.h"
#include "tlumetra.h"
#include "tmetersession.h"
#include "tprogramfonts.h"
#include "trecorder.h"
#include "trecorderoptions.h"
#include "trecordreport.h"
#include "trecordtable.h"
#include "treplaysource.h"
#include "treportwriter.h"
#include "tsavefile.h"
#include "tserialsource.h"
#include "tsessionpublisher.h"
#include "tstopsignals.h"
#include "tsummaryreport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void printError(const QString &text)
{
    std::fprintf(stderr, "lumetra-record: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// --stats: each meter's statistics as a block, headed by the meter's name when there are
// several.
void printStatistics(const std::vector<TRecorder *> &recorders)
{
    QString out;
    for (TRecorder *recorder : recorders) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        if (!recorder->Options().Meter.isEmpty())
            out += recorder->Options().Meter + QStringLiteral(":\n");
        out += SummaryText(recorder->Summary());
    }
    std::fputs(out.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// --stats-json: whole or not at all, as the XML record file is written.
bool writeStatsJson(const TPartSummary &summary, const QString &fileName)
{
    TSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(SummaryJson(summary)) < 0
        || !file.commit()) {
        printError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
        return false;
    }
    return true;
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

// The record report and the summary page lay out text.
bool wantsReport(const QStringList &arguments)
{
    for (const QString &a : arguments)
        for (const QLatin1String option : {QLatin1String("--report"), QLatin1String("--summary")})
            if (a == option || a.startsWith(option + QLatin1Char('=')))
                return true;
    return false;
}

// --list: one line a meter, fields split by tabs so scripts can cut them.
int listDevices(bool simulated)
{
    TBridgeSource bridge(simulated ? TCP2110::SimulatedLibraryFile()
                                   : TCP2110::DefaultLibraryFile());
    if (bridge.HasLibrary()) {
        for (const QString &line : bridge.Bridge()->DeviceList()) {
            const qsizetype split = line.indexOf(QLatin1Char('='));
            // The library's path is the node with the bridge's ids appended.
            const QString node = TCP2110::DeviceNode(line.mid(split + 1));
            std::printf("bridge\t%s\t%s\n", line.left(split).toLocal8Bit().constData(),
                        node.toLocal8Bit().constData());
        }
    } else {
        // Serial ports need no bridge library, so they are still listed.
        printError(bridge.LibraryNotice().Text);
    }
    if (!simulated)
        for (const QString &port : TCComm::ListPorts())
            std::printf("serial\t%s\n", port.toLocal8Bit().constData());
    std::fflush(stdout);
    return bridge.HasLibrary() ? TRecorder::ExitDone : TRecorder::ExitFailure;
}

// --duration: precise and of any length, where a plain timer may end 5 % early and stops at
// 24.8 days.
void endAfter(qint64 ms, const std::function<void()> &end)
{
    auto *duration = new TLongTimer(new QTimer(QCoreApplication::instance()));
    duration->SetInterval(ms);
    QObject::connect(duration, &TLongTimer::timeout, end);
    duration->SetEnabled(true);
}

// Writes what each recorder writes at the end (the XML packet, the report, the statistics) and
// returns the exit status it leaves: a failure (told then) or a nominal that no parts were
// there for, a mistake on the line that only the parts recorded could show.
int finishRecorders(const std::vector<TRecorder *> &recorders)
{
    bool ok = true;
    QStringList mistakes;
    for (TRecorder *recorder : recorders) {
        if (!recorder->Finish()) {
            printError(recorder->Error());
            ok = false;
        }
        const TRecorderOptions &options = recorder->Options();
        if (!options.Report.isEmpty() && !writeReport(recorder->Table(), options.Report))
            ok = false;
        if (!options.KeepsStatistics())
            continue;
        const TPartSummary summary = recorder->Summary();
        for (const TNominal &nominal : summary.UnmatchedNominals)
            mistakes << options.Prefix + QStringLiteral("--nominal ")
                            + UnmatchedNominalText(summary, nominal) + QLatin1Char('.');
        QString error;
        if (!options.Summary.isEmpty() && !SaveSummaryPdf(summary, options.Summary, &error)) {
            printError(QStringLiteral("%1: %2").arg(options.Summary, error));
            ok = false;
        }
        if (!options.StatsJson.isEmpty() && !writeStatsJson(summary, options.StatsJson))
            ok = false;
    }
    if (!recorders.empty() && recorders.front()->Options().Stats)
        printStatistics(recorders);
    for (const QString &mistake : std::as_const(mistakes))
        printError(mistake);
    if (!ok)
        return TRecorder::ExitFailure;
    return mistakes.isEmpty() ? TRecorder::ExitDone : TRecorder::ExitUsage;
}

// What SIGUSR1 does (the status event on Windows): the statistics so far, with --stats.
std::function<void()> statusPrinter(const TRecorderOptions &options,
                                    std::function<std::vector<TRecorder *>()> recorders)
{
    if (!options.Stats)
        return {};
    return [recorders = std::move(recorders)] { printStatistics(recorders()); };
}

// Gives the broker a few seconds to take what is queued; the rows are in the files anyway.
void finishPublisher(TSessionPublisher &publisher)
{
    QEventLoop wait;
    bool finished = false;
    QObject::connect(&publisher, &TSessionPublisher::Finished, &wait, [&] {
        finished = true;
        wait.quit();
    });
    QTimer::singleShot(5000, &wait, &QEventLoop::quit);
    publisher.Finish();
    if (!finished)
        wait.exec();
}

int recordFromLab(const TRecorderOptions &options)
{
    TLabRecorder lab(options);
    int exitCode = TRecorder::ExitDone;
    QObject::connect(&lab, &TLabRecorder::Notice, [](const QString &text) { printError(text); });
    QObject::connect(&lab, &TLabRecorder::Stopped, [&](bool failed) {
        if (failed) {
            printError(lab.Error());
            exitCode = TRecorder::ExitFailure;
        }
        QCoreApplication::exit(exitCode);
    });
    if (!lab.Start()) {
        printError(lab.Error());
        return TRecorder::ExitFailure;
    }
    CatchStopSignals([] { QCoreApplication::exit(TRecorder::ExitDone); },
                     statusPrinter(options, [&lab] { return lab.Recorders(); }));
    if (options.DurationMs > 0)
        endAfter(options.DurationMs, [] { QCoreApplication::exit(TRecorder::ExitDone); });
    QCoreApplication::exec();
    if (const int finished = finishRecorders(lab.Recorders()); exitCode == TRecorder::ExitDone)
        exitCode = finished;
    StopSignalsDone();
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGPIPE
    // A reader of the printed lines that goes away (| head) must not end the recording.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication::setApplicationName(QStringLiteral("lumetra-record"));
    QCoreApplication::setApplicationVersion(LumetraVersion());
    const QStringList arguments = argumentList(argc, argv);
    const TRecorderCommandLine line = ParseRecorderCommandLine(arguments);
    if (line.Action == TRecorderCommandLine::ListDevices) {
        const QCoreApplication plain(argc, argv);
        return listDevices(!line.Options.Meters.isEmpty());
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
        UseSystemFontsOffscreen();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
        RegisterProgramFonts();
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    // Virtual meters come from the simulated library, which offers as many bridges as asked.
    const auto simulated =
        std::count_if(options.Meters.begin(), options.Meters.end(),
                      [](const auto &m) { return m.Source == TRecorderOptions::Simulate; });
    if (simulated > qEnvironmentVariableIntValue("LUMETRA_SIM_BRIDGES"))
        qputenv("LUMETRA_SIM_BRIDGES", QByteArray::number(qsizetype(simulated)));

    if (!options.FromMqtt.isEmpty())
        return recordFromLab(options);

    // One recorder, with its own session and files, per meter; --open alone makes one without.
    std::vector<std::unique_ptr<TRecorder>> recorders;
    qsizetype nextSimulated = 0;
    const bool several = options.Meters.size() > 1;
    for (const TRecorderOptions::TMeter &meter :
         options.Meters.isEmpty() ? QList<TRecorderOptions::TMeter>{{}} : options.Meters) {
        TMeterSource *source = nullptr;
        switch (meter.Source) {
        case TRecorderOptions::NoSource:
            break;
        case TRecorderOptions::Simulate:
        case TRecorderOptions::Device: {
            const bool sim = meter.Source == TRecorderOptions::Simulate;
            auto *bridge = new TBridgeSource(sim ? TCP2110::SimulatedLibraryFile()
                                                 : TCP2110::DefaultLibraryFile());
            if (!bridge->HasLibrary()) {
                printError(bridge->LibraryNotice().Text);
                return TRecorder::ExitFailure;
            }
            QString serial = meter.Name;
            if (sim) {
                const QStringList serials = BridgeSerials(bridge->Bridge()->DeviceList());
                serial = serials.value(nextSimulated++);
            }
            bridge->SetSerial(serial);
            source = bridge;
            break;
        }
        case TRecorderOptions::Serial:
            source = new TSerialSource(meter.Name, options.Baud);
            break;
        case TRecorderOptions::Replay:
            source = new TReplaySource(meter.Name, options.Fast);
            break;
        }
        recorders.push_back(std::make_unique<TRecorder>(
            source ? options.ForMeter(source->Name(), several) : options, source));
    }

    // Each meter on the lab bus under its own serial, listening before its link opens.
    std::vector<std::unique_ptr<TSessionPublisher>> publishers;
    if (!options.Mqtt.isEmpty()) {
        QString why;
        const std::optional<TLabUrl> url = ParseLabUrl(options.Mqtt, TLabUrlUse::Publish, &why);
        for (const auto &recorder : recorders) {
            TMeterSession &session = recorder->Session();
            if (!url || !session.Source())
                continue;
            auto publisher = std::make_unique<TSessionPublisher>(
                session, *url, session.Source()->Name(), options.MqttDisplay);
            QObject::connect(publisher.get(), &TSessionPublisher::Notice,
                             [](const QString &text) { printError(text); });
            if (!publisher->Start(options.MqttCa, &why)) {
                printError(QStringLiteral("--mqtt: %1").arg(why));
                return TRecorder::ExitFailure;
            }
            publishers.push_back(std::move(publisher));
        }
    }

    // Every file is known writable before any meter starts: not after hours of recording.
    for (const auto &recorder : recorders) {
        if (!recorder->CheckFiles()) {
            printError(recorder->Error());
            return TRecorder::ExitFailure;
        }
    }

    int exitCode = TRecorder::ExitDone;
    bool finishing = false;
    const auto finish = [&](int code) {
        if (finishing)
            return;
        finishing = true;
        exitCode = code;
        QCoreApplication::exit(code);
    };
    // The run ends when every meter has what it was asked for, or at the first that fails.
    std::size_t done = 0;
    for (const auto &recorder : recorders) {
        TRecorder *r = recorder.get();
        QObject::connect(r, &TRecorder::Stopped, [&, r](bool failed) {
            if (failed) {
                printError(r->Error());
                finish(TRecorder::ExitFailure);
            } else if (++done == recorders.size()) {
                finish(TRecorder::ExitDone);
            }
        });
        if (!r->Start()) {
            printError(r->Error());
            return TRecorder::ExitFailure;
        }
    }

    std::vector<TRecorder *> all;
    for (const auto &recorder : recorders)
        all.push_back(recorder.get());
    CatchStopSignals([&] { finish(TRecorder::ExitDone); },
                     statusPrinter(options, [&all] { return all; }));
    if (options.DurationMs > 0)
        endAfter(options.DurationMs, [&] { finish(TRecorder::ExitDone); });
    if (!options.Meters.isEmpty() && !finishing)
        app->exec();

    if (const int finished = finishRecorders(all); exitCode == TRecorder::ExitDone)
        exitCode = finished;
    // What is still queued for the broker goes out now; what cannot is in the files.
    for (const auto &publisher : publishers)
        finishPublisher(*publisher);
    StopSignalsDone();
    return exitCode;
}
