#pragma once

// A reading as a capacitor on the simulated bench records it, for the lab bus tests and the
// load benchmark: the main text wanders with the record number.

#include "tlabreading.h"

inline TLabReading SampleLabReading(const QString &serial, qint32 number,
                                    const QDateTime &time = QDateTime::currentDateTime())
{
    TLabReading r;
    r.Serial = serial;
    r.Number = number;
    r.Time = time;
    r.MainMode = QStringLiteral("Cs");
    r.MainText = QString::number(100 + number % 50) + QStringLiteral(".4");
    r.MainUnit = QStringLiteral("nF");
    r.SubMode = QStringLiteral("D");
    r.SubText = QStringLiteral("0.012");
    r.Frequency = QStringLiteral("1KHz");
    return r;
}
