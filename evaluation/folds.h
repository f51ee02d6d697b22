// Choosing from the gallery alone. The gallery holds its images person after
// person; fold f holds out every person's f-th image and trains on the rest,
// for f below the fewest images any person has, so each such image is held
// out once and no probe ever takes part.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "face_dataset.h"
#include "morlin/identifier.h"
#include "morlin/morlin.h"
#include "verification.h"

// Gallery positions of one fold.
struct Fold {
    std::vector<int> training;
    std::vector<int> heldOut;
};

// One fold per image position; none when a person has fewer than two images.
std::vector<Fold> GalleryFolds(const FaceDataset& dataset);

// The faces of a list of gallery positions, as a recognizer takes them.
std::vector<int*> FacePointers(FaceDataset& dataset, const std::vector<int>& positions);
// One pointer per row of image, as a recognizer takes a probe.
std::vector<int*> RowPointers(const FaceDataset& dataset, FaceImage& image);
// The person of the gallery image at positions[index].
const std::string& PersonAt(const FaceDataset& dataset, const std::vector<int>& positions,
                            int index);

// The designed method with param.
morlin::Settings DesignedSettings(const PCAParameter& param);

// A model trained with settings on the gallery images at training, ranking
// images against it. The designed method ranks every training image through
// the recognizer's public class, as a host drives it; the other methods rank
// each person once through the identifier, by the score of their nearest
// image. Either way a ranked entry's index is a position in training and its
// distance the score, nearest first, with no threshold applied.
class TrainedModel {
public:
    TrainedModel(FaceDataset& dataset, const std::vector<int>& training,
                 const morlin::Settings& settings);
    // Whether the model could be trained; nothing is ranked otherwise.
    bool Trained() const { return trained; }
    std::vector<foundFace> Rank(FaceImage& image);

private:
    FaceDataset& dataset;
    morlin::Settings settings;
    bool trained = false;
    int people = 0;
    CNolt_PCARecognition recognizer;
    std::optional<morlin::Identifier> identifier;
};

// Trains a model with settings on the gallery images at training and ranks
// every gallery image at heldOut against it: take(held, ranked) gets each
// one's ranked list. Nothing is taken when the model cannot be trained.
void RankHeldOut(FaceDataset& dataset, const std::vector<int>& training,
                 const std::vector<int>& heldOut, const morlin::Settings& settings,
                 const std::function<void(int held, const std::vector<foundFace>& ranked)>& take);
// The same for any images of the dataset's size: take(k, ranked) for images[k].
void RankImages(FaceDataset& dataset, const std::vector<int>& training,
                const std::vector<FaceImage*>& images, const morlin::Settings& settings,
                const std::function<void(size_t k, const std::vector<foundFace>& ranked)>& take);

// Each enrolled person left out in turn (the library's one split): the
// person and the gallery positions of their images and of everybody else's.
struct PersonLeftOut {
    std::string person;
    std::vector<int> own;
    std::vector<int> others;
};
std::vector<PersonLeftOut> PeopleLeftOut(const FaceDataset& dataset);

struct CrossValidation {
    Comparisons comparisons;        // held-out images against each fold's training
    std::vector<double> foldRank1;  // per fold
    double meanRank1 = 0.0;
};

// Trains with settings on every fold's training images and compares its
// held-out images with them.
CrossValidation CrossValidate(FaceDataset& dataset, const std::vector<Fold>& folds,
                              const morlin::Settings& settings);
