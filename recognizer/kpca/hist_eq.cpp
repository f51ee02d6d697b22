// Histogram equalization of image columns over 256 grey levels. The result of
// a pixel is the fraction of its column's pixels at a strictly lower level, so
// values lie in [0, 1).
#include <array>

#include "matrix/matrix.h"
#include "plugin/morlin.h"

namespace {

// Levels outside 0..255 would index past the 256 counters; they are clamped.
// Tested before the conversion, since converting a huge float or a NaN to
// int is undefined.
int Level(float value) {
    if (!(value >= 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return static_cast<int>(value);
}

}  // namespace

void CNolt_PCARecognition::HistEq(MatrixSpace::matrix*& m, int first, int last) {
    if (first > last) return;
    if (first < 0) first = 0;
    if (last >= m->cols) last = m->cols - 1;
    const int pixels = m->rows;
    for (int c = first; c <= last; ++c) {
        float* column = m->col[c];
        std::array<int, 256> counts{};
        for (int i = 0; i < pixels; ++i) ++counts[static_cast<size_t>(Level(column[i]))];
        std::array<double, 256> below{};
        int cumulative = 0;
        for (size_t j = 0; j < 256; ++j) {
            below[j] = static_cast<double>(cumulative) / pixels;
            cumulative += counts[j];
        }
        for (int i = 0; i < pixels; ++i)
            column[i] = static_cast<float>(below[static_cast<size_t>(Level(column[i]))]);
    }
}
