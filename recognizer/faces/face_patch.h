// A square of a grey picture resampled to a given size, the parts outside
// the picture repeating its edge: what the detectors and the alignment look
// at around one face.
#pragma once

#include <opencv2/core/mat.hpp>
#include <opencv2/core/matx.hpp>

// The map from picture pixels to a side x side square showing area (which
// may reach past the picture's edges), turned about its centre by minus
// turn (radians, clockwise on the screen for positive): a face turned by
// turn in the picture stands upright in the square.
cv::Matx23d SquareTransform(const cv::Rect2d& area, double turn, int side);

// The square SquareTransform maps area to, from grey: averaged when it
// shrinks, interpolated when it grows.
cv::Mat Patch(const cv::Mat& grey, const cv::Rect2d& area, int side, double turn = 0.0);

// The pixels of held (a picture's extent) under a rows x columns image that
// transform (picture to image) makes, with a margin for interpolation; at
// least one pixel, the nearest, when the image lies wholly outside.
cv::Rect CoveredPart(const cv::Matx23d& transform, int rows, int columns, const cv::Rect& held);

// The rows x columns image whose pixel (x, y) is grey's at the picture point
// that transform (picture to image) maps there; grey holds the picture's
// pixels of CoveredPart (or more), its top left pixel at origin. Averaged first where the image is
// much smaller than the picture, so a large face is not sampled sparsely.
cv::Mat Resampled(const cv::Mat& grey, cv::Point origin, const cv::Matx23d& transform, int rows,
                  int columns);
