// A host's picture as one grey plane: the checks every picture passes before
// anything reads it, and the one conversion from colour to grey (Luma), so a
// colour picture and the grey picture made from it by Luma are the same here.
#pragma once

#include <opencv2/core/mat.hpp>

#include "morlin/faces.h"

// The picture's grey levels, rows x columns, 8-bit. Throws morlin::Error
// naming what is wrong: no pixels, a size below 1 or whose bytes pass what
// memory can address, channels other than 1, 3 or 4, a stride shorter than
// a row.
cv::Mat GreyPicture(const morlin::Picture& picture);
// The grey levels of part of the picture only (part lies inside it), with
// the same checks.
cv::Mat GreyPicture(const morlin::Picture& picture, const cv::Rect& part);
