// Rates read from sorted distances, shared by verification (per comparison)
// and identification (per search): a distance counts when it is strictly
// below the threshold, as the recognizer's own test has it.
#pragma once

#include <optional>
#include <vector>

// Share of the ascending values strictly below threshold; values not empty.
double ShareBelow(const std::vector<double>& sorted, double threshold);

// The threshold that a further value of the same kind falls below with
// probability share, estimated from N ascending values: the order statistic
// at position share * (N + 1) (counted from 1), interpolated, which has that
// probability on average (the value at floor(share * N) itself would be
// passed more often). Nothing when the position lies before the first value
// (too few values to resolve the share) or past the last.
std::optional<double> ThresholdForShare(const std::vector<double>& sorted, double share);

// values sorted ascending, with NaN taken as +infinity (it matches nothing).
std::vector<double> SortedDistances(std::vector<double> values);
