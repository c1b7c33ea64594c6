#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

class TRecordTable;

// One recorded reading as it travels on the lab bus: the row's texts as recorded, its number,
// the moment it was recorded (with the recording PC's zone offset) and the meter's serial.
struct TLabReading
{
    QString Serial;
    qint32 Number = 0;
    QDateTime Time;
    QString MainMode, MainText, MainUnit;
    QString SubMode, SubText, SubUnit;
    QString Frequency; // the row's text: "1KHz"

    bool operator==(const TLabReading &) const = default;
};

// The reading of a posted row, recorded at time.
TLabReading LabReadingFromRow(const TRecordTable &table, qsizetype row, const QString &serial,
                              const QDateTime &time);
// Posts the reading as a row with its own number and time (in its own zone offset).
void AppendLabReading(TRecordTable &table, const TLabReading &reading, const QString &timeSep);

// The compact JSON object published for a reading (its schema is in this folder's README);
// decimalSep: the separator its texts were recorded with.
QByteArray LabReadingJson(const TLabReading &reading, const QString &decimalSep);
// Nothing, with error set, when the bytes are no such object.
std::optional<TLabReading> ParseLabReading(const QByteArray &json, QString *error = nullptr);

// "1KHz" -> 1000; nothing for an empty or unknown text.
std::optional<int> LabFrequencyHz(const QString &text);
