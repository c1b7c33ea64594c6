#include "tcommandline.h"
#include "tfrmmain.h"
#include "timagelist.h"
#include "tlinkcheck.h"
#include "tlumetra.h"

#include <QApplication>

#include <cstdio>
#include <optional>

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
    if (early.Action == TCommandLine::ShowHelp || early.Action == TCommandLine::ShowVersion) {
        const QCoreApplication plain(argc, argv); // names the program in the help text
        return AnswerCommandLine(ParseCommandLine(QCoreApplication::arguments()));
    }
    // The toolkit's options are listed by its application object, which needs no screen to.
    if (early.Action == TCommandLine::ShowHelpAll)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    UseSystemFontsOffscreen();
    QApplication app(argc, argv);
    // The window system's own options (-platform, -style ...) are gone from the arguments now.
    const TCommandLine line = ParseCommandLine(QCoreApplication::arguments());
    if (line.Action != TCommandLine::Run)
        return AnswerCommandLine(line);
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
