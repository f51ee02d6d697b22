// Whether a detector's box holds a face: a pair of eyes where eyes belong
// in it, or a second detector of another kind finding a face at the same
// place. Both are cascades from Debian's opencv-data; each thread that
// checks gets cascades of its own (a cascade keeps the picture it scans).
#pragma once

#include <memory>
#include <optional>

#include <opencv2/core/mat.hpp>

#include "compute/object_pool.h"
#include "faces/face_geometry.h"

class FaceChecks {
public:
    // Loads one set of cascades now, so a missing file is told at once.
    // Throws morlin::Error naming the file and the package.
    FaceChecks();
    ~FaceChecks();
    FaceChecks(const FaceChecks&) = delete;
    FaceChecks& operator=(const FaceChecks&) = delete;

    // The eyes of a face whose box in grey is box: a pair of eye detections
    // each in its half of the box's upper part, as far apart as eyes are in
    // a face of the box's size (0.25 to 0.55 of it) and level within 30
    // degrees; of several such pairs the one nearest where eyes are
    // expected. Nothing when there is no such pair. turn (radians): the box
    // is looked at turned back by it, for a face turned in the picture.
    std::optional<EyeCentres> Eyes(const cv::Mat& grey, const cv::Rect2d& box,
                                   double turn = 0.0) const;

    // Whether the second detector finds a face whose box overlaps box by at
    // least 0.4 (intersection over union); turn as for Eyes.
    bool SecondDetectorAgrees(const cv::Mat& grey, const cv::Rect2d& box, double turn = 0.0) const;

private:
    struct Cascades;
    mutable ObjectPool<Cascades> cascades;
};
