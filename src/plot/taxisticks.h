#pragma once

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
