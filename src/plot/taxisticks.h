#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

// Where an axis puts its labelled marks: round steps (1, 2 or 5 times a power of ten), marks at
// whole multiples of the step so that zero is always one of them when it is in range.

// The smallest round step that is at least raw and at least minStep; minStep itself when raw
// is not above it.
double NiceStep(double raw, double minStep = 0);

// The multiples of step from min to max, both ends included when they fall on one. A rounding
// slip of a millionth of a step still counts as on the mark, so 0.1 steps reach 40.
std::vector<double> TicksBetween(double min, double max, double step);

// A whole-number step for counts up to peak, about `wanted` marks high: 1, 2, 5, 10, 20 ...
std::int64_t CountStep(std::int64_t peak, int wanted);

// The axis top for counts: the first multiple of step at or above peak (at least one step).
std::int64_t CountTop(std::int64_t peak, std::int64_t step);

// A label of a value axis whose marks are step apart: as many decimals as the step needs, never
// "-0".
QString TickLabel(double value, double step);

// A mark of a time axis: where it stands (ms since 1970), its clock text in local time, and the
// local date when it is the first mark or the day has changed since the one before.
struct TTimeTick
{
    qint64 Ms = 0;
    QString Clock;
    QString Date;
};
// Marks from fromMs to toMs at a round step of the clock (1 s, 5 s, 1 min, 1 h, 1 day ...) that
// leaves at most maxTicks of them, aligned to the local clock: "hh:mm:ss", with ".zzz" below a
// second.
std::vector<TTimeTick> TimeTicks(qint64 fromMs, qint64 toMs, int maxTicks);

// The power of ten, a multiple of three, that writes values up to maxAbs with one to three
// digits before the point: -9 for 470e-9 (nano), 3 for 4700 (kilo). Clamped to pico..giga.
int SiExponent(double maxAbs);
// "p", "n", "u", "m", "", "k", "M", "G" for -12 ... 9.
QString SiPrefix(int exponent);
// A value with its prefix and unit and at most `digits` significant digits: "4.7 kOhm",
// "100.25 nF"; unit empty for a plain number (D, Q).
QString SiText(double value, const QString &unit, int digits = 5);
