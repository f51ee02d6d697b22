// Shares and quantile thresholds of sorted distances.
#include "sorted_scores.h"

#include <algorithm>
#include <cmath>
#include <limits>

double ShareBelow(const std::vector<double>& sorted, double threshold) {
    const auto below = std::lower_bound(sorted.begin(), sorted.end(), threshold) - sorted.begin();
    return static_cast<double>(below) / static_cast<double>(sorted.size());
}

std::optional<double> ThresholdForShare(const std::vector<double>& sorted, double share) {
    const double position = share * static_cast<double>(sorted.size() + 1);
    if (!(position >= 1.0) || position >= static_cast<double>(sorted.size())) return std::nullopt;
    const auto below = static_cast<size_t>(position);  // 1-based: sorted[below - 1]
    const double lower = sorted[below - 1], upper = sorted[below];
    if (!std::isfinite(lower) || !std::isfinite(upper)) return lower;
    return lower + (position - static_cast<double>(below)) * (upper - lower);
}

std::vector<double> SortedDistances(std::vector<double> values) {
    for (double& d : values)
        if (std::isnan(d)) d = std::numeric_limits<double>::infinity();
    std::sort(values.begin(), values.end());
    return values;
}
