#include "trecorderoptions.h"

#include "tbaudrate.h"
#include "teseries.h"
#include "tlaboptions.h"
#include "tlaburl.h"
#include "tlumetra.h"
#include "trecording.h"
#include "ttolerance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

// Every option of the recorder, in the order the help lists them.
struct TOptions
{
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Record from the built-in virtual meter; given n "
                                               "times, from n virtual meters.")};
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("Record from the USB bridge with this serial text "
                                             "(given alone: the first one present; --list shows "
                                             "them). Sources may be "
                                             "given more than once and mixed: each meter is "
                                             "recorded on its own, into the files named with "
                                             "%s."),
                              QStringLiteral("SERIAL")};
    QCommandLineOption serial{QStringLiteral("serial"),
                              QStringLiteral("Record from a serial port, e.g. /dev/ttyUSB0."),
                              QStringLiteral("PORT")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("Baud rate of --serial (default 9600)."),
                            QStringLiteral("N")};
    QCommandLineOption replay{QStringLiteral("replay"),
                              QStringLiteral("Play a capture made with --capture instead of a "
                                             "meter, at its own pace."),
                              QStringLiteral("FILE")};
    QCommandLineOption fast{QStringLiteral("fast"),
                            QStringLiteral("With --replay: as fast as it can be recorded.")};
    QCommandLineOption reconnect{
        QStringLiteral("reconnect"),
        QStringLiteral("Go on when the meter goes away (cable pulled, bridge gone, serial line "
                       "hung up, or no data for 10 seconds): say so on the error output, wait "
                       "for it to come back (the same bridge, or any with --device alone), "
                       "open it again and go on with the next record number.")};
    QCommandLineOption onChange{QStringLiteral("on-change"),
                                QStringLiteral("Record a reading only when it changes.")};
    QCommandLineOption interval{
        QStringLiteral("interval"),
        QStringLiteral("Record the newest reading once every SECONDS (1 to 99999999)."),
        QStringLiteral("SECONDS")};
    QCommandLineOption frames{QStringLiteral("frames"),
                              QStringLiteral("Stop after N recorded readings."),
                              QStringLiteral("N")};
    QCommandLineOption duration{QStringLiteral("duration"), QStringLiteral("Stop after S seconds."),
                                QStringLiteral("S")};
    QCommandLineOption output{
        QStringLiteral("output"),
        QStringLiteral("Write the records to FILE: .xml as the XML data packet (written at the "
                       "end), .txt or .xls as tab-separated text (written as rows arrive). %s in "
                       "FILE stands for the meter's serial text or port name."),
        QStringLiteral("FILE")};
    QCommandLineOption open{QStringLiteral("open"),
                            QStringLiteral("Append the records of a record file first (may be "
                                           "given more than once; no source is needed then)."),
                            QStringLiteral("FILE")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Write the record report as PDF at the end."),
                              QStringLiteral("FILE.pdf")};
    QCommandLineOption capture{QStringLiteral("capture"),
                               QStringLiteral("Write every received block to FILE as it "
                                              "arrived, for --replay."),
                               QStringLiteral("FILE")};
    QCommandLineOption quiet{QStringLiteral("quiet"),
                             QStringLiteral("Print no line per recorded reading.")};
    QCommandLineOption list{
        QStringLiteral("list"),
        QStringLiteral("Print the meters that can be recorded, one a line, and quit: "
                       "\"bridge<TAB>SERIAL<TAB>NODE\" for each USB bridge, \"serial<TAB>PORT\" "
                       "for each serial port; with --simulate, the virtual bridges alone.")};
    QCommandLineOption perPart{
        QStringLiteral("per-part"),
        QStringLiteral("Record one reading per part, once it has settled, in place of every "
                       "reading: a new part is one put on after the probes were lifted (OL, "
                       "OPEN), or a reading that moves more than 5 % and settles again.")};
    QCommandLineOption settleBand{
        QStringLiteral("settle-band"),
        QStringLiteral("With --per-part: a settled reading stays within PERCENT of its value "
                       "(default 0.2; at least 2 counts of its last digit)."),
        QStringLiteral("PERCENT")};
    QCommandLineOption settleTime{
        QStringLiteral("settle-time"),
        QStringLiteral("With --per-part: how long a reading stays in the band before it is "
                       "recorded (default 1.5; on a capture's own clock during --replay, also "
                       "with --fast)."),
        QStringLiteral("SECONDS")};
    QCommandLineOption stats{
        QStringLiteral("stats"),
#ifdef Q_OS_WIN
        QStringLiteral("Print the statistics of the recorded rows at the end, and while "
                       "recording whenever the event Local\\lumetra-record-status-PID is set: "
                       "count, mean, deviation, median, spread, tolerance classes and matched "
                       "sets per mode and unit.")};
