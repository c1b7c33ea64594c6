#include "taxisticks.h"

#include <algorithm>
#include <cmath>

double NiceStep(double raw, double minStep)
{
    if (!(raw > minStep) || !std::isfinite(raw))
        return minStep > 0 ? minStep : 1.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    // A hair of slack, so 2.0000000001 (a product of two binary fractions) stays 2.
    const double step = (r <= 1.000001   ? 1.0
                         : r <= 2.000001 ? 2.0
                         : r <= 5.000001 ? 5.0
                                         : 10.0)
                        * magnitude;
    return std::max(step, minStep);
}

std::vector<double> TicksBetween(double min, double max, double step)
{
    std::vector<double> ticks;
    if (!(step > 0) || !(max >= min) || !std::isfinite(min) || !std::isfinite(max))
        return ticks;
    const double first = std::ceil(min / step - 1e-6);
    const double last = std::floor(max / step + 1e-6);
    // A step far too fine for the range would make millions of marks; no axis shows that many.
    if (last - first > 10000)
        return ticks;
    for (double k = first; k <= last; k += 1.0)
        ticks.push_back(k * step);
    return ticks;
}

std::int64_t CountStep(std::int64_t peak, int wanted)
{
    if (peak <= 0 || wanted <= 0)
        return 1;
    return std::max<std::int64_t>(
        1, std::int64_t(std::llround(NiceStep(double(peak) / double(wanted), 1.0))));
}

std::int64_t CountTop(std::int64_t peak, std::int64_t step)
{
    step = std::max<std::int64_t>(step, 1);
    return std::max<std::int64_t>(step, (peak + step - 1) / step * step);
}

QString TickLabel(double value, double step)
{
    int decimals = 0;
    if (step > 0 && step < 1)
        decimals = std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 12);
    // Snapped to the step's own grid first, so 0.30000000000000004 prints as 0.3.
    if (step > 0)
        value = std::round(value / step) * step;
    if (std::abs(value) < step * 1e-6)
        value = 0.0;
    return QString::number(value, 'f', decimals);
}
