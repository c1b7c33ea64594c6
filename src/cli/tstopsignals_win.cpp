#include "tstopsignals.h"

#include <QCoreApplication>
#include <QString>
#include <QWinEventNotifier>

#include <windows.h>

#include <atomic>

namespace {

std::function<void()> stopAction;
std::atomic<bool> stopAsked{false};
// Set once everything is written; a close, logoff or shutdown waits for it.
HANDLE filesDone = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return FALSE;
    }
    // This runs on a thread the system makes for it: the stop itself goes to the event loop.
    if (!stopAsked.exchange(true) && QCoreApplication::instance())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { stopAction(); }, Qt::QueuedConnection);
    // After the other three the system ends the process once this returns (or a few seconds
    // on, whichever comes first): not before the files are whole.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && filesDone)
        WaitForSingleObject(filesDone, INFINITE);
    return TRUE;
}

// The auto-reset event Local\lumetra-record-WHAT-PID, watched on the event loop (the wait that
// reports it resets it for the next request).
QWinEventNotifier *watchNamedEvent(const QString &what)
{
    const QString name = QStringLiteral("Local\\lumetra-record-%1-%2")
                             .arg(what)
                             .arg(QCoreApplication::applicationPid());
    const HANDLE event =
        CreateEventW(nullptr, FALSE, FALSE, reinterpret_cast<const wchar_t *>(name.utf16()));
    return event ? new QWinEventNotifier(event, QCoreApplication::instance()) : nullptr;
}

} // namespace

void CatchStopSignals(const std::function<void()> &stop, const std::function<void()> &status)
{
    stopAction = stop;
    filesDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A recorder started in a process group of its own has Ctrl+C turned off: it is on again.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    // What SIGTERM is on Linux: a request from any program, with or without a console.
    if (auto *asked = watchNamedEvent(QStringLiteral("stop"))) {
        QObject::connect(asked, &QWinEventNotifier::activated, asked, [asked] {
            asked->setEnabled(false);
            if (!stopAsked.exchange(true))
                stopAction();
        });
    }
    // What SIGUSR1 is: the statistics so far.
    if (!status)
        return;
    if (auto *asked = watchNamedEvent(QStringLiteral("status")))
        QObject::connect(asked, &QWinEventNotifier::activated, asked, [status] { status(); });
}

void StopSignalsDone()
{
    if (filesDone)
        SetEvent(filesDone);
}
