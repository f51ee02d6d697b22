// The frontal-face detector in three pieces, each on its own copy of the
// detector (a detector keeps the pyramid of the picture it scans).
//
// The detector scans a pyramid of the picture, each level 5/6 the size of
// the one before, for boxes of about 80 pixels. The picture is first scaled
// so that the smallest face looked for is that size. Piece 0 scans the two
// finest levels, piece 1 the rest (the picture at (5/6)^2, all its levels),
// about half of the work each; piece 2 scans the picture shrunk to a few
// hundred pixels with a wide margin, for a face that fills the picture,
// which the full scans cannot frame.
#include "faces/hog_faces.h"

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "compute/workers.h"

namespace {

using Detector = dlib::frontal_face_detector;

// The side of the detector's box it finds faces at, at the finest level.
constexpr double detectorSide = 70.0;
// Its box against the cascade's: side share and the centre's offset, in
// sides of the cascade's box (medians over ORL faces composed into scenes).
constexpr double detectorSideShare = 0.88;
constexpr double detectorCentreRight = 0.02;
constexpr double detectorCentreDown = 0.06;
// Levels piece 0 scans; piece 1 starts where it stops.
constexpr int finestLevels = 2;
constexpr double levelShare = 5.0 / 6.0;
// Piece 2: the picture's shorter side shrunk to this, and a margin of this
// share of it added each side.
constexpr double wholeSide = 110.0;
constexpr double wholeMargin = 1.0 / 3.0;
// Boxes overlapping more than this (intersection over union), or the
// smaller lying this much inside the larger, are one face.
constexpr double sameFaceOverlap = 0.3;
constexpr double sameFaceInside = 0.6;

cv::Rect2d CascadeBox(const dlib::rectangle& found, double scale, double marginX, double marginY) {
    const double side = (found.width() + found.height()) / 2.0 / scale / detectorSideShare;
    const double centreX =
        (found.left() + found.right() + 1) / 2.0 / scale - marginX - detectorCentreRight * side;
    const double centreY =
        (found.top() + found.bottom() + 1) / 2.0 / scale - marginY - detectorCentreDown * side;
    return {centreX - side / 2, centreY - side / 2, side, side};
}

bool SameFace(const cv::Rect2d& a, const cv::Rect2d& b) {
    const double inside = (a & b).area();
    if (inside <= 0.0) return false;
    return inside / (a.area() + b.area() - inside) > sameFaceOverlap ||
           inside / std::min(a.area(), b.area()) > sameFaceInside;
}

cv::Mat Scaled(const cv::Mat& grey, double scale) {
    if (std::abs(scale - 1.0) < 1e-3) return grey;
    const cv::Size size(std::max(1, static_cast<int>(std::lround(grey.cols * scale))),
                        std::max(1, static_cast<int>(std::lround(grey.rows * scale))));
    cv::Mat out;
    cv::resize(grey, out, size, 0.0, 0.0, scale < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

}  // namespace

struct HogFaces::Detectors {
    Detectors() : whole(dlib::get_frontal_face_detector()) {
        Detector::image_scanner_type scanner;
        scanner.copy_configuration(whole.get_scanner());
        scanner.set_max_pyramid_levels(finestLevels);
        std::vector<Detector::feature_vector_type> weights;
        for (unsigned long i = 0; i < whole.num_detectors(); ++i) weights.push_back(whole.get_w(i));
        finest = Detector(scanner, whole.get_overlap_tester(), weights);
    }
    Detector whole;   // every level
    Detector finest;  // the finest levels only
};

HogFaces::HogFaces() : detectors([] { return std::make_unique<Detectors>(); }) {}
HogFaces::~HogFaces() = default;

std::vector<FaceCandidate> HogFaces::Detect(const cv::Mat& grey, double minimumSide,
                                            Workers* workers) const {
    const double scale = detectorSide / (minimumSide * detectorSideShare);
    const cv::Mat fine = Scaled(grey, scale);
    const double coarseScale = scale * levelShare * levelShare;
    const double wholeScale = wholeSide / std::min(grey.rows, grey.cols);

    std::vector<FaceCandidate> found[3];
    const auto run = [&](int piece, int) {
        ObjectPool<Detectors>::Lease lease = detectors.Take();
        std::vector<dlib::rect_detection> detections;
        double at = scale, marginX = 0.0, marginY = 0.0;
        if (piece == 0) {
            lease->finest(dlib::cv_image<unsigned char>(fine), detections);
        } else if (piece == 1) {
            at = coarseScale;
            const cv::Mat coarse = Scaled(fine, levelShare * levelShare);
            lease->whole(dlib::cv_image<unsigned char>(coarse), detections);
        } else {
            // Only where the coarse piece cannot frame a face as large as the picture.
            if (wholeScale >= coarseScale) return;
            at = wholeScale;
            const cv::Mat small = Scaled(grey, wholeScale);
            const int margin = static_cast<int>(std::lround(wholeMargin * wholeSide));
            cv::Mat framed;
            cv::copyMakeBorder(small, framed, margin, margin, margin, margin, cv::BORDER_REPLICATE);
            marginX = marginY = margin / wholeScale;
            lease->whole(dlib::cv_image<unsigned char>(framed), detections);
        }
        for (const dlib::rect_detection& d : detections)
            found[piece].push_back(
                {CascadeBox(d.rect, at, marginX, marginY), d.detection_confidence});
    };
    ForEachPiece(workers, 3, true, run);

    std::vector<FaceCandidate> all;
    for (const std::vector<FaceCandidate>& piece : found)
        all.insert(all.end(), piece.begin(), piece.end());
    std::sort(all.begin(), all.end(), [](const FaceCandidate& a, const FaceCandidate& b) {
        return a.confidence > b.confidence;
    });
    std::vector<FaceCandidate> kept;
    for (const FaceCandidate& candidate : all)
        if (candidate.box.width >= 0.8 * minimumSide &&
            std::none_of(kept.begin(), kept.end(),
                         [&](const FaceCandidate& k) { return SameFace(k.box, candidate.box); }))
            kept.push_back(candidate);
    return kept;
}
