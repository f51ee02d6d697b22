// Histogram equalization of image columns over 256 grey levels. The result of
// a pixel is the fraction of its column's pixels at a strictly lower level, so
// values lie in [0, 1).
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kpca/grey_levels.h"
#include "matrix/matrix.h"
#include "plugin/morlin.h"

// Built for AVX-512 and the baseline; the loader picks the one the processor
// runs (integer counts and a table lookup: the same values either way).
__attribute__((target_clones("avx512f", "default"))) void EqualizeLevels(const uint8_t* levels,
                                                                         int count, float* out) {
    // Four sets of counters: runs of equal levels, common in a face, would
    // otherwise wait on each other's increments.
    std::array<std::array<int, 256>, 4> counts{};
    for (int i = 0; i < count; ++i) ++counts[static_cast<size_t>(i % 4)][levels[i]];
    std::array<float, 256> below{};
    int cumulative = 0;
    for (size_t j = 0; j < 256; ++j) {
        below[j] = static_cast<float>(static_cast<double>(cumulative) / count);
        cumulative += counts[0][j] + counts[1][j] + counts[2][j] + counts[3][j];
    }
    for (int i = 0; i < count; ++i) out[i] = below[levels[i]];
}

__attribute__((target_clones("avx512f", "default"))) void LevelsOfRows(const int* const* rows,
                                                                       int rowCount, int columns,
                                                                       uint8_t* levels) {
    for (int r = 0; r < rowCount; ++r) {
        const int* row = rows[r];
        uint8_t* out = levels + static_cast<ptrdiff_t>(r) * columns;
        for (int c = 0; c < columns; ++c) out[c] = GreyLevel(static_cast<float>(row[c]));
    }
}

void CNolt_PCARecognition::HistEq(MatrixSpace::matrix*& m, int first, int last) {
    if (first > last) return;
    if (first < 0) first = 0;
    if (last >= m->cols) last = m->cols - 1;
    const int pixels = m->rows;
    std::vector<uint8_t> levels(static_cast<size_t>(pixels));
    for (int c = first; c <= last; ++c) {
        float* column = m->col[c];
        for (int i = 0; i < pixels; ++i) levels[static_cast<size_t>(i)] = GreyLevel(column[i]);
        EqualizeLevels(levels.data(), pixels, column);
    }
}
