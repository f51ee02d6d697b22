// Verification rates from sorted genuine and impostor distances.
#include "verification.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scores/stranger_scores.h"

SortedComparisons::SortedComparisons(Comparisons comparisons)
    : genuine(SortedScores(std::move(comparisons.genuine))),
      impostor(SortedScores(std::move(comparisons.impostor))) {}

ErrorRates SortedComparisons::At(double threshold) const {
    ErrorRates rates;
    if (!impostor.empty()) rates.fmr = ShareBelow(impostor, threshold);
    if (!genuine.empty()) rates.fnmr = 1.0 - ShareBelow(genuine, threshold);
    return rates;
}

std::vector<double> SortedComparisons::Thresholds() const {
    std::vector<double> thresholds(genuine);
    thresholds.insert(thresholds.end(), impostor.begin(), impostor.end());
    thresholds.push_back(std::numeric_limits<double>::infinity());
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    return thresholds;
}

std::optional<double> SortedComparisons::EqualErrorRate() const {
    if (genuine.empty() || impostor.empty()) return std::nullopt;
    double best = std::numeric_limits<double>::infinity();
    double eer = 0.0;
    for (double t : Thresholds()) {
        const ErrorRates rates = At(t);
        const double gap = std::fabs(*rates.fmr - *rates.fnmr);
        if (gap < best) {
            best = gap;
            eer = (*rates.fmr + *rates.fnmr) / 2.0;
        }
    }
    return eer;
}

std::optional<double> SortedComparisons::FnmrAtFmr(double targetFmr) const {
    if (genuine.empty() || static_cast<double>(impostor.size()) * targetFmr < 1.0)
        return std::nullopt;
    std::optional<double> fnmr;
    for (double t : Thresholds()) {
        const ErrorRates rates = At(t);
        if (*rates.fmr > targetFmr) break;
        fnmr = rates.fnmr;
    }
    return fnmr;
}

std::optional<double> SortedComparisons::ThresholdForFmr(double targetFmr) const {
    return ThresholdForShare(impostor, targetFmr);
}
