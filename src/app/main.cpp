#include "tcapturefile.h"
#include "tcommandline.h"
#include "tfrmmain.h"
#include "timagelist.h"
#include "tlinkcheck.h"
#include "tlumetra.h"
#include "tprogramfonts.h"
#include "tstartdisplay.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// A window program has no console of its own: started from one (lumetra --version in cmd), its
// answers go to that console; redirected, to where they were sent.
void useStartingConsole()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out && out != INVALID_HANDLE_VALUE) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    [[maybe_unused]] FILE *o = std::freopen("CONOUT$", "w", stdout);
    [[maybe_unused]] FILE *e = std::freopen("CONOUT$", "w", stderr);
}
#endif

QStringList argumentList(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

void printError(const QString &text)
{
    std::fprintf(stderr, "lumetra: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// The program's arguments with the program named as a user types it: the help Qt prints itself
// (--help-all) shows "Usage: lumetra", not the full path the program was started from.
class TNamedArguments
{
public:
    TNamedArguments(int argc, char *argv[])
        : Name_(ProgramName(QString::fromLocal8Bit(argv[0])).toLocal8Bit())
        , Argv_(argv, argv + argc)
        , Argc_(argc)
    {
        if (!Argv_.empty())
            Argv_[0] = Name_.data();
        Argv_.push_back(nullptr);
    }
    int &argc() { return Argc_; }
    char **argv() { return Argv_.data(); }

private:
    QByteArray Name_;
    std::vector<char *> Argv_;
    int Argc_;
};

} // namespace

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    useStartingConsole();
#endif
    QCoreApplication::setApplicationName(QStringLiteral("Lumetra"));
    QCoreApplication::setApplicationVersion(LumetraVersion());

    // Help, version and mistakes need no window system: they answer in a terminal without a
    // display too.
    const TCommandLine early = ParseCommandLine(argumentList(argc, argv));
    if (early.Action == TCommandLine::Fail)
        return AnswerCommandLine(early);
    if (early.Action == TCommandLine::ShowHelp || early.Action == TCommandLine::ShowVersion)
        return AnswerCommandLine(early);
    // The toolkit's options are listed by its application object, which needs no screen to.
    if (early.Action == TCommandLine::ShowHelpAll) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        TNamedArguments named(argc, argv);
        const QApplication app(named.argc(), named.argv());
        return AnswerCommandLine(early);
    }
    // A capture that cannot be played is told now, as the recorder tells it, not only once
    // Connection is pressed.
    if (!early.Window.Replay.isEmpty()) {
        TCaptureReader capture;
        if (!capture.Open(early.Window.Replay)) {
            printError(early.Window.Replay + QStringLiteral(": ") + capture.Error());
            return 2;
        }
    }
    const TStartDisplay display = ChooseStartDisplay(argumentList(argc, argv), early.Check);
    if (display.Kind == TStartDisplay::None) {
        printError(display.Why);
        return 1;
    }
    if (display.Kind == TStartDisplay::Fallback)
        qputenv("QT_QPA_PLATFORM", display.Platforms);

    TStartMessages startMessages(display.Kind == TStartDisplay::Fallback);
    UseSystemFontsOffscreen();
    QApplication app(argc, argv);
    const bool noDisplay =
        display.OffscreenIsFailure && QGuiApplication::platformName() == QLatin1String("offscreen");
    // A check on the offscreen platform shows nothing: what that platform says of the window it
    // cannot show is no news to anyone.
    if (!(early.Check && QGuiApplication::platformName() == QLatin1String("offscreen")))
        startMessages.Release(noDisplay);
    if (noDisplay) {
        printError(display.Why);
        return 1;
    }
    // The window system's own options (-platform, -style ...) are gone from the arguments now.
    const TCommandLine line = ParseCommandLine(QCoreApplication::arguments());
    if (line.Action != TCommandLine::Run)
        return AnswerCommandLine(line);
    RegisterProgramFonts();
    QApplication::setWindowIcon(ProgramIcon());
    // Ties the windows to the installed desktop entry (its name and icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lumetra.Lumetra"));

    std::optional<TLinkCheck> check;
    if (line.Check) {
        check.emplace(CheckTimeoutMs);
        QObject::connect(&*check, &TLinkCheck::Done, &app, [&check](int exitCode) {
            std::fprintf(exitCode == 0 ? stdout : stderr, "%s\n",
                         check->Report().toLocal8Bit().constData());
            QCoreApplication::exit(exitCode);
        });
    }
    TfrmMain frmMain(line.Window);
    frmMain.show();
    if (check) {
        check->Start(frmMain);
        // A verdict reached before the event loop runs (a notice while starting) ends it here.
        if (check->Finished())
            return check->ExitCode();
    }
    return app.exec();
}
