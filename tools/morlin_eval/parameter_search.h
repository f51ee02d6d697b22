// The parameter search: every setting of a grid (kernel and its parameters,
// component count, distance measure) scored by its mean rank-1 over the
// gallery folds, the best chosen. Work that does not change between settings
// is done once: each kernel is trained once per fold with every component
// it allows, each held-out image projected once, and the fewer components and
// every measure are read from those coordinates (the leading components of a
// model are those of a model with fewer, value for value).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cross_validation.h"

struct SearchScore {
    PCAParameter param;
    std::vector<double> foldRank1;
    double meanRank1 = 0.0;
    // Mean over held-out images of 1 / (rank of the person's nearest image):
    // finer than rank-1, it decides between settings tied on everything else.
    double meanReciprocalRank = 0.0;
    int simplicity = 0;  // kernel rank for ties: plain PCA first
};

struct SearchResult {
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

// progress(done, total, what) after each kernel and fold.
using SearchProgress = std::function<void(int done, int total, const std::string& what)>;

// Scores every setting; ties go to fewer components, then the simpler kernel,
// then the better mean reciprocal rank, then the lower measure. Nothing is
// chosen (empty top) without folds.
SearchResult SearchParameters(FaceDataset& dataset, const std::vector<Fold>& folds,
                              const SearchProgress& progress);

// "rbf gamma=0.00058 components=30 MahCosine" and the like.
std::string DescribeSetting(const PCAParameter& param);

// A component count chosen on folds of foldTraining images, for a model of
// training images: the same share, rounded, at least 1 and at most training.
int ScaledComponents(int components, size_t foldTraining, size_t training);
