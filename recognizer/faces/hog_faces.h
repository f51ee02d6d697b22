// The face detector: histograms of oriented gradients under the frontal-face
// filters that dlib builds in (faces looking ahead, a little to either side,
// and turned in the picture), with no file to load. Its boxes are turned
// into the cascade's convention (face_geometry.h), so everything after it
// reads one kind of box.
#pragma once

#include <vector>

#include <opencv2/core/mat.hpp>

#include "compute/object_pool.h"

class Workers;

struct FaceCandidate {
    cv::Rect2d box;     // picture pixels, the cascade's convention
    double confidence;  // the detector's margin, 0 at its threshold
};

class HogFaces {
public:
    HogFaces();
    ~HogFaces();
    HogFaces(const HogFaces&) = delete;
    HogFaces& operator=(const HogFaces&) = delete;

    // Candidates for every face of grey whose box side is at least
    // minimumSide, up to faces that fill the picture, overlapping ones
    // merged (the surer stands). The picture is scanned in pieces (the finer
    // scales, the coarser ones, and the picture as a whole) shared among the
    // helpers, when given.
    std::vector<FaceCandidate> Detect(const cv::Mat& grey, double minimumSide,
                                      Workers* workers) const;

private:
    struct Detectors;
    mutable ObjectPool<Detectors> detectors;
};
