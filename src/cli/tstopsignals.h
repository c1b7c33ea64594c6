#pragma once

#include <functional>

// How the recorder is told from outside to stop or to report. Both actions run on the event
// loop, so the files and the report are finished as at any other stop.
//
// Linux: Ctrl+C, SIGTERM and SIGHUP (a closed terminal, a dropped SSH link) stop; SIGUSR1 runs
// status, and is ignored when there is none (its default action would kill a recording).
// Windows: the console's Ctrl+C, Ctrl+Break, its closing, logoff and shutdown stop; for the last
// three the system ends the process as soon as it has told it, so it is held until
// StopSignalsDone. In place of SIGTERM and SIGUSR1, which Windows has not, two named events of
// the recorder's process id, which any program may set, e.g. PowerShell:
//   [Threading.EventWaitHandle]::OpenExisting('Local\lumetra-record-stop-1234').Set()
// "Local\lumetra-record-stop-PID" stops, "Local\lumetra-record-status-PID" runs status.
void CatchStopSignals(const std::function<void()> &stop, const std::function<void()> &status);

// Everything is written: a process held for its files may end now.
void StopSignalsDone();
