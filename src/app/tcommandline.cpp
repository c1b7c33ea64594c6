#include "tcommandline.h"

#include "tlaboptions.h"
#include "tlaburl.h"
#include "tlumetra.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

// Every option of the program. A new one is declared here and read in ParseCommandLine.
struct TOptions
{
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption simulate{
        QStringLiteral("simulate"),
        QStringLiteral("Talk to a built-in virtual meter instead of the USB cable.")};
    QCommandLineOption check{
        QStringLiteral("check"),
        QStringLiteral("Check the link: press Connection at start, wait up to %1 s for the "
                       "meter's first reading, print it and quit. Exit status 0 when a reading "
                       "came, 1 when none did.")
            .arg(CheckTimeoutMs / 1000)};
    QCommandLineOption connect{
        QStringLiteral("connect"),
        QStringLiteral("Press Connection at start, as a click would, and record.")};
    QCommandLineOption reconnect{
        QStringLiteral("reconnect"),
        QStringLiteral("Start with \"Reconnect automatically\" on: a meter that goes away is "
                       "waited for and recording goes on when it is back.")};
    QCommandLineOption noJournal{
        QStringLiteral("no-journal"),
        QStringLiteral("Keep no journal of the records on disk: a crash loses what was not "
                       "saved.")};

    QCommandLineOption capture{
        QStringLiteral("capture"),
        QStringLiteral("Write every block received from the meter to FILE as it arrived."),
        QStringLiteral("FILE")};
    QCommandLineOption replay{
        QStringLiteral("replay"),
        QStringLiteral("Play a capture made with --capture instead of a meter, at its own "
                       "pace, from Connection on."),
        QStringLiteral("FILE")};
    QCommandLineOption fast{QStringLiteral("fast"),
                            QStringLiteral("With --replay: as fast as the line takes it.")};
    QCommandLineOption mqtt = LabMqttOption();
    QCommandLineOption mqttCa = LabMqttCaOption();
    QCommandLineOption mqttDisplay = LabMqttDisplayOption();

    explicit TOptions(QCommandLineParser &parser)
        : help(parser.addHelpOption())
        , version(parser.addVersionOption())
    {
        parser.setApplicationDescription(
            QStringLiteral("Companion program of the Lumetra LCR meter: mirrors the meter's "
                           "display, plots and records its readings."));
        parser.addOptions({simulate, check, connect, reconnect, noJournal, capture, replay, fast,
                           mqtt, mqttCa, mqttDisplay});
    }
};

// The window system's own options, which the application object takes out of the line: with
// a value after them, and without one.
const QStringList ToolkitValueOptions = {QStringLiteral("platform"),
                                         QStringLiteral("platformpluginpath"),
                                         QStringLiteral("platformtheme"),
                                         QStringLiteral("plugin"),
                                         QStringLiteral("qwindowgeometry"),
                                         QStringLiteral("qwindowicon"),
                                         QStringLiteral("qwindowtitle"),
                                         QStringLiteral("display"),
                                         QStringLiteral("geometry"),
                                         QStringLiteral("title"),
                                         QStringLiteral("icon"),
                                         QStringLiteral("name"),
                                         QStringLiteral("session"),
                                         QStringLiteral("style"),
                                         QStringLiteral("stylesheet")};
const QStringList ToolkitSwitches = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                     QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                     QStringLiteral("sync"),    QStringLiteral("qmljsdebugger")};

// The line as the program's own parser sees it: before the application object exists (no
// display is needed to tell a mistake), the toolkit's options are left out here instead.
QStringList withoutToolkitOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (i > 0 && a == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        if (i == 0 || !a.startsWith(QLatin1Char('-'))) {
            kept << a;
            continue;
        }
        QString name = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool joined = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (ToolkitSwitches.contains(name))
            continue;
        if (ToolkitValueOptions.contains(name)) {
            if (!joined)
                ++i; // its value
            continue;
        }
        kept << a;
    }
    return kept;
}

} // namespace

