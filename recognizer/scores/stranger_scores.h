// Rates and thresholds from the scores of searches that should name nobody:
// how a calibration turns the gallery's own left-out people into a threshold
// for strangers, and a score into the share of strangers who come that close.
// A score counts as named when it is strictly below the threshold, as the
// recognizer's own test has it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "morlin/identifier.h"

// values sorted ascending, NaN taken as +infinity (it names nobody).
std::vector<double> SortedScores(std::vector<double> values);

// Share of the ascending values strictly below threshold; 0 for no values.
double ShareBelow(const std::vector<double>& sorted, double threshold);
// Share of the ascending values at or below score.
double ShareAtOrBelow(const std::vector<double>& sorted, double score);

// The threshold that a further value of the same kind falls below with
// probability share, estimated from N ascending values: the order statistic
// at position share * (N + 1) (counted from 1), interpolated, which has that
// probability on average (the value at floor(share * N) itself would be
// passed more often). Nothing when the position lies before the first value
// (too few values to resolve the share) or past the last.
std::optional<double> ThresholdForShare(const std::vector<double>& sorted, double share);

// Searches made among `among` people (on average) named a share of
// strangers; a stranger meeting `people` people is named at the rate
// RateOfShare gives, and ShareForRate turns a rate among `people` back into
// the share of such searches. With among = people - 1 they are
// RateAmongAll and RateAmongFewer.
double RateOfShare(double share, double among, std::size_t people);
double ShareForRate(double rate, double among, std::size_t people);

// A left-out person is searched among one person fewer than a real stranger
// is, and each enrolled person is a chance to be named wrongly: the rate
// among people - 1 that gives rate among people, and back.
double RateAmongFewer(double rate, std::size_t people);
double RateAmongAll(double fewerRate, std::size_t people);

// Distances of the designed method shrink as its model grows, as
// n^exponent for a model of n training images (measured on ORL over 50 to
// 200 images, plain PCA and the rbf kernel: about -0.45 for CityBlock and
// Euclidean, 0 for the cosine measures, -0.9 to -1 for MahL1 and MahL2,
// -0.7 for LDASoft).
double ModelSizeExponent(int measure);
// The factor that turns distances of a model of modelImages training images
// into those of a model of finalImages.
double ModelSizeFactor(int measure, std::size_t modelImages, std::size_t finalImages);
// The factor for scores of settings: ModelSizeFactor for the designed
// method's distances, 1 for the discriminant methods' ratios.
double ScoreSizeFactor(const morlin::Settings& settings, std::size_t modelImages,
                       std::size_t finalImages);