#else
        QStringLiteral("Print the statistics of the recorded rows at the end, and on SIGUSR1 "
                       "while recording: count, mean, deviation, median, spread, tolerance "
                       "classes and matched sets per mode and unit.")};
#endif
    QCommandLineOption nominal{
        QStringLiteral("nominal"),
        QStringLiteral("The nominal value of the parts of one quantity for the tolerance "
                       "classes, e.g. 100n, 4.7k, 2m2, 470uH: it applies to the groups in its "
                       "unit, or (without one) in a unit the meter shows such a value in, the "
                       "nearest of them (100n: farads). Once per quantity; the other groups take "
                       "the value of --series nearest their median."),
        QStringLiteral("VALUE")};
    QCommandLineOption tolerance{
        QStringLiteral("tolerance"),
        QStringLiteral("The tolerance classes in percent (default 0.5,1,2,5,10,20)."),
        QStringLiteral("LIST")};
    QCommandLineOption series{
        QStringLiteral("series"),
        QStringLiteral("The E series an automatic nominal is taken from: E6, E12, E24, E48, "
                       "E96 or E192 (default E12)."),
        QStringLiteral("SERIES")};
    QCommandLineOption match{QStringLiteral("match"),
                             QStringLiteral("Find matched sets of K parts (default 2)."),
                             QStringLiteral("K")};
    QCommandLineOption within{
        QStringLiteral("within"),
        QStringLiteral("The parts of a matched set lie within X % of each other (default 0.5)."),
        QStringLiteral("X%")};
    QCommandLineOption summary{
        QStringLiteral("summary"),
        QStringLiteral("Write the statistics as a summary page (PDF) at the end."),
        QStringLiteral("FILE.pdf")};
    QCommandLineOption statsJson{
        QStringLiteral("stats-json"),
        QStringLiteral("Write the statistics as JSON (base units) at the end."),
        QStringLiteral("FILE")};
    QCommandLineOption mqtt = LabMqttOption();
    QCommandLineOption mqttCa = LabMqttCaOption();
    QCommandLineOption mqttDisplay = LabMqttDisplayOption();
    QCommandLineOption fromMqtt{
        QStringLiteral("from-mqtt"),
        QStringLiteral("Record what meters publish to the broker under URL/FILTER "
                       "(e.g. mqtt://server/lab/#) instead of a meter: each meter into its own "
                       "files, %s standing for its serial."),
        QStringLiteral("URL")};

    explicit TOptions(QCommandLineParser &parser)
        : help(parser.addHelpOption())
        , version(parser.addVersionOption())
    {
        parser.setApplicationDescription(
            QStringLiteral("Records the readings of a Lumetra LCR meter without a window. "
                           "Stops after --frames or --duration, at the end of a replay, or at "
                           "Ctrl+C; the output file is complete in every case.\n"
                           "Exit status: 0 done, 1 bad usage, 2 device or file failure."));
        parser.addOptions({simulate,    device,     serial,    baud,   replay,   fast,
                           reconnect,   onChange,   interval,  frames, duration, perPart,
                           settleBand,  settleTime, output,    open,   report,   capture,
                           stats,       nominal,    tolerance, series, match,    within,
                           summary,     statsJson,  quiet,     list,   mqtt,     mqttCa,
                           mqttDisplay, fromMqtt});
    }
};

std::optional<qint64> wholeNumber(const QString &text, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

// Seconds, fractions allowed, above 0 and at most maxSeconds, in whole milliseconds (at least 1).
std::optional<qint64> milliseconds(const QString &text, double maxSeconds)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > maxSeconds)
        return std::nullopt;
    return std::max<qint64>(1, qint64(std::llround(s * 1000)));
}

// "0.5" or "0.5%": a percentage above low and at most high.
std::optional<double> percent(QString text, double low, double high)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= low || v > high)
        return std::nullopt;
    return v;
}

