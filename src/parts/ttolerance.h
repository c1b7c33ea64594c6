#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <span>
#include <vector>

// Tolerance classes in percent, tightest first: a part falls into the first class whose band
// around the nominal holds it, else below or above all of them.
std::vector<double> DefaultToleranceClasses(); // 0.5, 1, 2, 5, 10, 20

// "0.5,1,2,5" (any order, "%" signs allowed); nullopt for an empty list, a limit that is no
// positive number, or one given twice.
std::optional<std::vector<double>> ParseToleranceClasses(QStringView text);

// The class index (0 for the tightest), classes.size() for below, classes.size() + 1 for above.
// A part exactly on a limit belongs to that class: the comparison allows a few parts in 10^9,
// far below the meter's resolution, for the rounding of the decimal limits.
int ToleranceClassOf(double value, double nominal, std::span<const double> classes);
int BelowClass(std::span<const double> classes);
int AboveClass(std::span<const double> classes);
