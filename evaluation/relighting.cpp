// Light changes: each a map of every pixel's brightness, computed in double
// and rounded back to a grey level.
#include "relighting.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr LightChange changes[] = {
    LightChange::ShadowFromRight, LightChange::ShadowFromLeft, LightChange::LightFromAbove,
    LightChange::UnderExposed,    LightChange::OverExposed,    LightChange::DarkGlasses,
    LightChange::DeepSideShadow,
};
constexpr size_t changeCount = std::size(changes);

// 0 at the first and 1 at the last of count positions.
double Along(int at, int count) {
    return count > 1 ? static_cast<double>(at) / (count - 1) : 0.0;
}

// Whether (r, c) lies on the dark glasses: two lenses over the eyes of a
// face that fills the image (as ORL's do) and the bridge between them.
bool OnGlasses(int r, int c, int rows, int columns) {
    const double y = (r - 0.42 * rows) / (0.07 * rows);
    for (double centre : {0.32, 0.68}) {
        const double x = (c - centre * columns) / (0.14 * columns);
        if (x * x + y * y < 1.0) return true;
    }
    return std::fabs(r - 0.42 * rows) < 2.0 && c > 0.3 * columns && c < 0.7 * columns;
}

// FNV-1a: a stable hash of a file name.
uint32_t Hash(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char ch : text) h = (h ^ ch) * 16777619u;
    return h;
}

}  // namespace

void ChangeLight(std::vector<int>& grey, int rows, int columns, LightChange change) {
    if (change == LightChange::None) return;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            int& pixel = grey[static_cast<size_t>(r) * static_cast<size_t>(columns) +
                              static_cast<size_t>(c)];
            const double x = pixel / 255.0;
            const double across = Along(c, columns), down = Along(r, rows);
            double y = x;
            switch (change) {
                case LightChange::ShadowFromRight:
                    y = x * (0.15 + 0.85 * across);
                    break;
                case LightChange::ShadowFromLeft:
                    y = x * (1.0 - 0.85 * across);
                    break;
                case LightChange::LightFromAbove:
                    y = x * (1.0 - 0.7 * down);
                    break;
                case LightChange::UnderExposed:
                    y = 0.35 * std::pow(x, 1.6);
                    break;
                case LightChange::OverExposed:
                    y = std::min(1.0, 0.3 + 1.2 * std::sqrt(x));
                    break;
                case LightChange::DarkGlasses:
                    y = OnGlasses(r, c, rows, columns) ? x * 0.25 : x;
                    break;
                case LightChange::DeepSideShadow:
                    y = 0.6 * x * std::pow(0.2 + 0.8 * across, 1.5);
                    break;
                case LightChange::None:
                    break;
            }
            pixel = std::clamp(static_cast<int>(std::lround(y * 255.0)), 0, 255);
        }
}

LightChange ChangeFor(const std::string& file, Relight mode) {
    const uint32_t h = Hash(file);
    switch (mode) {
        case Relight::None:
            return LightChange::None;
        case Relight::Probes:
            return changes[h % changeCount];
        case Relight::All:
            return h % (changeCount + 1) == changeCount ? LightChange::None
                                                        : changes[h % (changeCount + 1)];
    }
    return LightChange::None;
}

void RelightDataset(FaceDataset& dataset, Relight mode) {
    if (mode == Relight::None) return;
    if (mode == Relight::All)
        for (FaceImage& image : dataset.gallery)
            ChangeLight(image.grey, dataset.rows, dataset.columns, ChangeFor(image.file, mode));
    for (FaceImage& image : dataset.probes)
        ChangeLight(image.grey, dataset.rows, dataset.columns, ChangeFor(image.file, mode));
}
