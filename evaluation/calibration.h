// Thresholds chosen from the gallery alone, never from the probes they are
// then judged on. Both leave each enrolled person out in turn, train on the
// others (a model of nearly the final size) and compare that person's gallery
// images with it, as a face the model never saw would be compared.
//
// Verification (1:1, per comparison) is calibrated to a false-match rate
// (FMR): the threshold lets the target share of those comparisons match.
// Identification (1:N, per search) is calibrated to a false-positive
// identification rate (FPIR): the threshold names the target share of those
// searches; this is the identifier's own calibration (morlin::Identifier::
// Calibrate), the one home of that rule. An FPIR of 1 % needs a
// per-comparison rate near 1 % divided by the gallery size, which is why the
// two calibrations differ.
//
// Comparisons within the gallery's folds (an image held out, its person's
// other images still in the model) match less often than a probe's: on ORL
// a 1 % target reached 1.7 % on closed-set probes and 3-4 % once strangers
// came, where leaving the person out reaches 0.5-1.4 % in every setting.
//
// Calibration models are trained on fewer images than the final one, and the
// designed method's coordinates spread about 1/sqrt(n): its distances are
// larger than the final model's, and are scaled by how each measure grows
// with the number of training images (ScoreSizeFactor).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "face_dataset.h"
#include "folds.h"
#include "identification.h"
#include "scores/stranger_scores.h"
#include "progress.h"

struct FmrCalibration {
    double target = 0.0;
    std::optional<double> threshold;
    size_t impostors = 0;  // impostor comparisons it rests on
    std::string note;      // why there is no threshold
};

// The threshold at which target of the left-out people's comparisons with
// the others' gallery images, scaled to a model of the whole gallery, match;
// the settings' own threshold is ignored. Trains one model per enrolled person.
FmrCalibration CalibrateFmr(FaceDataset& dataset, const morlin::Settings& settings, double target,
                            const Progress& progress = {});

struct FpirCalibration {
    double target = 0.0;
    std::optional<double> threshold;
    IdentificationRates expected;  // at the threshold, from the gallery alone
    size_t strangerSearches = 0;   // a left-out person's gallery images
    size_t matedSearches = 0;      // the folds' held-out images
    std::string note;              // why there is no threshold or no FNIR, or a warning
};

// The identifier's threshold at which target of strangers get a name, with
// the FPIR and FNIR the gallery expects there (FNIR from the gallery folds,
// when a person has two images or more). Trains one model per enrolled
// person and one per fold.
FpirCalibration CalibrateFpir(FaceDataset& dataset, const morlin::Settings& settings, double target,
                              const Progress& progress = {});

// The folds' held-out images searched against each fold's model, scores
// scaled to the final size: what the gallery tells of mated searches.
std::vector<Search> GalleryMatedSearches(FaceDataset& dataset, const morlin::Settings& settings,
                                         const Progress& progress = {}, int done = 0,
                                         int total = 0);
