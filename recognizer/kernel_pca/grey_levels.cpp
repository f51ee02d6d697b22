// Histogram equalization over 256 grey levels. The result of a pixel is the
// fraction of its image's pixels at a strictly lower level, so values lie in
// [0, 1).
#include <array>
#include <cstddef>
#include <cstdint>

#include "compute/cpu_level.h"
#include "kernel_pca/grey_levels.h"

namespace {

// Integer counts and a table lookup: the same values at every processor
// level, only faster where the loops run wider.
__attribute__((always_inline)) inline void Equalize(const uint8_t* levels, int count, float* out) {
    // Four sets of counters: runs of equal levels, common in a face, would
    // otherwise wait on each other's increments.
    constexpr size_t counterSets = 4;
    std::array<std::array<int, greyLevelCount>, counterSets> counts{};
    for (int i = 0; i < count; ++i) ++counts[static_cast<size_t>(i) % counterSets][levels[i]];
    std::array<float, greyLevelCount> below{};
    int cumulative = 0;
    for (size_t j = 0; j < greyLevelCount; ++j) {
        below[j] = static_cast<float>(static_cast<double>(cumulative) / count);
        for (size_t set = 0; set < counterSets; ++set) cumulative += counts[set][j];
    }
    for (int i = 0; i < count; ++i) out[i] = below[levels[i]];
}

__attribute__((always_inline)) inline void Levels(const int* const* rows, int rowCount, int columns,
                                                  uint8_t* levels) {
    for (int r = 0; r < rowCount; ++r) {
        const int* row = rows[r];
        uint8_t* out = levels + static_cast<ptrdiff_t>(r) * columns;
        for (int c = 0; c < columns; ++c) out[c] = GreyLevel(static_cast<float>(row[c]));
    }
}

void EqualizeBaseline(const uint8_t* levels, int count, float* out) {
    Equalize(levels, count, out);
}
__attribute__((target("avx2"))) void EqualizeAvx2(const uint8_t* levels, int count, float* out) {
    Equalize(levels, count, out);
}
__attribute__((target("avx512f"))) void EqualizeAvx512(const uint8_t* levels, int count,
                                                       float* out) {
    Equalize(levels, count, out);
}
void LevelsBaseline(const int* const* rows, int rowCount, int columns, uint8_t* levels) {
    Levels(rows, rowCount, columns, levels);
}
__attribute__((target("avx2"))) void LevelsAvx2(const int* const* rows, int rowCount, int columns,
                                                uint8_t* levels) {
    Levels(rows, rowCount, columns, levels);
}
__attribute__((target("avx512f"))) void LevelsAvx512(const int* const* rows, int rowCount,
                                                     int columns, uint8_t* levels) {
    Levels(rows, rowCount, columns, levels);
}

constexpr PerCpuLevel<void (*)(const uint8_t*, int, float*)> equalizers{
    &EqualizeBaseline, &EqualizeAvx2, &EqualizeAvx512};
constexpr PerCpuLevel<void (*)(const int* const*, int, int, uint8_t*)> levelReaders{
    &LevelsBaseline, &LevelsAvx2, &LevelsAvx512};

}  // namespace

void EqualizeLevels(const uint8_t* levels, int count, float* out) {
    equalizers.Active()(levels, count, out);
}

void LevelsOfRows(const int* const* rows, int rowCount, int columns, uint8_t* levels) {
    levelReaders.Active()(rows, rowCount, columns, levels);
}
