#pragma once

#include "tpartsummary.h"
#include "trecordingpolicy.h"

#include <QString>
#include <QStringList>
#include <optional>

// What lumetra-record was asked to do.
struct TRecorderOptions
{
    enum TSource { NoSource, Simulate, Device, Serial, Replay };

    // One meter to record: a simulated or real bridge (Name: its serial text; empty: the next
    // one present), a serial port (Name: the port), or a replayed capture (Name: the file).
    struct TMeter
    {
        TSource Source = NoSource;
        QString Name;
    };
    QList<TMeter> Meters; // each with its own session and files
    quint32 Baud = 9600;
    bool Fast = false;
    // A meter that goes away is waited for, and the run goes on when it is back.
    bool Reconnect = false;

    // Every frame (the default), --on-change, --interval or --per-part.
    TRecordingMode Recording;
    qint64 Frames = 0;     // stop after this many recorded readings; 0: no limit
    qint64 DurationMs = 0; // stop after this long; 0: no limit
    // The files below take "%s" for the meter's name; with several meters they must.
    QString Output;    // the record file, in the form its extension gives
    QStringList Open;  // record files appended first
    QString Report;    // the record report as PDF, written at the end
    QString Capture;   // every received block, as it arrived
    QString Summary;   // the statistics' summary page as PDF, written at the end
    QString StatsJson; // the statistics as JSON, written at the end
    // The statistics of the rows printed at the end and on SIGUSR1.
    bool Stats = false;
    TSummaryOptions SummaryOptions;
    bool Quiet = false;
    // The lab bus: every recorded reading published to this broker (mqtt[s]://.../PREFIX)...
    QString Mqtt;
    QString MqttCa;           // the CA of an mqtts:// broker (default: the system's)
    bool MqttDisplay = false; // ...and every decoded frame as a live view
    // ...or, in place of meters, every meter publishing under this filter recorded here.
    QString FromMqtt;
    QString Prefix; // put before each printed row ("LMT-SIM-0002: "), for several meters
    QString Meter;  // heads the meter's printed statistics, for several meters

    // Whether the rows' statistics are wanted at all.
    bool KeepsStatistics() const { return Stats || !Summary.isEmpty() || !StatsJson.isEmpty(); }
    // The files each meter has its own of, through "%s".
    QList<QString *> MeterFiles() { return {&Output, &Capture, &Report, &Summary, &StatsJson}; }
    // These options for the meter called meterName: "%s" in its files replaced, and with
    // several meters its rows and statistics headed by its name.
    TRecorderOptions ForMeter(const QString &meterName, bool several) const;
};

// The file name for one meter: "%s" in pattern replaced by the meter's name, made fit for a
// file name (a port's "/dev/ttyUSB0" gives "ttyUSB0").
QString MeterFileName(const QString &pattern, const QString &meterName);

struct TRecorderCommandLine
{
    // ListDevices: print the bridges and serial ports present (with --simulate, the virtual
    // bridges).
    enum TAction { Run, ShowHelp, ShowVersion, ListDevices, Fail };
    TAction Action = Run;
    QString Message; // the help text, the version line or what was wrong
    TRecorderOptions Options;
};

// arguments[0] is the program. "--device" without a value (at the end, or before another
// option) names the first bridge present.
TRecorderCommandLine ParseRecorderCommandLine(const QStringList &arguments);
