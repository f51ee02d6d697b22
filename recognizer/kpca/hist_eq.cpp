// Histogram equalization of image columns over 256 grey levels. The result of
// a pixel is the fraction of its column's pixels at a strictly lower level, so
// values lie in [0, 1).
#include <array>
#include <cstdint>
#include <vector>

#include "matrix/matrix.h"
#include "plugin/morlin.h"

namespace {

// Levels outside 0..255 would index past the 256 counters; they are clamped
// (NaN to 0) before the conversion, since converting a huge float or a NaN to
// int is undefined. Written without branches, so that it vectorises.
uint8_t Level(float value) {
    const float clamped = value >= 0.0f ? (value < 255.0f ? value : 255.0f) : 0.0f;
    return static_cast<uint8_t>(static_cast<int>(clamped));
}

}  // namespace

void CNolt_PCARecognition::HistEq(MatrixSpace::matrix*& m, int first, int last) {
    if (first > last) return;
    if (first < 0) first = 0;
    if (last >= m->cols) last = m->cols - 1;
    const int pixels = m->rows;
    std::vector<uint8_t> levels(static_cast<size_t>(pixels));
    for (int c = first; c <= last; ++c) {
        float* column = m->col[c];
        for (int i = 0; i < pixels; ++i) levels[static_cast<size_t>(i)] = Level(column[i]);
        // Four sets of counters: runs of equal levels, common in a face, would
        // otherwise wait on each other's increments.
        std::array<std::array<int, 256>, 4> counts{};
        for (size_t i = 0; i < levels.size(); ++i) ++counts[i % 4][levels[i]];
        std::array<float, 256> below{};
        int cumulative = 0;
        for (size_t j = 0; j < 256; ++j) {
            below[j] = static_cast<float>(static_cast<double>(cumulative) / pixels);
            cumulative += counts[0][j] + counts[1][j] + counts[2][j] + counts[3][j];
        }
        for (int i = 0; i < pixels; ++i) column[i] = below[levels[static_cast<size_t>(i)]];
    }
}
