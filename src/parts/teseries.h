#pragma once

#include <optional>
#include <vector>

// The preferred-number series parts are made in. True for 6, 12, 24, 48, 96 and 192.
bool IsESeries(int series);
// The series' values in one decade, from 1.0 up to below 10.
std::vector<double> ESeriesValues(int series);
// The value of the series nearest to a positive value, by ratio (so 4.5 is nearer 4.7 than
// 4.3); nullopt for a series that does not exist or a value that is not positive.
std::optional<double> NearestESeries(double value, int series);
