// Equalized pixels and local binary pattern histograms.
#include "identifier/face_features.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "kpca/grey_levels.h"

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

// The codes of the (rows - 2) x (columns - 2) inner pixels, as bins.
void BinsOfInnerPixels(const uint8_t* levels, int rows, int columns, uint8_t* bins) {
    // Neighbours clockwise from the top left, each one bit of the code.
    const int offsets[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};
    const int inner = columns - 2;
    for (int r = 1; r < rows - 1; ++r) {
        for (int c = 1; c < columns - 1; ++c) {
            const uint8_t centre = levels[r * columns + c];
            unsigned code = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const uint8_t neighbour = levels[(r + offsets[bit][0]) * columns + c + offsets[bit][1]];
                code |= static_cast<unsigned>(neighbour >= centre) << bit;
            }
            bins[(r - 1) * inner + (c - 1)] = uniformBins[code];
        }
    }
}

}  // namespace

FeatureShape ShapeOf(FeatureKind kind, int rows, int columns) {
    FeatureShape shape;
    shape.kind = kind;
    shape.rows = rows;
    shape.columns = columns;
    if (kind == FeatureKind::EqualizedPixels) {
        shape.length = rows * columns;
        return shape;
    }
    const int innerRows = rows - 2, innerColumns = columns - 2;
    if (innerRows < 1 || innerColumns < 1) return shape;
    shape.gridRows = std::min(lbpGridRows, innerRows);
    // Nearly square cells: as many across as the width holds at the height of one.
    const double cellHeight = static_cast<double>(innerRows) / shape.gridRows;
    shape.gridColumns =
        std::clamp(static_cast<int>(std::lround(innerColumns / cellHeight)), 1, innerColumns);
    shape.length = shape.gridRows * shape.gridColumns * lbpBins;
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
