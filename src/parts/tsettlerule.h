#pragma once

#include <cstdint>
#include <optional>

class QString;
struct TMeterState;

struct TSettleOptions
{
    double BandPercent = 0.2;     // the reading stays within this much of its value ...
    double BandCounts = 2;        // ... or within this many counts of its last digit, if wider
    std::int64_t SettleMs = 1500; // for this long (three frames of the meter)
    double LeavePercent = 5;      // a settled part has been swapped once the reading moves this far

    bool operator==(const TSettleOptions &) const = default;
};

// One reading per part: says "record now" once for each part put on the probes, after its
// reading has settled. Pure: fed one display at a time with the time on whatever clock the
// readings come on (the capture's own during a replay), so it is tested as a table of readings.
//
// It re-arms when the probes are lifted (any status but a number, or no number) and when, with
// the probes still on, the reading leaves the recorded value by more than LeavePercent and
// settles elsewhere (a part swapped without lifting). Noise within the band and a slow drift
// are followed without a new row; HOLD and relative mode switched on or off move the reading
// but are the same part, so the value they move to is taken as the part's own.
class TSettleRule
{
public:
    struct Input
    {
        int Status = 0;              // the main display's status code; 0 is a number
        std::optional<double> Value; // the reading in base units
        double CountSize = 0;        // one count of the last digit, in base units
        std::int64_t TimeMs = 0;
        bool Hold = false;
        bool Relative = false;
    };

    explicit TSettleRule(const TSettleOptions &options = {})
        : Options_(options)
    {}

    // True exactly when this reading is the one to record for the part.
    bool Feed(const Input &in);
    // Forgets the part on the probes: the next settled reading is recorded.
    void Reset();

    bool Armed() const { return Armed_; }
    const TSettleOptions &Options() const { return Options_; }

private:
    double band(double value, double countSize) const;

    TSettleOptions Options_;
    bool Armed_ = true;
    // The reading a settle is measured from, and since when the readings have stayed near it.
    std::optional<double> Candidate_;
    std::int64_t Since_ = 0;
    // The recorded part's value, following its drift.
    double Reference_ = 0;
    bool Hold_ = false;
    bool Relative_ = false;
};

// What the rule sees of a latched display: the main status, the reading in base units from the
// texts its record row would hold (so a Cp reading counts as the whole number recorded), and
// one count of the last digit shown, at timeMs on the clock the readings come on.
TSettleRule::Input SettleInput(const TMeterState &s, const QString &decimalSep,
                               std::int64_t timeMs);
