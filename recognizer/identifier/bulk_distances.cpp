// Blocked distances through the matrix product.
#include "identifier/bulk_distances.h"

#include <algorithm>
#include <cmath>

#include "dense/dense_matrix.h"

namespace {

// Distances held at once: 4 million doubles.
constexpr long blockValues = 1L << 22;

// Rows of values (one after the other, dimensions each) as columns, and
// each one's squared length.
DenseMatrix ColumnsOf(const float* rows, int count, int dimensions, std::vector<double>& squares) {
    DenseMatrix columns(dimensions, count);
    squares.assign(static_cast<size_t>(count), 0.0);
    for (int j = 0; j < count; ++j) {
        const float* row = rows + static_cast<size_t>(j) * static_cast<size_t>(dimensions);
        double* column = columns.Column(j);
        double square = 0.0;
        for (int k = 0; k < dimensions; ++k) {
            column[k] = row[k];
            square += column[k] * column[k];
        }
        squares[static_cast<size_t>(j)] = square;
    }
    return columns;
}

}  // namespace

void ForEachProbeDistances(const float* probes, int probeCount, const float* gallery, int count,
                           int dimensions, const std::function<void(int, const double*)>& take) {
    if (probeCount <= 0) return;
    std::vector<double> gallerySquares, probeSquares;
    const DenseMatrix galleryColumns = ColumnsOf(gallery, count, dimensions, gallerySquares);
    const int block =
        static_cast<int>(std::clamp<long>(blockValues / std::max(count, 1), 1, probeCount));
    std::vector<double> distances(static_cast<size_t>(count));
    for (int first = 0; first < probeCount; first += block) {
        const int size = std::min(block, probeCount - first);
        const DenseMatrix probeColumns =
            ColumnsOf(probes + static_cast<size_t>(first) * static_cast<size_t>(dimensions), size,
                      dimensions, probeSquares);
        // products(i, k) = gallery i . probe k
        const DenseMatrix products = Product(galleryColumns, true, probeColumns, false);
        for (int k = 0; k < size; ++k) {
            const double* dot = products.Column(k);
            for (int i = 0; i < count; ++i) {
                const double square = gallerySquares[static_cast<size_t>(i)] +
                                      probeSquares[static_cast<size_t>(k)] - 2.0 * dot[i];
                distances[static_cast<size_t>(i)] = std::sqrt(std::max(square, 0.0));
            }
            take(first + k, distances.data());
        }
    }
}
