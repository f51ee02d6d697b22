// The grid of settings, scored from reused coordinates of each model.
#include "parameter_search.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "calibration.h"
#include "scores/stranger_scores.h"
#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "identification.h"
#include "setting_text.h"
#include "compute/workers.h"
#include "kernel_pca/grey_levels.h"
#include "kernel_pca/kernel_pca.h"
#include "kernel_pca/projection.h"
#include "matrix/matrix.h"

using namespace MatrixSpace;

namespace {

// The best settings a search reports.
constexpr size_t settingsReported = 5;
// How much of a setting's description a progress line shows.
constexpr size_t progressDescription = 28;

// What one model tells of every setting it serves: for each component count
// and measure, each held-out image's nearest gallery image.
struct Nearest {
    double distance = 0.0;
    bool isMate = false;
};
struct ModelScores {
    // [component][measure][held-out image]
    std::vector<std::vector<std::vector<Nearest>>> nearest;
    // [component][measure]: mean of 1 / (rank of the person's nearest image)
    std::vector<std::vector<double>> reciprocalRank;
};

// Scores one trained model for every (component count, measure) from its
// coordinates: gallery in columns 0..n-1, one held-out image after another
// in column n. samePerson[h * n + j]: held-out h and gallery j are one person.
ModelScores ScoreModel(const KernelPcaModel& model, int n,
                       const std::vector<std::vector<float>>& heldOut,
                       const std::vector<bool>& samePerson, const std::vector<int>& components) {
    const matrix* projections = model.coordinates.get();
    const matrix* eigenvalues = model.eigenvalues.get();
    const int held = static_cast<int>(heldOut.size());
    ModelScores scores;
    scores.nearest.assign(components.size(),
                          std::vector<std::vector<Nearest>>(distanceMeasureCount));
    scores.reciprocalRank.assign(components.size(), std::vector<double>(distanceMeasureCount));
    for (size_t k = 0; k < components.size(); ++k) {
        const int c = std::min(components[k], model.componentCount);
        MatrixGuard coords(MakeMatrix(c, n + 1));
        MatrixGuard lambda(MakeMatrix(c, 1));
        for (int j = 0; j < n; ++j) std::copy_n(projections->col[j], c, coords->col[j]);
        std::copy_n(eigenvalues->col[0], c, lambda->col[0]);
        for (int measure = 0; measure < distanceMeasureCount; ++measure) {
            DistanceWeights weights;
            weights.Reset(std::min(model.usable, c));
            double reciprocal = 0.0;
            std::vector<double> distances(static_cast<size_t>(n));
            std::vector<Nearest>& nearest = scores.nearest[k][static_cast<size_t>(measure)];
            for (int h = 0; h < held; ++h) {
                std::copy_n(heldOut[static_cast<size_t>(h)].data(), c, coords->col[n]);
                const auto same = samePerson.begin() + static_cast<std::ptrdiff_t>(h) * n;
                // The first nearest image, as the recognizer's ranking puts it first.
                double best = 0.0;
                int first = 0;
                double nearestGenuine = std::numeric_limits<double>::infinity();
                for (int j = 0; j < n; ++j) {
                    const double d =
                        MeasureDistance(coords.get(), j, n, lambda.get(), measure, weights);
                    distances[static_cast<size_t>(j)] = d;
                    if (j == 0 || best > d) {
                        best = d;
                        first = j;
                    }
                    if (same[j] && d < nearestGenuine) nearestGenuine = d;
                }
                nearest.push_back({best, static_cast<bool>(same[first])});
                // Where the person's nearest image ranks: a finer score for ties.
                int closer = 0;
                for (int j = 0; j < n; ++j)
                    if (!same[j] && distances[static_cast<size_t>(j)] < nearestGenuine) ++closer;
                reciprocal += 1.0 / (closer + 1);
            }
            scores.reciprocalRank[k][static_cast<size_t>(measure)] =
                held > 0 ? reciprocal / held : 0.0;
        }
    }
    return scores;
}

// The gallery images at `images` equalized into columns 0..n-1 of a
// pixels x (n + 1) matrix, as the designed recognizer takes its gallery; the
// last column is left for a held-out image.
MatrixGuard EqualizedGallery(FaceDataset& dataset, const std::vector<int>& images) {
    const int pixels = dataset.rows * dataset.columns;
    MatrixGuard samples(MakeMatrix(pixels, static_cast<int>(images.size()) + 1));
    std::vector<uint8_t> levels(static_cast<size_t>(pixels));
    for (size_t j = 0; j < images.size(); ++j) {
        FaceImage& face = dataset.gallery[static_cast<size_t>(images[j])];
        LevelsOfRows(RowPointers(dataset, face).data(), dataset.rows, dataset.columns,
                     levels.data());
        EqualizeLevels(levels.data(), pixels, samples->col[j]);
    }
    return samples;
}

// Trains param (every component of the grid) on the gallery images at
// training, projects those at heldOut, and scores the model; nothing when it
// cannot be trained (a kernel without information scores nothing). The
// kernel-PCA core's steps in the designed recognizer's order: its
// equalization, training, and a probe's centred kernel column and
// coordinates, so each setting scores what the recognizer would rank.
std::optional<ModelScores> TrainAndScore(FaceDataset& dataset, const std::vector<int>& training,
                                         const std::vector<int>& heldOut, PCAParameter param,
                                         const std::vector<int>& components) {
    const int n = static_cast<int>(training.size());
    if (n < 1) return std::nullopt;
    if (!param.isKernel) param.kernelType = static_cast<int>(KernelType::Linear);
    const KernelFunction kernel = KernelFunction::Of(param);
    MatrixGuard samples = EqualizedGallery(dataset, training);
    Workers workers;
    KernelPcaModel model;
    if (TrainKernelPca(samples.get(), n, kernel, components.back(), 1, workers, model) !=
        KernelPcaOutcome::Trained)
        return std::nullopt;
    const int pixels = dataset.rows * dataset.columns;
    std::vector<uint8_t> levels(static_cast<size_t>(pixels));
    MatrixGuard centred(ZeroMatrix(n, 1));
    std::vector<std::vector<float>> projected;
    std::vector<bool> samePerson;
    for (int held : heldOut) {
        FaceImage& probe = dataset.gallery[static_cast<size_t>(held)];
        LevelsOfRows(RowPointers(dataset, probe).data(), dataset.rows, dataset.columns,
                     levels.data());
        EqualizeLevels(levels.data(), pixels, samples->col[n]);
        CentredKernelColumn(samples.get(), n, kernel, model.centring, samples->col[n],
                            centred->col[0], &workers);
        ProjectCentredColumns(model.eigenvectors.get(), model.eigenvalues.get(), model.usable,
                              centred.get(), model.coordinates.get(), n);
        const float* coordinates = model.coordinates->col[n];
        projected.emplace_back(coordinates, coordinates + model.componentCount);
        for (int j : training)
            samePerson.push_back(dataset.gallery[static_cast<size_t>(j)].person == probe.person);
    }
    return ScoreModel(model, n, projected, samePerson, components);
}

// Better first: by identification the lower FNIR (an unresolved one last);
// then higher mean rank-1, fewer components, the simpler kernel, how near
// each person's closest image ranks, the lower measure.
bool Better(const SearchScore& a, const SearchScore& b) {
    if (a.fnirAtFpir.has_value() != b.fnirAtFpir.has_value()) return a.fnirAtFpir.has_value();
    if (a.fnirAtFpir && *a.fnirAtFpir != *b.fnirAtFpir) return *a.fnirAtFpir < *b.fnirAtFpir;
    if (a.meanRank1 != b.meanRank1) return a.meanRank1 > b.meanRank1;
    if (a.param.componentNum != b.param.componentNum)
        return a.param.componentNum < b.param.componentNum;
    if (a.simplicity != b.simplicity) return a.simplicity < b.simplicity;
    if (a.meanReciprocalRank != b.meanReciprocalRank)
        return a.meanReciprocalRank > b.meanReciprocalRank;
    return a.param.distanceType < b.param.distanceType;
}

}  // namespace

