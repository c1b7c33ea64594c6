#include "tsettlerule.h"

#include "tbasevalue.h"
#include "trecording.h"
#include "trecordtexts.h"

#include <algorithm>
#include <cmath>

TSettleRule::Input SettleInput(const TMeterState &s, const QString &decimalSep, std::int64_t timeMs)
{
    TSettleRule::Input in;
    in.Status = s.MainStatus;
    in.TimeMs = timeMs;
    in.Hold = s.Hold;
    in.Relative = s.Relative;
    if (s.MainStatus != stReading)
        return in;
    const QString text = CpIntegerText(s, s.MainText, decimalSep).value_or(s.MainText);
    const QString unit = RecordUnitText(s.MainUnit);
    const std::optional<TBaseValue> base = BaseValue(text, unit, decimalSep);
    const std::optional<TUnitScale> scale = UnitScale(unit.toLatin1());
    if (!base || !scale)
        return in;
    in.Value = base->Value;
    const qsizetype sep = decimalSep.isEmpty() ? -1 : text.indexOf(decimalSep);
    const qsizetype decimals = sep < 0 ? 0 : text.size() - sep - decimalSep.size();
    in.CountSize = std::pow(10.0, double(scale->Exponent - decimals));
    return in;
}

double TSettleRule::band(double value, double countSize) const
{
    // A few parts in 10^9 more, so a reading exactly on the band's edge (100.2 nF around
    // 100.0 nF at 0.2 %) is inside it whatever the rounding of its base-unit value.
    return std::max(std::fabs(value) * Options_.BandPercent / 100,
                    Options_.BandCounts * std::fabs(countSize))
           * (1 + 4e-9);
}

void TSettleRule::Reset()
{
    Armed_ = true;
    Candidate_.reset();
}

bool TSettleRule::Feed(const Input &in)
{
    const bool modeChanged = in.Hold != Hold_ || in.Relative != Relative_;
    Hold_ = in.Hold;
    Relative_ = in.Relative;
    if (in.Status != 0 || !in.Value || !std::isfinite(*in.Value)) {
        // Probes lifted, or nothing to measure: whatever comes next is a new part.
        Reset();
        return false;
    }
    const double v = *in.Value;

    if (!Armed_) {
        if (modeChanged) {
            // The same part shown another way: what it shows now is its value from here on.
            Reference_ = v;
            Candidate_.reset();
            return false;
        }
        const double leave = std::max(std::fabs(Reference_) * Options_.LeavePercent / 100,
                                      band(Reference_, in.CountSize));
        if (std::fabs(v - Reference_) <= leave) {
            Reference_ = v; // noise and drift are followed; only a jump counts
            Candidate_.reset();
            return false;
        }
    }

    // Settling: readings within the band of the first one for the settle time.
    if (!Candidate_ || std::fabs(v - *Candidate_) > band(*Candidate_, in.CountSize)
        || in.TimeMs < Since_) {
        Candidate_ = v;
        Since_ = in.TimeMs;
    }
    if (in.TimeMs - Since_ < Options_.SettleMs)
        return false;
    Armed_ = false;
    Reference_ = v;
    Candidate_.reset();
    return true;
}
