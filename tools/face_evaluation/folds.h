// Choosing from the gallery alone. The gallery holds its images person after
// person; fold f holds out every person's f-th image and trains on the rest,
// for f below the fewest images any person has, so each such image is held
// out once and no probe ever takes part.
#pragma once

#include <functional>
#include <vector>

#include "face_dataset.h"
#include "plugin/morlin.h"
#include "verification.h"

// Gallery positions of one fold.
struct Fold {
    std::vector<int> training;
    std::vector<int> heldOut;
};

// One fold per image position; none when a person has fewer than two images.
std::vector<Fold> GalleryFolds(const FaceDataset& dataset);

// The gallery positions of person's images, and of everybody else's.
void SplitByPerson(const FaceDataset& dataset, const std::string& person, std::vector<int>& own,
                   std::vector<int>& others);

// The faces of a list of gallery positions, as a recognizer takes them.
std::vector<int*> FacePointers(FaceDataset& dataset, const std::vector<int>& positions);
// One pointer per row of image, as a recognizer takes a probe.
std::vector<int*> RowPointers(const FaceDataset& dataset, FaceImage& image);
// The person of the gallery image at positions[index].
const std::string& PersonAt(const FaceDataset& dataset, const std::vector<int>& positions,
                            int index);

// Trains a model with param on the gallery images at training and ranks every
// gallery image at heldOut against it, with no threshold: take(held, ranked)
// gets each one's ranked list, nearest first, whose indices are positions in
// training. Nothing is taken when the model cannot be trained.
void RankHeldOut(FaceDataset& dataset, const std::vector<int>& training,
                 const std::vector<int>& heldOut, const PCAParameter& param,
                 const std::function<void(int held, const std::vector<foundFace>& ranked)>& take);
// The same for any images of the dataset's size: take(k, ranked) for images[k].
void RankImages(FaceDataset& dataset, const std::vector<int>& training,
                const std::vector<FaceImage*>& images, const PCAParameter& param,
                const std::function<void(size_t k, const std::vector<foundFace>& ranked)>& take);

struct CrossValidation {
    Comparisons comparisons;        // held-out images against each fold's training
    std::vector<double> foldRank1;  // per fold
    double meanRank1 = 0.0;
};

// Trains with param on every fold's training images and compares its held-out
// images with them, through the recognizer as a host drives it.
CrossValidation CrossValidate(FaceDataset& dataset, const std::vector<Fold>& folds,
                              const PCAParameter& param);