// The options of one reading per part; the reason they cannot run, or empty.
QString checkPerPart(const QCommandLineParser &parser, const TOptions &o, TRecorderOptions &r)
{
    if (!parser.isSet(o.perPart)) {
        if (parser.isSet(o.settleBand) || parser.isSet(o.settleTime))
            return QStringLiteral("--settle-band and --settle-time belong to --per-part.");
        return {};
    }
    if (parser.isSet(o.onChange) || parser.isSet(o.interval))
        return QStringLiteral("--per-part records one reading per part: give no --on-change or "
                              "--interval with it.");
    TSettleOptions settle;
    if (parser.isSet(o.settleBand)) {
        // Below the 5 % that tells a swapped part, or a swap would read as noise.
        const auto band = percent(parser.value(o.settleBand), 0, settle.LeavePercent / 2);
        if (!band)
            return QStringLiteral("--settle-band takes a percentage above 0 and at most %1, "
                                  "not '%2'.")
                .arg(settle.LeavePercent / 2)
                .arg(parser.value(o.settleBand));
        settle.BandPercent = *band;
    }
    if (parser.isSet(o.settleTime)) {
        const auto ms = milliseconds(parser.value(o.settleTime), 3600);
        if (!ms)
            return QStringLiteral("--settle-time takes seconds above 0 and at most 3600, not "
                                  "'%1'.")
                .arg(parser.value(o.settleTime));
        settle.SettleMs = *ms;
    }
    r.Recording = r.Recording.WithKind(TRecordingMode::PerPart);
    r.Recording.Settle = settle;
    return {};
}

// The options of the statistics; the reason they cannot run, or empty.
QString checkStatistics(const QCommandLineParser &parser, const TOptions &o, TRecorderOptions &r)
{
    r.Stats = parser.isSet(o.stats);
    r.Summary = parser.value(o.summary);
    r.StatsJson = parser.value(o.statsJson);
    for (const QCommandLineOption *named :
         {&o.nominal, &o.tolerance, &o.series, &o.match, &o.within})
        if (parser.isSet(*named) && !r.KeepsStatistics())
            return QStringLiteral("--%1 belongs to --stats, --summary or --stats-json.")
                .arg(named->names().constFirst());
    TSummaryOptions &s = r.SummaryOptions;
    for (const QString &text : parser.values(o.nominal)) {
        const std::optional<TNominal> nominal = ParseNominal(text);
        if (!nominal || !(nominal->Value > 0))
            return QStringLiteral("--nominal takes a value such as 100n, 4.7k or 2m2, not "
                                  "'%1'.")
                .arg(text);
        s.Nominals.push_back(*nominal);
    }
    if (parser.isSet(o.tolerance)) {
        const auto classes = ParseToleranceClasses(parser.value(o.tolerance));
        if (!classes)
            return QStringLiteral("--tolerance takes percentages such as 0.5,1,2,5,10,20, not "
                                  "'%1'.")
                .arg(parser.value(o.tolerance));
        s.Classes = *classes;
    }
    if (parser.isSet(o.series)) {
        QString text = parser.value(o.series).trimmed();
        if (text.startsWith(QLatin1Char('E'), Qt::CaseInsensitive))
            text.remove(0, 1);
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || !IsESeries(n))
            return QStringLiteral("--series takes E6, E12, E24, E48, E96 or E192, not '%1'.")
                .arg(parser.value(o.series));
        s.Series = n;
    }
    if (parser.isSet(o.match)) {
        const auto k = wholeNumber(parser.value(o.match), 2, 1000);
        if (!k)
            return QStringLiteral("--match takes a whole number of parts from 2 to 1000, not "
                                  "'%1'.")
                .arg(parser.value(o.match));
        s.MatchSize = int(*k);
    }
    if (parser.isSet(o.within)) {
        const auto x = percent(parser.value(o.within), 0, 100);
        if (!x)
            return QStringLiteral("--within takes a percentage above 0 and at most 100, not "
                                  "'%1'.")
                .arg(parser.value(o.within));
        s.MatchWithinPercent = *x;
    }
    return {};
}

