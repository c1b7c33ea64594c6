#pragma once

#include "tmeterstate.h"

#include <QString>
#include <optional>

class QDateTime;
class TRecordTable;

// The rules of recording that do not need a window: what a recorded row holds, the Cp integer
// rule and the sampling seconds.

// Parallel capacitance at 100 or 120 Hz is recorded as a whole number: the integer text the
// display and the record take (12.87 -> "12", .1234 -> "0"), or nullopt when the rule does not
// apply or the display shows no number.
std::optional<QString> CpIntegerText(const TMeterState &s, const QString &displayText,
                                     const QString &decimalSep);

// The texts of a row after aNO and aTime, in field order.
struct TRecordRowTexts
{
    QString MMode, MValue, MUnit, SMode, SValue, SUnit, Freq;
};
TRecordRowTexts RecordRowTexts(const TMeterState &s);

// "2026-12-08 09:05:07" with timeSep in place of each ":": four-digit year first and a 24-hour
// clock, whatever the system's date format says.
QString RecordTimeText(const QDateTime &t, const QString &timeSep);
// The separator between hours and minutes in a QLocale time format ("HH:mm" -> ":",
// "H.mm" -> "."); ":" when the format shows none.
QString TimeSeparatorOf(const QString &timeFormat);
// The system locale's time separator, read from its short time format.
QString SystemTimeSeparator();

// Appends one posted row: aNO is the number of rows already held plus one.
void AppendRecord(TRecordTable &table, const TMeterState &s, const QDateTime &now,
                  const QString &timeSep);

// The sampling seconds box takes 1 to 99,999,999 seconds; anything else reads as nullopt.
inline constexpr qint64 MaxRecordIntervalSeconds = 99999999;
std::optional<qint64> RecordIntervalSeconds(const QString &text);
