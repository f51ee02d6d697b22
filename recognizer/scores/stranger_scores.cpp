// Shares, order-statistic thresholds and the corrections of a calibration.
#include "scores/stranger_scores.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "morlin/morlin_records.h"

namespace {

// By distance measure index; see ModelSizeExponent.
constexpr double modelSizeExponents[distanceMeasureCount] = {
    -0.45,  // CityBlock
    -0.45,  // Euclidean
    0.0,    // Covariance: a cosine
    0.0,    // Correlation
    0.0,    // MahCosine
    -0.7,   // YamborAngle
    -1.8,   // YamborDistance
    -0.9,   // MahL1
    -0.95,  // MahL2
    -0.72,  // LDASoft
};

}  // namespace

std::vector<double> SortedScores(std::vector<double> values) {
    for (double& d : values)
        if (std::isnan(d)) d = std::numeric_limits<double>::infinity();
    std::sort(values.begin(), values.end());
    return values;
}

double ShareBelow(const std::vector<double>& sorted, double threshold) {
    if (sorted.empty()) return 0.0;
    const auto below = std::lower_bound(sorted.begin(), sorted.end(), threshold) - sorted.begin();
    return static_cast<double>(below) / static_cast<double>(sorted.size());
}

double ShareAtOrBelow(const std::vector<double>& sorted, double score) {
    if (sorted.empty()) return 0.0;
    const auto atOrBelow = std::upper_bound(sorted.begin(), sorted.end(), score) - sorted.begin();
    return static_cast<double>(atOrBelow) / static_cast<double>(sorted.size());
}

std::optional<double> ThresholdForShare(const std::vector<double>& sorted, double share) {
    const double position = share * static_cast<double>(sorted.size() + 1);
    if (!(position >= 1.0) || position >= static_cast<double>(sorted.size())) return std::nullopt;
    const auto below = static_cast<size_t>(position);  // 1-based: sorted[below - 1]
    const double lower = sorted[below - 1], upper = sorted[below];
    if (!std::isfinite(lower) || !std::isfinite(upper)) return lower;
    return lower + (position - static_cast<double>(below)) * (upper - lower);
}

double RateAmongFewer(double rate, std::size_t people) {
    if (people < 2) return rate;
    const double fewer = static_cast<double>(people - 1) / static_cast<double>(people);
    return 1.0 - std::pow(1.0 - rate, fewer);
}

double RateAmongAll(double fewerRate, std::size_t people) {
    if (people < 2) return fewerRate;
    const double more = static_cast<double>(people) / static_cast<double>(people - 1);
    return 1.0 - std::pow(1.0 - fewerRate, more);
}

double RateOfShare(double share, double among, std::size_t people) {
    if (people < 2 || !(among > 0.0)) return share;
    return 1.0 - std::pow(1.0 - share, static_cast<double>(people) / among);
}

double ShareForRate(double rate, double among, std::size_t people) {
    if (people < 2 || !(among > 0.0)) return rate;
    return 1.0 - std::pow(1.0 - rate, among / static_cast<double>(people));
}

double ModelSizeExponent(int measure) {
    if (measure < 0 || measure >= distanceMeasureCount) return 0.0;
    return modelSizeExponents[measure];
}

double ModelSizeFactor(int measure, std::size_t modelImages, std::size_t finalImages) {
    if (modelImages == 0 || finalImages == 0) return 1.0;
    return std::pow(static_cast<double>(finalImages) / static_cast<double>(modelImages),
                    ModelSizeExponent(measure));
}

double ScoreSizeFactor(const morlin::Settings& settings, std::size_t modelImages,
                       std::size_t finalImages) {
    if (settings.method != morlin::Method::Designed) return 1.0;
    return ModelSizeFactor(settings.designed.distanceType, modelImages, finalImages);
}