// The reason a set of options cannot run; empty when it can.
QString check(const QCommandLineParser &parser, const TOptions &o, TRecorderOptions &r)
{
    const int simulated = int(parser.optionNames().count(QStringLiteral("simulate")));
    for (int n = 0; n < simulated; ++n)
        r.Meters << TRecorderOptions::TMeter{TRecorderOptions::Simulate, QString()};
    for (const QString &serial : parser.values(o.device))
        r.Meters << TRecorderOptions::TMeter{TRecorderOptions::Device, serial};
    for (const QString &port : parser.values(o.serial))
        r.Meters << TRecorderOptions::TMeter{TRecorderOptions::Serial, port};
    if (parser.isSet(o.replay)) {
        if (!r.Meters.isEmpty() || parser.values(o.replay).size() > 1)
            return QStringLiteral("A capture takes the place of the meters: give only one of "
                                  "--replay and --simulate, --device, --serial.");
        r.Meters << TRecorderOptions::TMeter{TRecorderOptions::Replay, parser.value(o.replay)};
    }
    const auto has = [&r](TRecorderOptions::TSource source) {
        return std::any_of(r.Meters.begin(), r.Meters.end(),
                           [source](const auto &m) { return m.Source == source; });
    };
    if (parser.isSet(o.baud)) {
        if (!has(TRecorderOptions::Serial))
            return QStringLiteral("--baud belongs to --serial.");
        const auto baud = wholeNumber(parser.value(o.baud), 1, 256000);
        if (!baud || !BaudRateOf(std::uint64_t(*baud)))
            return QStringLiteral("Unknown baud rate '%1'.").arg(parser.value(o.baud));
        r.Baud = quint32(*baud);
    }
    r.Fast = parser.isSet(o.fast);
    r.Reconnect = parser.isSet(o.reconnect);
    if (r.Reconnect && (r.Meters.isEmpty() || has(TRecorderOptions::Replay)))
        return QStringLiteral("--reconnect needs a meter that can come back: --simulate, "
                              "--device or --serial.");
    if (r.Fast && !has(TRecorderOptions::Replay))
        return QStringLiteral("--fast belongs to --replay.");
    if (parser.isSet(o.onChange) && parser.isSet(o.interval))
        return QStringLiteral("Give either --on-change or --interval.");
    if (parser.isSet(o.onChange))
        r.Recording = r.Recording.WithKind(TRecordingMode::OnChange);
    if (parser.isSet(o.interval)) {
        const auto seconds = RecordIntervalSeconds(parser.value(o.interval));
        if (!seconds)
            return QStringLiteral("--interval takes 1 to %1 seconds, not '%2'.")
                .arg(MaxRecordIntervalSeconds)
                .arg(parser.value(o.interval));
        r.Recording = r.Recording.WithKind(TRecordingMode::Sampling).WithInterval(*seconds * 1000);
    }
    if (parser.isSet(o.frames)) {
        const auto n = wholeNumber(parser.value(o.frames), 1, std::numeric_limits<int>::max());
        if (!n)
            return QStringLiteral("--frames takes a whole number above 0, not '%1'.")
                .arg(parser.value(o.frames));
        r.Frames = *n;
    }
    if (parser.isSet(o.duration)) {
        const auto ms = milliseconds(parser.value(o.duration), 2e9);
        if (!ms)
            return QStringLiteral("--duration takes seconds above 0, not '%1'.")
                .arg(parser.value(o.duration));
        r.DurationMs = *ms;
    }
    if (QString why = checkPerPart(parser, o, r); !why.isEmpty())
        return why;
    r.Output = parser.value(o.output);
    r.Open = parser.values(o.open);
    r.Report = parser.value(o.report);
    r.Capture = parser.value(o.capture);
    r.Quiet = parser.isSet(o.quiet);
    if (QString why = checkStatistics(parser, o, r); !why.isEmpty())
        return why;
    const std::initializer_list<const QCommandLineOption *> files = {
        &o.output, &o.report, &o.capture, &o.summary, &o.statsJson};
    for (const QCommandLineOption *named : files)
        if (parser.isSet(*named) && parser.value(*named).isEmpty())
            return QStringLiteral("--%1 needs a file name.").arg(named->names().constFirst());
    if (!r.Capture.isEmpty() && (r.Meters.isEmpty() || has(TRecorderOptions::Replay)))
        return QStringLiteral("--capture needs a meter: --simulate, --device or --serial.");
    if (r.Meters.size() > 1) {
        for (const QCommandLineOption *named : files)
            if (parser.isSet(*named) && !parser.value(*named).contains(QLatin1String("%s")))
                return QStringLiteral("With several meters, --%1 needs %s in its name for "
                                      "each meter's own file.")
                    .arg(named->names().constFirst());
    }
    r.Mqtt = parser.value(o.mqtt);
    r.MqttCa = parser.value(o.mqttCa);
    r.MqttDisplay = parser.isSet(o.mqttDisplay);
    r.FromMqtt = parser.value(o.fromMqtt);
    for (const auto &[named, use] :
         {std::pair{&o.mqtt, TLabUrlUse::Publish}, std::pair{&o.fromMqtt, TLabUrlUse::Subscribe}}) {
        QString why;
        if (parser.isSet(*named) && !ParseLabUrl(parser.value(*named), use, &why))
            return QStringLiteral("--%1: %2").arg(named->names().constFirst(), why);
    }
    if (!r.FromMqtt.isEmpty() && (!r.Meters.isEmpty() || !r.Mqtt.isEmpty()))
        return QStringLiteral("--from-mqtt takes the place of the meters: give no --simulate, "
                              "--device, --serial, --replay or --mqtt with it.");
    if (r.Recording.Kind == TRecordingMode::PerPart && r.Meters.isEmpty())
        return QStringLiteral("--per-part needs a meter or --replay: it picks from the "
                              "readings as they come.");
    if ((r.MqttDisplay || !r.MqttCa.isEmpty()) && r.Mqtt.isEmpty() && r.FromMqtt.isEmpty())
        return QStringLiteral("--mqtt-display and --mqtt-ca belong to --mqtt.");
    if (!r.FromMqtt.isEmpty())
        return {};
    if (r.Meters.isEmpty() && r.Open.isEmpty())
        return QStringLiteral("Nothing to record: give a source (--simulate, --device, "
                              "--serial or --replay) or --open.");
    // Published readings are kept by whoever records them from the broker.
    if (r.Output.isEmpty() && r.Report.isEmpty() && r.Mqtt.isEmpty() && r.Quiet
        && !r.KeepsStatistics())
        return QStringLiteral("--quiet without --output, --report, --mqtt or statistics would "
                              "keep nothing.");
    return {};
}

} // namespace