std::vector<SearchKernel> SearchKernels(int pixels) {
    const double p = std::max(pixels, 1);
    std::vector<SearchKernel> kernels;
    PCAParameter plain;
    kernels.push_back({plain, 0});
    for (int degree : {2, 3}) {
        PCAParameter poly;
        poly.isKernel = true;
        poly.kernelType = static_cast<int>(KernelType::Polynomial);
        poly.gamma = 4.0 / p;  // gamma * u'v near 1 for equalized images
        poly.coef0 = 1.0;
        poly.degree = degree;
        kernels.push_back({poly, degree - 1});
    }
    for (double scale : {0.25, 0.5, 1.0, 2.0}) {
        PCAParameter rbf;
        rbf.isKernel = true;
        rbf.kernelType = static_cast<int>(KernelType::Rbf);
        rbf.gamma = scale * 6.0 / p;
        kernels.push_back({rbf, 3});
    }
    PCAParameter sigmoid;
    sigmoid.isKernel = true;
    sigmoid.kernelType = static_cast<int>(KernelType::Sigmoid);
    sigmoid.gamma = 4.0 / p;
    kernels.push_back({sigmoid, 4});
    return kernels;
}

std::vector<int> SearchComponents(int foldTraining) {
    std::vector<int> counts;
    for (int c : {10, 20, 30, 40, 60, 80, 100, 120, 150, 200, 300, 400})
        if (c <= foldTraining) counts.push_back(c);
    if (counts.empty() && foldTraining > 0) counts.push_back(foldTraining);
    return counts;
}

