#include "parameter_search.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "matrix/matrix.h"

using namespace MatrixSpace;

namespace {

// Rank-1 of one fold for every (component count, measure), from the model's
// coordinates: gallery in columns 0..n-1, one held-out image after another
// in column n.
void ScoreFold(const CNolt_PCARecognition& model, const std::vector<std::vector<float>>& heldOut,
               const std::vector<bool>& samePerson, const std::vector<int>& components,
               std::vector<std::vector<int>>& correct,
               std::vector<std::vector<double>>& reciprocalRanks) {
    const matrix* projections = model.Projections();
    const matrix* eigenvalues = model.Eigen().eigenvalues;
    const int n = model.SampleCount();
    const int held = static_cast<int>(heldOut.size());
    for (size_t k = 0; k < components.size(); ++k) {
        const int c = std::min(components[k], model.ComponentCount());
        MatrixGuard coords(MakeMatrix(c, n + 1));
        MatrixGuard lambda(MakeMatrix(c, 1));
        for (int j = 0; j < n; ++j) std::copy_n(projections->col[j], c, coords->col[j]);
        std::copy_n(eigenvalues->col[0], c, lambda->col[0]);
        for (int measure = 0; measure < distanceMeasureCount; ++measure) {
            DistanceWeights weights;
            weights.Reset(std::min(model.UsableComponents(), c));
            int hits = 0;
            double reciprocal = 0.0;
            std::vector<double> distances(static_cast<size_t>(n));
            for (int h = 0; h < held; ++h) {
                std::copy_n(heldOut[static_cast<size_t>(h)].data(), c, coords->col[n]);
                const auto same = samePerson.begin() + static_cast<std::ptrdiff_t>(h) * n;
                // The first nearest image, as the recognizer's ranking puts it first.
                double best = 0.0;
                int nearest = 0;
                double nearestGenuine = std::numeric_limits<double>::infinity();
                for (int j = 0; j < n; ++j) {
                    const double d =
                        MeasureDistance(coords.get(), j, n, lambda.get(), measure, weights);
                    distances[static_cast<size_t>(j)] = d;
                    if (j == 0 || best > d) {
                        best = d;
                        nearest = j;
                    }
                    if (same[j] && d < nearestGenuine) nearestGenuine = d;
                }
                if (same[nearest]) ++hits;
                // Where the person's nearest image ranks: a finer score for ties.
                int closer = 0;
                for (int j = 0; j < n; ++j)
                    if (!same[j] && distances[static_cast<size_t>(j)] < nearestGenuine) ++closer;
                reciprocal += 1.0 / (closer + 1);
            }
            correct[k][static_cast<size_t>(measure)] = hits;
            reciprocalRanks[k][static_cast<size_t>(measure)] = held > 0 ? reciprocal / held : 0.0;
        }
    }
}

// Better first: higher mean rank-1, then fewer components, the simpler kernel,
// then how near each person's closest image ranks, then the lower measure.
bool Better(const SearchScore& a, const SearchScore& b) {
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

std::string DescribeSetting(const PCAParameter& param) {
    char text[160];
    const std::string measure(MeasureName(param.distanceType));
    if (!param.isKernel)
        std::snprintf(text, sizeof text, "PCA components=%d %s", param.componentNum,
                      measure.c_str());
    else if (param.kernelType == static_cast<int>(KernelType::Polynomial))
        std::snprintf(text, sizeof text, "poly degree=%g gamma=%.3g coef0=%g components=%d %s",
                      param.degree, param.gamma, param.coef0, param.componentNum, measure.c_str());
    else
        std::snprintf(text, sizeof text, "%s gamma=%.3g components=%d %s",
                      std::string(kernelNames[static_cast<size_t>(param.kernelType)]).c_str(),
                      param.gamma, param.componentNum, measure.c_str());
    return text;
}

SearchResult SearchParameters(FaceDataset& dataset, const std::vector<Fold>& folds,
                              const SearchProgress& progress) {
    const auto start = std::chrono::steady_clock::now();
    SearchResult result;
    if (folds.empty()) return result;
    const std::vector<SearchKernel> kernels = SearchKernels(dataset.rows * dataset.columns);
    const std::vector<int> components =
        SearchComponents(static_cast<int>(folds.front().training.size()));
    // correct[kernel][fold][component][measure], and the reciprocal ranks alike
    std::vector<std::vector<std::vector<std::vector<int>>>> correct(
        kernels.size(),
        std::vector<std::vector<std::vector<int>>>(
            folds.size(), std::vector<std::vector<int>>(
                              components.size(), std::vector<int>(distanceMeasureCount, 0))));
    std::vector<std::vector<std::vector<std::vector<double>>>> reciprocal(
        kernels.size(),
        std::vector<std::vector<std::vector<double>>>(
            folds.size(), std::vector<std::vector<double>>(
                              components.size(), std::vector<double>(distanceMeasureCount, 0.0))));
    std::vector<int*> rows(static_cast<size_t>(dataset.rows));
    const int total = static_cast<int>(kernels.size() * folds.size());
    int done = 0;
    for (size_t k = 0; k < kernels.size(); ++k) {
        for (size_t f = 0; f < folds.size(); ++f) {
            const Fold& fold = folds[f];
            if (progress)
                progress(done, total,
                         DescribeSetting(kernels[k].param).substr(0, 28) + ", fold " +
                             std::to_string(f + 1) + "/" + std::to_string(folds.size()));
            std::vector<int*> training = FacePointers(dataset, fold.training);
            const int n = static_cast<int>(training.size());
            PCAParameter param = kernels[k].param;
            param.componentNum = components.back();
            param.threshold = std::numeric_limits<double>::infinity();
            CNolt_PCARecognition model;
            model.SetSample(training.data(), n, dataset.rows, dataset.columns);
            model.SetPCAPara(param);
            model.Train();
            ++done;
            if (!model.IsTrained()) continue;  // a kernel without information scores 0

            std::vector<std::vector<float>> heldOut;
            std::vector<bool> samePerson;
            for (int held : fold.heldOut) {
                FaceImage& probe = dataset.gallery[static_cast<size_t>(held)];
                for (int r = 0; r < dataset.rows; ++r)
                    rows[static_cast<size_t>(r)] =
                        probe.grey.data() + static_cast<ptrdiff_t>(r) * dataset.columns;
                std::vector<foundFace> ignored;
                model.Recognition(rows.data(), dataset.rows, dataset.columns, ignored);
                const float* coordinates = model.Projections()->col[n];
                heldOut.emplace_back(coordinates, coordinates + model.ComponentCount());
                for (int j : fold.training)
                    samePerson.push_back(dataset.gallery[static_cast<size_t>(j)].person ==
                                         probe.person);
            }
            ScoreFold(model, heldOut, samePerson, components, correct[k][f], reciprocal[k][f]);
        }
    }

    std::vector<SearchScore> scores;
    for (size_t k = 0; k < kernels.size(); ++k)
        for (size_t c = 0; c < components.size(); ++c)
            for (int measure = 0; measure < distanceMeasureCount; ++measure) {
                SearchScore score;
                score.param = kernels[k].param;
                score.param.componentNum = components[c];
                score.param.distanceType = measure;
                score.simplicity = kernels[k].simplicity;
                for (size_t f = 0; f < folds.size(); ++f) {
                    const double held = static_cast<double>(folds[f].heldOut.size());
                    score.foldRank1.push_back(
                        held > 0 ? correct[k][f][c][static_cast<size_t>(measure)] / held : 0.0);
                    score.meanRank1 += score.foldRank1.back();
                    score.meanReciprocalRank += reciprocal[k][f][c][static_cast<size_t>(measure)];
                }
                score.meanRank1 /= static_cast<double>(folds.size());
                score.meanReciprocalRank /= static_cast<double>(folds.size());
                scores.push_back(std::move(score));
            }
    std::stable_sort(scores.begin(), scores.end(), Better);
    result.settings = scores.size();
    result.chosen = scores.front();
    result.top.assign(scores.begin(), scores.begin() + static_cast<std::ptrdiff_t>(
                                                           std::min<size_t>(5, scores.size())));
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