QString MeterFileName(const QString &pattern, const QString &meterName)
{
    QString name = QFileInfo(meterName).fileName();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QString file = pattern;
    return file.replace(QLatin1String("%s"), name);
}

TRecorderOptions TRecorderOptions::ForMeter(const QString &meterName, bool several) const
{
    TRecorderOptions own = *this;
    for (QString *file : own.MeterFiles())
        if (!file->isEmpty())
            *file = MeterFileName(*file, meterName);
    if (several) {
        own.Prefix = meterName + QStringLiteral(": ");
        own.Meter = meterName;
    }
    return own;
}

TRecorderCommandLine ParseRecorderCommandLine(const QStringList &given)
{
    // The parser knows no optional values: a bare --device is given the empty serial text,
    // which names the first bridge, so the option after it keeps its meaning.
    QStringList arguments = given;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            break;
        if (arguments.at(i) == QLatin1String("--device")
            && (i + 1 == arguments.size() || arguments.at(i + 1).startsWith(QLatin1Char('-'))))
            arguments[i] = QStringLiteral("--device=");
    }
    QCommandLineParser parser;
    const TOptions options(parser);
    TRecorderCommandLine line;
    const bool parsed = parser.parse(arguments);
    // The recorder has no window-system options, so all the help there is is ours.
    if (parser.isSet(options.help) || parser.isSet(QStringLiteral("help-all"))) {
        line.Action = TRecorderCommandLine::ShowHelp;
        line.Message = ProgramHelpText(parser, arguments.value(0));
        return line;
    }
    if (parser.isSet(options.version)) {
        line.Action = TRecorderCommandLine::ShowVersion;
        line.Message =
            QStringLiteral("lumetra-record %1\n").arg(QCoreApplication::applicationVersion());
        return line;
    }
    QString why;
    if (parsed && parser.isSet(options.list)) {
        const QStringList names = parser.optionNames();
        if (std::any_of(names.begin(), names.end(), [](const QString &name) {
                return name != QLatin1String("list") && name != QLatin1String("simulate");
            }))
            why = QStringLiteral("--list takes no other option than --simulate.");
        else {
            line.Action = TRecorderCommandLine::ListDevices;
            if (parser.isSet(options.simulate))
                line.Options.Meters << TRecorderOptions::TMeter{TRecorderOptions::Simulate, {}};
            return line;
        }
    } else if (!parsed)
        why = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        why = QStringLiteral("Unexpected argument '%1'.")
                  .arg(parser.positionalArguments().constFirst());
    else
        why = check(parser, options, line.Options);
    if (!why.isEmpty()) {
        // Named as typed; on Windows without the ".exe" a user need not type.
        const QString program = arguments.isEmpty()
                                    ? QStringLiteral("lumetra-record")
#ifdef Q_OS_WIN
                                    : QFileInfo(arguments.first()).completeBaseName();
#else
                                    : QFileInfo(arguments.first()).fileName();
#endif
        line.Action = TRecorderCommandLine::Fail;
        line.Message =
            QStringLiteral("%1: %2\nTry '%1 --help' for the options.\n").arg(program, why);
    }
    return line;
}
