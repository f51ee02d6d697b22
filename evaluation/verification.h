// Verification figures from distances: every comparison of a probe with a
// gallery image is genuine (same person) or impostor. A match needs a distance
// strictly below the threshold, as the recognizer decides it. A figure that
// the comparisons cannot give (none of a kind, too few for a rate) is nothing.
#pragma once

#include <optional>
#include <vector>

struct Comparisons {
    std::vector<double> genuine;
    std::vector<double> impostor;
};

struct ErrorRates {
    std::optional<double> fmr;   // impostors accepted / impostors
    std::optional<double> fnmr;  // genuine rejected / genuine
};

// Both sorted ascending; the rates at every threshold come from them.
struct SortedComparisons {
    explicit SortedComparisons(Comparisons comparisons);

    ErrorRates At(double threshold) const;
    // The rate where FMR and FNMR meet: their mean at the threshold where
    // they differ least.
    std::optional<double> EqualErrorRate() const;
    // FNMR at the highest threshold whose FMR is at most targetFmr; nothing
    // when there are fewer than 1 / targetFmr impostor comparisons.
    std::optional<double> FnmrAtFmr(double targetFmr) const;
    // The threshold whose FMR is targetFmr: below it lie floor(target * N)
    // impostor distances. Nothing when that floor is 0 (too few impostors).
    std::optional<double> ThresholdForFmr(double targetFmr) const;

    std::vector<double> genuine;
    std::vector<double> impostor;

private:
    // Thresholds where a rate changes: every distance, and past the largest.
    std::vector<double> Thresholds() const;
};