TCommandLine ParseCommandLine(const QStringList &given)
{
    QCommandLineParser parser;
    const TOptions options(parser);
    TCommandLine line;
    const QStringList arguments = withoutToolkitOptions(given);
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(QStringLiteral("help-all"))) {
        line.Action = TCommandLine::ShowHelpAll;
    } else if (parser.isSet(options.help)) {
        line.Action = TCommandLine::ShowHelp;
        line.Message = ProgramHelpText(parser, arguments.value(0));
    } else if (parser.isSet(options.version)) {
        line.Action = TCommandLine::ShowVersion;
        line.Message = QCoreApplication::applicationName() + QLatin1Char(' ')
                       + QCoreApplication::applicationVersion() + QLatin1Char('\n');
    } else if (!parsed) {
        line.Action = TCommandLine::Fail;
        line.Message = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        // A file name here would otherwise be dropped without a word.
        line.Action = TCommandLine::Fail;
        line.Message = QStringLiteral("Unexpected argument '%1'.")
                           .arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(options.fast) && !parser.isSet(options.replay)) {
        line.Action = TCommandLine::Fail;
        line.Message = QStringLiteral("--fast belongs to --replay.");
    } else if ((parser.isSet(options.mqttCa) || parser.isSet(options.mqttDisplay))
               && !parser.isSet(options.mqtt)) {
        line.Action = TCommandLine::Fail;
        line.Message = QStringLiteral("--mqtt-display and --mqtt-ca belong to --mqtt.");
    } else if (QString why;
               parser.isSet(options.mqtt)
               && !ParseLabUrl(parser.value(options.mqtt), TLabUrlUse::Publish, &why)) {
        line.Action = TCommandLine::Fail;
        line.Message = QStringLiteral("--mqtt: %1").arg(why);
    }
    if (line.Action == TCommandLine::Fail) {
        // Named as typed; on Windows without the ".exe" a user need not type.
        const QString program = arguments.isEmpty()
                                    ? QStringLiteral("lumetra")
#ifdef Q_OS_WIN
                                    : QFileInfo(arguments.first()).completeBaseName();
#else
                                    : QFileInfo(arguments.first()).fileName();
#endif
        line.Message =
            QStringLiteral("%1: %2\nTry '%1 --help' for the options.\n").arg(program, line.Message);
    }

    line.Window.Replay = parser.value(options.replay);
    // A replay needs no cable: the simulated bridges stand in for the real ones in the list.
    line.Window.Simulate = parser.isSet(options.simulate) || !line.Window.Replay.isEmpty();
    line.Window.Capture = parser.value(options.capture);
    line.Window.Fast = parser.isSet(options.fast);
    line.Window.Mqtt = parser.value(options.mqtt);
    line.Window.MqttCa = parser.value(options.mqttCa);
    line.Window.MqttDisplay = parser.isSet(options.mqttDisplay);
    line.Check = parser.isSet(options.check);
    line.Window.Connect = parser.isSet(options.connect) && !line.Check;
    line.Window.Reconnect = parser.isSet(options.reconnect);
    // A check records one reading and quits: nothing worth keeping, and no question to answer.
    line.Window.Journal = !parser.isSet(options.noJournal) && !line.Check;
    return line;
}

int AnswerCommandLine(const TCommandLine &line)
{
    if (line.Action == TCommandLine::ShowHelpAll) {
        // Only the toolkit knows its own options; it prints them with ours and ends the process.
        QCommandLineParser parser;
        const TOptions options(parser);
        parser.process(*QCoreApplication::instance());
    }
    const bool failed = line.Action == TCommandLine::Fail;
    std::fputs(line.Message.toLocal8Bit().constData(), failed ? stderr : stdout);
    std::fflush(failed ? stderr : stdout);
    return failed ? 1 : 0;
}
