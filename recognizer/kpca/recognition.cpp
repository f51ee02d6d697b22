// Recognition of one probe: equalize, kernel vector against the gallery,
// centring consistent with training, projection, distances, threshold and the
// exchange sort of the caller's whole result vector.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "distance/distance_weights.h"
#include "distance/measure_distance.h"
#include "kpca/projection.h"
#include "kpca/refusal.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"
#include "kpca/recognizer_message.h"

using namespace MatrixSpace;

namespace {

// Exchange sort, as the host expects it: equal distances are never swapped with
// each other, but a swap over a distance may reorder them.
void SortByDistance(std::vector<foundFace>& faces) {
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
        ReportRecognizerMessage("图像大小不对，无法识别");
        return;
    }
    if (!std::all_of(image, image + rows, [](const int* row) { return row != nullptr; })) return;
    // An unknown measure would give every image distance 0, a match for anyone.
    if (param.distanceType < 0 || param.distanceType >= distanceMeasureCount) {
        ReportRecognizerMessage("未知的距离测度 " + std::to_string(param.distanceType) + "，无法识别");
        return;
    }
    RefusedWithoutMemory([&] { RecognizeProbe(image, columns, faces); });
}

void CNolt_PCARecognition::RecognizeProbe(int** image, int columns, std::vector<foundFace>& faces) {
    const int n = sampleCount;
    float* probe = samples->col[n];
    for (int t = 0; t < pixelCount; ++t)
        probe[t] = static_cast<float>(image[t / columns][t % columns]);
    HistEq(samples, n, n);

    MatrixGuard k(ZeroMatrix(n, 1));
    for (int i = 0; i < n; ++i) k->col[0][i] = Kernel(samples, i, n);

    const float share = static_cast<float>(-1.0 / n);
    MatrixGuard bigQ(MakeMatrix(n, n));
    std::fill(bigQ->data, bigQ->data + static_cast<size_t>(n) * n, share);
    MatrixGuard q(MakeMatrix(n, 1));
    std::fill(q->data, q->data + n, share);
    MatrixGuard t1(MultiplyMatrix(kernelMatrix, q.get()));
    MatrixGuard t2(MultiplyMatrix(bigQ.get(), k.get()));
    MatrixGuard t3(MultiplyMatrix(bigQ.get(), t1.get()));
    AddToMatrix(k.get(), t1.get());
    AddToMatrix(k.get(), t2.get());
    AddToMatrix(k.get(), t3.get());

    ProjectCentredColumns(eigen.eigenvectors, eigen.eigenvalues, usableComponents, k.get(),
                          projections, n);

    for (int i = 0; i < n; ++i) {
        const double d =
            MeasureDistance(projections, i, n, eigen.eigenvalues, param.distanceType, *weights);
        if (d < param.threshold) faces.push_back(foundFace{i, d});
    }
    SortByDistance(faces);
}
