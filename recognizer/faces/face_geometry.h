// Where a face's parts lie: in the box a detector gives (the convention of
// the Haar cascade of frontal faces: eyebrows to chin, cheek to cheek), and
// in an aligned crop. The numbers are medians over the 400 faces of the ORL
// set (92 x 112 crops): the cascade's box and the eye detector's eyes on
// each. Crops are made on the eyes, found or expected from the box, so a
// face aligned either way lands in the same place.
#pragma once

#include <opencv2/core/matx.hpp>
#include <opencv2/core/types.hpp>

#include "morlin/faces.h"

// The eyes in a box of side 1 from its top left corner: their midpoint and
// the distance between their centres.
inline constexpr double boxEyeMidX = 0.51;
inline constexpr double boxEyeMidY = 0.385;
inline constexpr double boxEyeDistance = 0.36;

// The eyes in a crop of width 1 and height 1: centres cropEyeDistance apart,
// evenly either side of the middle, level at cropEyeY.
inline constexpr double cropEyeDistance = 0.354;
inline constexpr double cropEyeY = 0.466;

// Crop sizes AlignFace makes.
inline constexpr int minimumCropSide = 8;
inline constexpr int maximumCropSide = 4096;

struct EyeCentres {
    cv::Point2d left;  // on the picture's left
    cv::Point2d right;
};

// Where the eyes of a face in box are expected, level.
EyeCentres ExpectedEyes(const cv::Rect2d& box);

// The eyes AlignFace aligns on: the face's own when both are given, else
// those expected from its box.
EyeCentres AlignmentEyes(const morlin::Face& face);

// The map from picture pixels to those of a rows x columns crop that puts
// eyes where the crop has them (a turn, one scale and a shift).
cv::Matx23d CropTransform(const EyeCentres& eyes, int rows, int columns);

cv::Rect2d ToRect(const morlin::Box& box);
morlin::Box ToBox(const cv::Rect2d& rect);
