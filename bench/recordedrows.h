#pragma once

// Rows as a recording at one row a second makes them, for the benchmarks of the table and its
// files: a new aTime text on every row, a wandering capacitance reading. Header only; needs
// the records library.

#include "trecording.h"
#include "trecordtable.h"

#include <QDateTime>

// A capacitance reading as the meter sends it, wandering in its last digits.
inline TMeterState recordedState(qint64 i)
{
    TMeterState s;
    s.Frequency = 2;
    s.MainMode = 2;
    s.MainUnit = 10;
    s.MainText = QString::number(1200 + (i * 7919) % 400 / 10.0, 'f', 1);
    s.SubMode = 1;
    s.SubText = QString::number((i * 104729) % 2000 / 1000.0, 'f', 3);
    return s;
}

// Rows as a recording at one row a second makes them: a new aTime text on every row.
inline void fillRecorded(TRecordTable &table, qint64 rows)
{
    // UTC: local time would ask the time zone files on every row of the setup.
    const QDateTime start = QDateTime::currentDateTimeUtc();
    const QString sep = SystemTimeSeparator();
    for (qint64 i = 0; i < rows; ++i)
        AppendRecord(table, recordedState(i), start.addSecs(i), sep);
}
