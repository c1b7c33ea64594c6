#pragma once

#include "tfrmmain.h"

#include <QString>
#include <QStringList>

// What the program was asked to do on its command line. Every option of the program is declared
// in ParseCommandLine, in one list, and read into this record there.
struct TCommandLine
{
    enum TAction { Run, ShowHelp, ShowHelpAll, ShowVersion, Fail };
    TAction Action = Run;
    // The help text, the version line, or what was wrong with the command line (ShowHelpAll has
    // none: the toolkit words it).
    QString Message;
    TStartOptions Window;
    // Press "Connection" at start, wait for the meter's first reading, say what it was and quit.
    bool Check = false;
};

// How long --check waits for the first reading; the meter sends two a second.
inline constexpr int CheckTimeoutMs = 10000;

// arguments[0] is the program; a help text names it only while an application object exists.
// Help and version win over mistakes elsewhere on the line, so they answer even where the
// window system's own options are not understood.
TCommandLine ParseCommandLine(const QStringList &arguments);
// Prints the message of a line that does not run the window (help and version to the standard
// output, mistakes to the error output) and returns the exit status for it. The help with the
// toolkit's options needs the window system's application object.
int AnswerCommandLine(const TCommandLine &line);
