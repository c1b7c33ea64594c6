#pragma once

#include <QString>

class QCommandLineParser;

// The program's version, as the build declares it ("1.01").
QString LumetraVersion();

// Before the application object: Qt's offscreen platform (the recorder's report, tests) reads
// fonts from a folder of files, which on Windows is the system's own Fonts folder unless
// QT_QPA_FONTDIR names another. Nothing elsewhere.
void UseSystemFontsOffscreen();

// The decimal separator of the system's locale (its numeric settings), read once at start and
// used for every reading after: a change of the locale takes effect at the next start.
const QString &SystemDecimalSep();

// The program's name as a user types it, from the path it was started by: "lumetra-record"
// for /usr/bin/lumetra-record and for C:\Lumetra\lumetra-record.exe alike.
QString ProgramName(const QString &path);

// The parser's help text naming the program as a user types it ("Usage: lumetra [options]"),
// not by the path it was started from; program is the line's first argument.
QString ProgramHelpText(const QCommandLineParser &parser, const QString &program);
