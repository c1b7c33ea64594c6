#include "trecordingpolicy.h"

#include "trecording.h"

TRecordingMode TRecordingMode::WithKind(TKind kind) const
{
    TRecordingMode m = *this;
    m.Kind = kind;
    return m;
}

TRecordingMode TRecordingMode::WithInterval(qint64 ms) const
{
    TRecordingMode m = *this;
    m.IntervalMs = ms;
    return m;
}

TRecordingMode TRecordingMode::WithRepeat(bool on) const
{
    if (!on)
        return WithKind(OnChange);
    return Repeat() ? *this : WithKind(EveryFrame);
}

TRecordingMode TRecordingMode::WithSampling(bool on) const
{
    if (on)
        return WithKind(Sampling);
    return Samples() ? WithKind(EveryFrame) : *this;
}

void TRecordingPolicy::SetMode(const TRecordingMode &mode)
{
    const bool freshRule =
        mode.Kind == TRecordingMode::PerPart
        && (Mode_.Kind != TRecordingMode::PerPart || !(mode.Settle == Mode_.Settle) || !Rule_);
    Mode_ = mode;
    if (mode.Kind != TRecordingMode::PerPart)
        Rule_.reset();
    else if (freshRule)
        Rule_.emplace(mode.Settle);
}

std::optional<QString> TRecordingPolicy::Take(const TMeterState &s, const QString &decimalSep,
                                              std::int64_t timeMs)
{
    switch (Mode_.Kind) {
    case TRecordingMode::EveryFrame:
    case TRecordingMode::Sampling:
        break;
    case TRecordingMode::OnChange:
        // Only the main reading's text counts: a new status, unit or secondary reading alone
        // takes no row.
        if (s.MainText == LastRecordedText_)
            return std::nullopt;
        break;
    case TRecordingMode::PerPart:
        if (!Rule_->Feed(SettleInput(s, decimalSep, timeMs)))
            return std::nullopt;
        break;
    }
    LastRecordedText_ = CpIntegerText(s, s.MainText, decimalSep).value_or(s.MainText);
    return LastRecordedText_;
}
