#pragma once

// Asking a program a test started to stop or to report, as a user would: on Linux by signals;
// on Windows by the console's Ctrl+C and Ctrl+Break (GenerateConsoleCtrlEvent, to every program
// on the test's console) and lumetra-record's named stop and status events. A program to be
// asked so is prepared before it starts (PrepareStoppable): on Windows it shares the test's
// console.

#include <QMetaType>
#include <QProcess>

#ifdef Q_OS_WIN
#include <QString>

#include "win32api.h"
#else
#include <csignal>
#endif

enum class TStopRequest {
    Interrupt, // Ctrl+C: SIGINT, CTRL_C_EVENT
    Terminate, // SIGTERM; the recorder's stop event on Windows
    HangUp,    // a closed terminal: SIGHUP; the recorder's stop event on Windows
    Break,     // Ctrl+Break on Windows; SIGTERM elsewhere
};
Q_DECLARE_METATYPE(TStopRequest)

#ifdef Q_OS_WIN
namespace TStopProcessDetail {
// The test lets a Ctrl+C or Ctrl+Break meant for the programs on its console pass by.
inline BOOL WINAPI ignoreConsoleEvent(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

inline bool setNamedEvent(const QProcess &process, const char *what)
{
    const QString name = QStringLiteral("Local\\lumetra-record-%1-%2")
                             .arg(QLatin1String(what))
                             .arg(process.processId());
    const HANDLE event =
        OpenEventW(EVENT_MODIFY_STATE, FALSE, reinterpret_cast<const wchar_t *>(name.utf16()));
    if (!event)
        return false;
    const bool set = SetEvent(event) != 0;
    CloseHandle(event);
    return set;
}
} // namespace TStopProcessDetail
#endif

inline void PrepareStoppable(QProcess &process)
{
#ifdef Q_OS_WIN
    static const bool handled =
        SetConsoleCtrlHandler(&TStopProcessDetail::ignoreConsoleEvent, TRUE) != 0;
    (void)handled;
    // On the test's console, where its Ctrl+C and Ctrl+Break reach the program.
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *args) { args->flags &= ~DWORD(CREATE_NO_WINDOW); });
#else
    (void)process;
#endif
}

// False when the request could not be made (no console to send it through, say).
inline bool AskToStop(QProcess &process, TStopRequest request)
{
#ifdef Q_OS_WIN
    switch (request) {
    case TStopRequest::Interrupt:
        return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    case TStopRequest::Break:
        return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) != 0;
    default:
        return TStopProcessDetail::setNamedEvent(process, "stop");
    }
#else
    int signal = SIGTERM;
    if (request == TStopRequest::Interrupt)
        signal = SIGINT;
    else if (request == TStopRequest::HangUp)
        signal = SIGHUP;
    return ::kill(pid_t(process.processId()), signal) == 0;
#endif
}

// What SIGUSR1 asks of lumetra-record: its statistics so far.
inline bool AskForStatus(QProcess &process)
{
#ifdef Q_OS_WIN
    return TStopProcessDetail::setNamedEvent(process, "status");
#else
    return ::kill(pid_t(process.processId()), SIGUSR1) == 0;
#endif
}
