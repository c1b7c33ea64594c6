#pragma once

#include <QString>

class QCommandLineParser;

// The program's version, as the build declares it ("1.01").
QString LumetraVersion();

// The decimal separator of the system's locale (its numeric settings), read once at start and
// used for every reading after: a change of the locale takes effect at the next start.
const QString &SystemDecimalSep();

// The parser's help text naming the program as a user types it ("Usage: lumetra [options]"),
// not by the path it was started from; program is the line's first argument.
QString ProgramHelpText(const QCommandLineParser &parser, const QString &program);
