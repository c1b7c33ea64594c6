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

std::vector<TTimeTick> TimeTicks(qint64 fromMs, qint64 toMs, int maxTicks)
{
    std::vector<TTimeTick> ticks;
    if (toMs < fromMs || maxTicks < 1)
        return ticks;
    static constexpr qint64 Second = 1000, Minute = 60 * Second, Hour = 60 * Minute,
                            Day = 24 * Hour;
    static constexpr qint64 Steps[] = {
        1,           2,        5,          10,         20,          50,          100,
        200,         500,      Second,     2 * Second, 5 * Second,  10 * Second, 15 * Second,
        30 * Second, Minute,   2 * Minute, 5 * Minute, 10 * Minute, 15 * Minute, 30 * Minute,
        Hour,        2 * Hour, 3 * Hour,   6 * Hour,   12 * Hour,   Day,         2 * Day,
        7 * Day,     30 * Day, 365 * Day};
    qint64 step = Steps[std::size(Steps) - 1];
    for (const qint64 s : Steps)
        if ((toMs - fromMs) / s < maxTicks) {
            step = s;
            break;
        }
    // Round in local time, so an hour's marks fall on the local hour and a day's at midnight.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(fromMs).offsetFromUtc()) * Second;
    const auto floorDiv = [](qint64 a, qint64 b) { return a / b - ((a % b != 0) && (a < 0)); };
    qint64 t = (floorDiv(fromMs + offset - 1, step) + 1) * step - offset;
    const QString format =
        step < Second ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss");
    QDate previous;
    for (; t <= toMs && ticks.size() < 1000; t += step) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(t);
        TTimeTick tick{t, local.toString(format), QString()};
        if (local.date() != previous)
            tick.Date = local.date().toString(QStringLiteral("yyyy-MM-dd"));
        previous = local.date();
        ticks.push_back(tick);
    }
    return ticks;
}

int SiExponent(double maxAbs)
{
    if (!(maxAbs > 0) || !std::isfinite(maxAbs))
        return 0;
    // A hair below 1000 still counts as 1000: 999.9999 kOhm is 1 MOhm on the axis.
    const int e = int(std::floor(std::log10(maxAbs * (1 + 1e-9)) / 3)) * 3;
    return std::clamp(e, -12, 9);
}

QString SiPrefix(int exponent)
{
    static const char *const prefixes[] = {"p", "n", "u", "m", "", "k", "M", "G"};
    const int i = std::clamp(exponent / 3 + 4, 0, 7);
    return QLatin1String(prefixes[i]);
}

QString SiText(double value, const QString &unit, int digits)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    const bool prefixed = !unit.isEmpty() && unit != QLatin1String("deg");
    int e = prefixed ? SiExponent(std::abs(value)) : 0;
    QString number = QString::number(value / std::pow(10.0, e), 'g', digits);
    // Rounding may carry into the next prefix: 999.996 nF is 1 uF.
    if (prefixed && std::abs(number.toDouble()) >= 1000 && e < 9) {
        e += 3;
        number = QString::number(value / std::pow(10.0, e), 'g', digits);
    }
    if (number.contains(QLatin1Char('e')))
        number = QString::number(value / std::pow(10.0, e), 'f', 0);
    if (unit.isEmpty())
        return number;
    return number + QLatin1Char(' ') + (prefixed ? SiPrefix(e) : QString()) + unit;
}
