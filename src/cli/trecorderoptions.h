#pragma once

#include <QString>
#include <QStringList>

// What lumetra-record was asked to do.
struct TRecorderOptions
{
    enum TSource { NoSource, Simulate, Device, Serial, Replay };
    enum TMode { Repeat, OnChange, Interval };

    TSource Source = NoSource;
    QString DeviceSerial; // --device: the bridge's serial text; empty: the first present
    QString SerialPort;
    quint32 Baud = 9600;
    QString ReplayFile;
    bool Fast = false;

    TMode Mode = Repeat;
    qint64 IntervalSeconds = 1;
    qint64 Frames = 0;     // stop after this many recorded readings; 0: no limit
    qint64 DurationMs = 0; // stop after this long; 0: no limit
    QString Output;        // the record file, in the form its extension gives
    QStringList Open;      // record files appended first
    QString Report;        // the record report as PDF, written at the end
    QString Capture;       // every received block, as it arrived
    bool Quiet = false;
};

struct TRecorderCommandLine
{
    enum TAction { Run, ShowHelp, ShowVersion, Fail };
    TAction Action = Run;
    QString Message; // the help text, the version line or what was wrong
    TRecorderOptions Options;
};

// arguments[0] is the program.
TRecorderCommandLine ParseRecorderCommandLine(const QStringList &arguments);
