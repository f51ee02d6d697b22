// The grey levels of histogram equalization and the equalization of a list of
// levels: shared by the equalization of image columns and of a probe read
// straight from the host's rows.
#pragma once

#include <cstddef>
#include <cstdint>

// Equalization works on this many grey levels, 0 to the brightest.
inline constexpr size_t greyLevelCount = 256;
inline constexpr float brightestLevel = 255.0f;

// The level of a pixel value: 0..255, values outside clamped (NaN to 0)
// before the conversion, since converting a huge float or a NaN to int is
// undefined. Written without branches, so that loops over it vectorise.
inline uint8_t GreyLevel(float value) {
    const float clamped = value >= 0.0f ? (value < brightestLevel ? value : brightestLevel) : 0.0f;
    return static_cast<uint8_t>(static_cast<int>(clamped));
}

// out[i] = the fraction of the count levels strictly below levels[i].
void EqualizeLevels(const uint8_t* levels, int count, float* out);

// levels[r * columns + c] = GreyLevel(rows[r][c]) for the rows x columns image.
void LevelsOfRows(const int* const* rows, int rowCount, int columns, uint8_t* levels);
