// Thresholds chosen from the gallery alone, never from the probes they are
// then judged on. Both leave each enrolled person out in turn, train on the
// others (a model of nearly the final size) and compare that person's gallery
// images with it, as a face the model never saw would be compared.
//
// Verification (1:1, per comparison) is calibrated to a false-match rate
// (FMR): the threshold lets the target share of those comparisons match.
// Identification (1:N, per search) is calibrated to a false-positive
// identification rate (FPIR): the threshold names the target share of those
// searches. An FPIR of 1 % needs a per-comparison rate near 1 % divided by
// the gallery size, which is why the two calibrations differ.
//
// Comparisons within the gallery's folds (an image held out, its person's
// other images still in the model) match less often than a probe's: on ORL
// a 1 % target reached 1.7 % on closed-set probes and 3-4 % once strangers
// came, where leaving the person out reaches 0.5-1.4 % in every setting.
//
// Calibration models are trained on fewer images than the final one, and
// coordinates spread about 1/sqrt(n): their distances are larger than the
// final model's. Both calibrations scale them by how each measure grows with
// the number of training images (ModelSizeFactor).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "face_dataset.h"
#include "folds.h"
#include "identification.h"
#include "plugin/morlin.h"
#include "progress.h"

// d proportional to n^exponent for the distances of a model of n training
// images, as measured on ORL over 50 to 200 images, with plain PCA and the rbf
// kernel: about -0.45 for CityBlock and Euclidean, 0 for the cosine measures,
// -0.9 to -1 for MahL1 and MahL2, -0.7 for LDASoft.
double ModelSizeExponent(int measure);
// The factor that turns distances of a model of modelImages training images
// into those of a model of finalImages.
double ModelSizeFactor(int measure, size_t modelImages, size_t finalImages);

struct FmrCalibration {
    double target = 0.0;
    std::optional<double> threshold;
    size_t impostors = 0;  // impostor comparisons it rests on
    std::string note;      // why there is no threshold
};

// The threshold at which target of the left-out people's comparisons with
// the others' gallery images, scaled to a model of the whole gallery, match;
// param's own threshold is ignored. Trains one model per enrolled person.
FmrCalibration CalibrateFmr(FaceDataset& dataset, const PCAParameter& param, double target,
                            const Progress& progress = {});

struct FpirCalibration {
    double target = 0.0;
    std::optional<double> threshold;
    IdentificationRates expected;  // at the threshold, from the gallery alone
    size_t strangerSearches = 0;   // a left-out person's gallery images
    size_t matedSearches = 0;      // the folds' held-out images
    std::string note;              // why there is no threshold or no FNIR
};

// The threshold at which target of the left-out people's searches name
// someone, with the FPIR and FNIR the gallery expects there (FNIR from the
// gallery folds, when a person has two images or more). Trains one model per
// enrolled person and one per fold.
FpirCalibration CalibrateFpir(FaceDataset& dataset, const PCAParameter& param, double target,
                              const Progress& progress = {});

// What the gallery alone tells of open-set searches with param.
struct GallerySearches {
    std::vector<Search> strangers;  // each person against a model of the others
    std::vector<Search> mated;      // the folds' held-out images, scaled to the final size
    size_t strangerModelImages = 0;
    size_t finalImages = 0;
};
GallerySearches SearchGallery(FaceDataset& dataset, const PCAParameter& param,
                              const Progress& progress = {});
