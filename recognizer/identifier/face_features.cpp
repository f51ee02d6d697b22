// Equalized pixels and local binary pattern histograms.
#include "identifier/face_features.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "kernel_pca/grey_levels.h"

namespace {

// Bin of each 8-bit code: the uniform codes in rising order, then the rest.
constexpr std::array<uint8_t, 256> UniformBins() {
    std::array<uint8_t, 256> bins{};
    int next = 0;
    for (int code = 0; code < 256; ++code) {
        int changes = 0;
        for (int bit = 0; bit < 8; ++bit)
            changes += ((code >> bit) & 1) != ((code >> ((bit + 1) % 8)) & 1) ? 1 : 0;
        bins[static_cast<size_t>(code)] = static_cast<uint8_t>(changes <= 2 ? next++ : 0xff);
    }
    for (uint8_t& bin : bins)
        if (bin == 0xff) bin = static_cast<uint8_t>(lbpBins - 1);
    return bins;
}
constexpr std::array<uint8_t, 256> uniformBins = UniformBins();
static_assert(uniformBins[255] == lbpBins - 2, "58 uniform codes");

// The codes of the (rows - 2) x (columns - 2) inner pixels, as bins. Each
// neighbour is one bit, clockwise from the top left; rows are walked with a
// pointer to each of the three lines, which the compiler turns into wide
// byte compares.
void BinsOfInnerPixels(const uint8_t* levels, int rows, int columns, uint8_t* bins) {
    const int inner = columns - 2;
    for (int r = 1; r < rows - 1; ++r) {
        const uint8_t* up = levels + static_cast<ptrdiff_t>(r - 1) * columns + 1;
        const uint8_t* mid = levels + static_cast<ptrdiff_t>(r) * columns + 1;
        const uint8_t* down = levels + static_cast<ptrdiff_t>(r + 1) * columns + 1;
        uint8_t* out = bins + static_cast<ptrdiff_t>(r - 1) * inner;
        for (int c = 0; c < inner; ++c) {
            const uint8_t centre = mid[c];
            const unsigned code = static_cast<unsigned>(up[c - 1] >= centre) |
                                  static_cast<unsigned>(up[c] >= centre) << 1 |
                                  static_cast<unsigned>(up[c + 1] >= centre) << 2 |
                                  static_cast<unsigned>(mid[c + 1] >= centre) << 3 |
                                  static_cast<unsigned>(down[c + 1] >= centre) << 4 |
                                  static_cast<unsigned>(down[c] >= centre) << 5 |
                                  static_cast<unsigned>(down[c - 1] >= centre) << 6 |
                                  static_cast<unsigned>(mid[c - 1] >= centre) << 7;
            out[c] = static_cast<uint8_t>(code);
        }
        for (int c = 0; c < inner; ++c) out[c] = uniformBins[out[c]];
    }
}

}  // namespace

FeatureShape ShapeOf(FeatureKind kind, int rows, int columns) {
    FeatureShape shape;
    shape.kind = kind;
    shape.rows = rows;
    shape.columns = columns;
    if (rows < 1 || columns < 1) return shape;
    // Sizes come from model files too: a length past int is no shape at all.
    const auto lengthOf = [](int64_t length) {
        return length <= std::numeric_limits<int>::max() ? static_cast<int>(length) : 0;
    };
    if (kind == FeatureKind::EqualizedPixels) {
        shape.length = lengthOf(int64_t{rows} * columns);
        return shape;
    }
    const int innerRows = rows - 2, innerColumns = columns - 2;
    if (innerRows < 1 || innerColumns < 1) return shape;
    shape.gridRows = std::min(lbpGridRows, innerRows);
    // Nearly square cells: as many across as the width holds at the height of one.
    const double cellHeight = static_cast<double>(innerRows) / shape.gridRows;
    shape.gridColumns =
        std::clamp(static_cast<int>(std::lround(innerColumns / cellHeight)), 1, innerColumns);
    shape.length = lengthOf(int64_t{shape.gridRows} * shape.gridColumns * lbpBins);
    return shape;
}

void ExtractFeatures(const FeatureShape& shape, const uint8_t* levels, float* out) {
    if (shape.kind == FeatureKind::EqualizedPixels) {
        EqualizeLevels(levels, shape.rows * shape.columns, out);
        return;
    }
    const int innerRows = shape.rows - 2, innerColumns = shape.columns - 2;
    std::vector<uint8_t> bins(static_cast<size_t>(innerRows) * static_cast<size_t>(innerColumns));
    BinsOfInnerPixels(levels, shape.rows, shape.columns, bins.data());
    std::fill(out, out + shape.length, 0.0f);
    for (int gy = 0; gy < shape.gridRows; ++gy) {
        const int top = gy * innerRows / shape.gridRows;
        const int bottom = (gy + 1) * innerRows / shape.gridRows;
        for (int gx = 0; gx < shape.gridColumns; ++gx) {
            const int left = gx * innerColumns / shape.gridColumns;
            const int right = (gx + 1) * innerColumns / shape.gridColumns;
            float* histogram = out + (gy * shape.gridColumns + gx) * lbpBins;
            std::array<int, lbpBins> counts{};
            for (int r = top; r < bottom; ++r)
                for (int c = left; c < right; ++c) ++counts[bins[r * innerColumns + c]];
            const double cellPixels = static_cast<double>((bottom - top) * (right - left));
            for (int b = 0; b < lbpBins; ++b)
                histogram[b] = static_cast<float>(std::sqrt(counts[b] / cellPixels));
        }
    }
}
