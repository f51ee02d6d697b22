// Recognition of one probe: equalize, kernel vector against the gallery,
// centring consistent with training, projection, distances, threshold and the
// exchange sort of the caller's whole result vector.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "compute/workers.h"
#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "kernel_pca/kernel_pca.h"
#include "kernel_pca/grey_levels.h"
#include "kernel_pca/projection.h"
#include "kpca/recognizer_message.h"
#include "kpca/recognizer_texts.h"
#include "kpca/refusal.h"
#include "compute/threads.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"

using namespace MatrixSpace;

namespace {

// Exchange sort, as the host expects it: equal distances are never swapped with
// each other, but a swap over a distance may reorder them. When no two
// distances are equal and none is NaN, its result is simply the ascending
// order, which an O(n log n) sort gives at a fraction of the O(n^2) cost.
void SortByDistance(std::vector<foundFace>& faces) {
    const auto ascending = [](const foundFace& a, const foundFace& b) {
        return a.distance < b.distance;
    };
    std::vector<foundFace> sorted(faces);
    std::sort(sorted.begin(), sorted.end(), ascending);
    bool distinct = true;
    for (size_t i = 0; i < sorted.size() && distinct; ++i)
        distinct = !std::isnan(sorted[i].distance) &&
                   (i == 0 || sorted[i - 1].distance < sorted[i].distance);
    if (distinct) {
        faces.swap(sorted);
        return;
    }
    const size_t size = faces.size();
    for (size_t p = 0; p + 1 < size; ++p)
        for (size_t q = p + 1; q < size; ++q)
            if (faces[p].distance > faces[q].distance) std::swap(faces[p], faces[q]);
}

}  // namespace

void CNolt_PCARecognition::Recognition(int** image, int rows, int columns,
                                       std::vector<foundFace>& faces) {
    // Without a model (nothing trained since the last SetSample) there is
    // nothing to compare with; a stale model still recognizes. A null probe is
    // ignored like a null gallery.
    if (!HoldsModel() || image == nullptr) return;
    // Both sizes must be positive: two negative ones multiply to the right
    // count and would index before the image.
    if (rows <= 0 || columns <= 0 || int64_t{rows} * columns != pixelCount) {
        ReportRecognizerMessage(recognizer_text::wrongImageSize);
        return;
    }
    if (!std::all_of(image, image + rows, [](const int* row) { return row != nullptr; })) return;
    // An unknown measure would give every image distance 0, a match for anyone.
    if (param.distanceType < 0 || param.distanceType >= distanceMeasureCount) {
        ReportRecognizerMessage(recognizer_text::unknownMeasure,
                                std::to_string(param.distanceType));
        return;
    }
    RefusedWithoutMemory([&] { RecognizeProbe(image, columns, faces); });
}

void CNolt_PCARecognition::RecognizeProbe(int** image, int columns, std::vector<foundFace>& faces) {
    const int n = sampleCount;
    // The probe's levels straight from the host's rows, equalized into the
    // probe column: what copying the pixels there and HistEq give.
    std::vector<uint8_t> levels(static_cast<size_t>(pixelCount));
    LevelsOfRows(image, pixelCount / columns, columns, levels.data());
    EqualizeLevels(levels.data(), pixelCount, samples->col[n]);

    MatrixGuard k(ZeroMatrix(n, 1));
    CentredKernelColumn(samples, n, KernelFunction::Of(param), *modelCentring, samples->col[n],
                        k->col[0], workers.get());

    ProjectCentredColumns(eigen.eigenvectors, eigen.eigenvalues, usableComponents, k.get(),
                          projections, n);

    // Appended and sorted in a copy, put in place only when every step that
    // needs memory is done: a failure leaves the host's vector as it was.
    std::vector<foundFace> result;
    result.reserve(faces.size() + static_cast<size_t>(n));
    result = faces;
    for (int i = 0; i < n; ++i) {
        const double d =
            MeasureDistance(projections, i, n, eigen.eigenvalues, param.distanceType, *weights);
        if (d < param.threshold) result.push_back(foundFace{i, d});
    }
    SortByDistance(result);
    faces.swap(result);
}
