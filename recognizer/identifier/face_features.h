// What the identifier's kernel-PCA core works on for one face: its grey
// levels turned into a feature vector. Equalized pixels are exactly the
// designed recognizer's sample columns; local binary pattern histograms are a
// texture code that a change of light leaves alone.
//
// Local binary patterns. Each inner pixel gets an 8-bit code, one bit per
// neighbour (the eight around it), set when the neighbour is at least as
// bright: a code that any brightening, darkening or contrast change that
// keeps the order of grey levels leaves as it is. Codes with at most two
// changes between 0 and 1 around the circle (the 58 "uniform" ones: edges,
// corners, spots) keep a bin each; the rest share one. The face is cut into
// a grid of nearly square cells, 7 down and as many across as the width
// allows, so each cell holds a region of the face (an eye, a cheek); each
// cell's histogram is divided by its pixel count and its square root taken,
// which makes the dot product of two histograms their Bhattacharyya
// similarity: the kernel then compares texture distributions, not counts.
#pragma once

#include <cstdint>

enum class FeatureKind : int { EqualizedPixels = 0, LbpHistograms = 1 };

struct FeatureShape {
    FeatureKind kind = FeatureKind::EqualizedPixels;
    int rows = 0;
    int columns = 0;
    int gridRows = 0;     // LBP cells down; 0 for pixels
    int gridColumns = 0;  // LBP cells across
    int length = 0;       // numbers per feature vector
};

// Local binary pattern bins: 58 uniform codes and one for all others.
inline constexpr int lbpBins = 59;
// Cells down the face.
inline constexpr int lbpGridRows = 7;

// The shape of kind's features for rows x columns images. LBP needs at least
// 3 x 3 pixels; for smaller images, and for sizes whose features would not
// fit an int, length is 0.
FeatureShape ShapeOf(FeatureKind kind, int rows, int columns);

// out[0 .. shape.length) = the features of rows x columns grey levels.
void ExtractFeatures(const FeatureShape& shape, const uint8_t* levels, float* out);
