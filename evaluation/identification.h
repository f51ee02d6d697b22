// Open-set identification (1:N). A probe is searched against the whole
// gallery: its nearest image names it when that image's distance is below the
// threshold, and it is "unknown" otherwise. The standard measures:
//   FPIR, false-positive identification rate: of the non-mated searches (a
//     stranger's probe), those that name someone;
//   FNIR, false-negative identification rate: of the mated searches (an
//     enrolled person's probe), those not named correctly: the nearest image
//     is another person's, or nothing is below the threshold.
// A rate the searches cannot give (none of a kind, too few for a target) is
// nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "morlin/identifier.h"
#include "morlin/morlin.h"
#include "progress.h"

struct FaceDataset;
struct Evaluation;

// One search: the distance of the nearest gallery image and who it is.
struct Search {
    double nearest = 0.0;        // +infinity when nothing was ranked
    bool mated = false;          // the probe's person is enrolled
    bool nearestIsMate = false;  // the nearest gallery image is that person
};

struct IdentificationRates {
    std::optional<double> fpir;
    std::optional<double> fnir;
};

class OpenSetSearches {
public:
    explicit OpenSetSearches(const std::vector<Search>& searches);

    IdentificationRates At(double threshold) const;
    // The threshold with an FPIR of target: below it lie floor(target * N) of
    // the N non-mated searches. Nothing when that is none or all of them.
    std::optional<double> ThresholdForFpir(double target) const;
    // FNIR at the highest threshold whose FPIR is at most target; nothing
    // with fewer than 1 / target non-mated searches or no mated one.
    std::optional<double> FnirAtFpir(double target) const;
    // Mated searches whose nearest image is the mate, at any distance.
    std::optional<double> MatedRank1() const;
    // (FPIR, FNIR) at every threshold where either changes, FPIR rising.
    std::vector<std::pair<double, double>> Curve() const;

    size_t Mated() const { return mated; }
    size_t NonMated() const { return strangers.size(); }

private:
    std::vector<double> strangers;   // nearest distances of non-mated searches, ascending
    std::vector<double> namedRight;  // of mated searches whose nearest is the mate, ascending
    size_t mated = 0;
};

// Each probe of an evaluation as a search of the gallery.
std::vector<Search> SearchesOf(const FaceDataset& dataset, const Evaluation& evaluation);

// Each enrolled person's probes searched as a stranger's would be: against a
// model of everybody else's gallery images (the settings' threshold ignored). With
// the mated searches of an evaluation, an identification curve for a gallery
// where everybody is enrolled. One model per person.
std::vector<Search> LeftOutProbeSearches(FaceDataset& dataset, const morlin::Settings& settings,
                                         const Progress& progress = {});
