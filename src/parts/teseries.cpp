#include "teseries.h"

#include <cmath>

bool IsESeries(int series)
{
    return series == 6 || series == 12 || series == 24 || series == 48 || series == 96
           || series == 192;
}

std::vector<double> ESeriesValues(int series)
{
    // E6 to E24 keep their historic two-digit values, which the formula does not give.
    static constexpr int e24[] = {10, 11, 12, 13, 15, 16, 18, 20, 22, 24, 27, 30,
                                  33, 36, 39, 43, 47, 51, 56, 62, 68, 75, 82, 91};
    std::vector<double> values;
    if (!IsESeries(series))
        return values;
    if (series <= 24) {
        for (int i = 0; i < 24; i += 24 / series)
            values.push_back(e24[i] / 10.0);
        return values;
    }
    for (int i = 0; i < series; ++i) {
        int v = int(std::lround(std::pow(10.0, 2.0 + double(i) / series)));
        if (v == 919) // the one value of E192 that breaks the rounding rule
            v = 920;
        values.push_back(v / 100.0);
    }
    return values;
}

namespace {

// mantissa (1.0 to 10.0, at most three digits) times 10^decade as the double nearest the decimal
// value, so 4.7k is 4700 exactly and compares equal to a typed "4.7k".
double Scaled(double mantissa, int decade)
{
    const double digits = std::round(mantissa * 100);
    const int exponent = decade - 2;
    const double power = std::pow(10.0, std::abs(exponent));
    return exponent < 0 ? digits / power : digits * power;
}

} // namespace

std::optional<double> NearestESeries(double value, int series)
{
    if (!IsESeries(series) || !(value > 0) || !std::isfinite(value))
        return std::nullopt;
    const int decade = int(std::floor(std::log10(value)));
    const std::vector<double> values = ESeriesValues(series);
    double best = 0;
    double bestDistance = INFINITY;
    auto consider = [&](double mantissa, int d) {
        const double candidate = Scaled(mantissa, d);
        const double distance = std::fabs(std::log(value / candidate));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    };
    // log10 may land a hair off at a decade boundary, so the neighbouring decades compete too.
    for (int d = decade - 1; d <= decade + 1; ++d) {
        for (const double mantissa : values)
            consider(mantissa, d);
    }
    return best;
}
