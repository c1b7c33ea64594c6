#include "trecordingstep.h"

#include "trecording.h"

TRecordingStep::TRecordingStep(TRecordTable &table)
    : Table_(table)
    , TimeSep_(SystemTimeSeparator())
{}

QString TRecordingStep::Record(TMeterState &s, const QString &displayText,
                               const QString &decimalSep, const QDateTime &now)
{
    QString shown = displayText;
    if (const std::optional<QString> whole = CpIntegerText(s, displayText, decimalSep)) {
        // The display, the record and the next change test all see the whole number, so with
        // "Repeat" off a reading is compared against what was recorded.
        shown = *whole;
        s.MainText = *whole;
        s.LastRecordedText = *whole;
    }
    AppendRecord(Table_, s, now, TimeSep_);
    return shown;
}
