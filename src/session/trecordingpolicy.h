#pragma once

#include "tmeterstate.h"
#include "tsettlerule.h"

#include <QString>
#include <cstdint>
#include <optional>

// How decoded frames become rows: exactly one kind at a time, so no combination of choices can
// contradict another. The interval and the settle options are kept while another kind is
// chosen, as the window's seconds box keeps its value.
struct TRecordingMode
{
    enum TKind : std::uint8_t {
        EveryFrame, // "Repeat": every decoded frame
        OnChange,   // a frame whose main reading text differs from the last one recorded
        Sampling,   // "Sampling Interval": one frame taken per interval, each recorded
        PerPart,    // one reading per part put on the probes, once it has settled
    };
    TKind Kind = EveryFrame;
    qint64 IntervalMs = 1000;
    TSettleOptions Settle;

    static TRecordingMode Of(TKind kind) { return TRecordingMode{}.WithKind(kind); }
    TRecordingMode WithKind(TKind kind) const;
    TRecordingMode WithInterval(qint64 ms) const;

    // Every frame that is taken is recorded: "Repeat" is on.
    bool Repeat() const { return Kind == EveryFrame || Kind == Sampling; }
    bool Samples() const { return Kind == Sampling; }
    // The window's two check boxes: sampling records every frame it takes, so switching it on
    // switches "Repeat" on, switching "Repeat" off ends it, and switching it off leaves
    // "Repeat" on.
    TRecordingMode WithRepeat(bool on) const;
    TRecordingMode WithSampling(bool on) const;

    bool operator==(const TRecordingMode &) const = default;
};

// The one place that decides whether a decoded frame is recorded, and with which main text.
class TRecordingPolicy
{
public:
    const TRecordingMode &Mode() const { return Mode_; }
    // Switching into one reading per part, or changing its settle options, starts with no part
    // on the probes. The baseline stays: after any switch, "on change" compares against the
    // last row recorded, not against a frame the previous mode passed over.
    void SetMode(const TRecordingMode &mode);

    // The main reading text of the last row recorded, as recorded.
    const QString &LastRecordedText() const { return LastRecordedText_; }

    // One decoded frame: nullopt when the mode passes it over, else the main text its row takes,
    // which becomes the baseline. The Cp rule's whole number is that text for parallel
    // capacitance at 100 or 120 Hz, so the next frame is compared against what was recorded.
    // timeMs is on the clock the readings come on; only the settle rule reads it.
    std::optional<QString> Take(const TMeterState &s, const QString &decimalSep,
                                std::int64_t timeMs);

private:
    TRecordingMode Mode_;
    QString LastRecordedText_;
    std::optional<TSettleRule> Rule_; // while one reading per part
};