SearchResult SearchParameters(FaceDataset& dataset, const std::vector<Fold>& folds, SearchGoal goal,
                              double fpirTarget, const Progress& progress) {
    const auto start = std::chrono::steady_clock::now();
    SearchResult result;
    result.goal = goal;
    result.fpirTarget = fpirTarget;
    if (folds.empty()) return result;
    const std::vector<SearchKernel> kernels = SearchKernels(dataset.rows * dataset.columns);
    const std::vector<int> components =
        SearchComponents(static_cast<int>(folds.front().training.size()));
    const size_t galleryImages = dataset.gallery.size();
    const int people =
        goal == SearchGoal::Identification ? static_cast<int>(dataset.enrolled.size()) : 0;
    const int total = static_cast<int>(kernels.size()) * (static_cast<int>(folds.size()) + people);
    int done = 0;
    const auto tell = [&](const SearchKernel& kernel, const std::string& model) {
        if (progress)
            progress(done, total,
                     DescribeSetting(kernel.param).substr(0, progressDescription) + ", " + model);
        ++done;
    };

    std::vector<SearchScore> scores;
    for (const SearchKernel& kernel : kernels) {
        // [fold] scores of the held-out images, and the folds' training sizes
        std::vector<std::optional<ModelScores>> foldScores;
        for (size_t f = 0; f < folds.size(); ++f) {
            tell(kernel, "fold " + std::to_string(f + 1) + "/" + std::to_string(folds.size()));
            foldScores.push_back(TrainAndScore(dataset, folds[f].training, folds[f].heldOut,
                                               kernel.param, components));
        }
        // Strangers: each enrolled person against a model of everybody else.
        std::vector<std::optional<ModelScores>> strangerScores;
        size_t strangerTraining = 0;
        if (goal == SearchGoal::Identification)
            for (const PersonLeftOut& left : PeopleLeftOut(dataset)) {
                tell(kernel, "leaving out " + DisplayName(left.person));
                strangerTraining = left.others.size();
                strangerScores.push_back(
                    TrainAndScore(dataset, left.others, left.own, kernel.param, components));
            }

        for (size_t c = 0; c < components.size(); ++c)
            for (int measure = 0; measure < distanceMeasureCount; ++measure) {
                const size_t m = static_cast<size_t>(measure);
                SearchScore score;
                score.param = kernel.param;
                score.param.componentNum = components[c];
                score.param.distanceType = measure;
                score.simplicity = kernel.simplicity;
                std::vector<Search> searches;
                for (size_t f = 0; f < folds.size(); ++f) {
                    const double held = static_cast<double>(folds[f].heldOut.size());
                    int hits = 0;
                    if (foldScores[f]) {
                        const double factor =
                            ModelSizeFactor(measure, folds[f].training.size(), galleryImages);
                        for (const Nearest& nearest : foldScores[f]->nearest[c][m]) {
                            hits += nearest.isMate ? 1 : 0;
                            searches.push_back({nearest.distance * factor, true, nearest.isMate});
                        }
                        score.meanReciprocalRank += foldScores[f]->reciprocalRank[c][m];
                    }
                    score.foldRank1.push_back(held > 0 ? hits / held : 0.0);
                    score.meanRank1 += score.foldRank1.back();
                }
                score.meanRank1 /= static_cast<double>(folds.size());
                score.meanReciprocalRank /= static_cast<double>(folds.size());
                if (goal == SearchGoal::Identification) {
                    const double factor = ModelSizeFactor(measure, strangerTraining, galleryImages);
                    for (const std::optional<ModelScores>& stranger : strangerScores)
                        if (stranger)
                            for (const Nearest& nearest : stranger->nearest[c][m])
                                searches.push_back({nearest.distance * factor, false, false});
                    score.fnirAtFpir = OpenSetSearches(searches).FnirAtFpir(fpirTarget);
                }
                scores.push_back(std::move(score));
            }
    }
    std::stable_sort(scores.begin(), scores.end(), Better);
    result.settings = scores.size();
    result.chosen = scores.front();
    result.top.assign(scores.begin(), scores.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                           settingsReported, scores.size())));
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (progress) progress(total, total, "done");
    return result;
}

int ScaledComponents(int components, size_t foldTraining, size_t training) {
    if (foldTraining == 0) return components;
    const double scaled = static_cast<double>(components) * static_cast<double>(training) /
                          static_cast<double>(foldTraining);
    return std::clamp(static_cast<int>(std::lround(scaled)), 1, static_cast<int>(training));
}
