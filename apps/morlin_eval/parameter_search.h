// The parameter search: every setting of a grid (kernel and its parameters,
// component count, distance measure) scored on the gallery alone, the best
// chosen. By rank-1: the mean over the gallery folds. By identification: the
// FNIR at an FPIR target, strangers made by leaving each enrolled person out
// in turn and mated searches from the folds, both scaled to a model of the
// whole gallery. Work that does not change between settings is done once:
// each kernel is trained once per model with every component it allows, each
// held-out image projected once, and the fewer components and every measure
// are read from those coordinates (the leading components of a model are
// those of a model with fewer, value for value).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "eval_options.h"
#include "folds.h"
#include "progress.h"
#include "setting_text.h"

struct SearchScore {
    PCAParameter param;
    std::vector<double> foldRank1;
    double meanRank1 = 0.0;
    // Mean over held-out images of 1 / (rank of the person's nearest image):
    // finer than rank-1, it decides between settings tied on everything else.
    double meanReciprocalRank = 0.0;
    int simplicity = 0;  // kernel rank for ties: plain PCA first
    // By identification: FNIR at the FPIR target; nothing when the gallery
    // cannot resolve the target.
    std::optional<double> fnirAtFpir;
};

struct SearchResult {
    SearchGoal goal = SearchGoal::Rank1;
    double fpirTarget = 0.0;  // by identification
    SearchScore chosen;
    std::vector<SearchScore> top;  // best first, at most five
    size_t settings = 0;
    double seconds = 0.0;
};

// One kernel of the grid, with its place in the order of simplicity.
struct SearchKernel {
    PCAParameter param;  // isKernel, kernelType, gamma, coef0, degree
    int simplicity;
};

// The grid's kernels, with parameters scaled to images of pixels equalized
// levels in [0, 1): plain PCA; polynomial of degree 2 and 3; rbf over four
// gammas around 6 / pixels (one over the mean squared distance of two such
// images); sigmoid.
std::vector<SearchKernel> SearchKernels(int pixels);
// Component counts from 10 up to what a fold's training images allow.
std::vector<int> SearchComponents(int foldTraining);

// Scores every setting by goal; by identification the lower FNIR wins, then
// the higher rank-1. Ties go to fewer components, then the simpler kernel,
// then the better mean reciprocal rank, then the lower measure. Nothing is
// chosen (empty top) without folds. progress is told after each model.
SearchResult SearchParameters(FaceDataset& dataset, const std::vector<Fold>& folds, SearchGoal goal,
                              double fpirTarget, const Progress& progress);

// A component count chosen on folds of foldTraining images, for a model of
// training images: the same share, rounded, at least 1 and at most training.
int ScaledComponents(int components, size_t foldTraining, size_t training);
