#pragma once

#include "tmeterstate.h"

#include <QDateTime>
#include <QString>

class TRecordTable;

// The one recording step of a frame the decoder chose to record, shared by the window and the
// headless recorder so that both take exactly the same rows from the same frames: the Cp
// integer rule, then one row with the record texts.
class TRecordingStep
{
public:
    explicit TRecordingStep(TRecordTable &table);

    // Whether every frame is recorded ("Repeat") or only one whose main reading text changed.
    bool Repeat() const { return Repeat_; }
    void SetRepeat(bool repeat) { Repeat_ = repeat; }

    const QString &TimeSep() const { return TimeSep_; }
    void SetTimeSep(const QString &sep) { TimeSep_ = sep; }

    // Records the latched state; displayText is what the main display shows of it. The Cp
    // rule may rewrite MainText and LastRecordedText. Returns the text the main display is to
    // show from now on.
    QString Record(TMeterState &s, const QString &displayText, const QString &decimalSep,
                   const QDateTime &now = QDateTime::currentDateTime());

private:
    TRecordTable &Table_;
    QString TimeSep_;
    bool Repeat_ = true;
};
