// FaceFinder: the detector's candidates, each verified, and AlignFace.
//
// Finding runs on the calling thread and the library's helpers: the scan's
// pieces, then one candidate's checks per piece. The helpers serve one call
// at a time; a call that finds them busy works on its own thread.
#include <algorithm>
#include <cmath>
#include <mutex>

#include <opencv2/imgproc.hpp>

#include "compute/workers.h"
#include "faces/face_checks.h"
#include "faces/face_geometry.h"
#include "faces/face_patch.h"
#include "faces/grey_picture.h"
#include "faces/hog_faces.h"
#include "morlin/faces.h"

namespace morlin {

namespace {

// The smallest face looked for: this share of the picture's shorter side,
// and never under minimumFacePixels.
constexpr double minimumFaceShare = 1.0 / 12.0;
constexpr double minimumFacePixels = 24.0;
// The checks look at a box upright, then turned either way: the detector
// finds faces turned in the picture by up to about 20 degrees, which the
// eye detector and the second detector, trained on upright faces, miss.
constexpr double checkedTurns[] = {0.0, 15.0 * CV_PI / 180.0, -15.0 * CV_PI / 180.0};

}  // namespace

struct FaceFinder::Impl {
    HogFaces detector;
    FaceChecks checks;
    mutable std::mutex helpersInUse;
    mutable Workers workers;
};

FaceFinder::FaceFinder() : impl(std::make_unique<Impl>()) {}
FaceFinder::~FaceFinder() = default;
FaceFinder::FaceFinder(FaceFinder&&) noexcept = default;
FaceFinder& FaceFinder::operator=(FaceFinder&&) noexcept = default;

std::vector<Face> FaceFinder::Find(const Picture& picture) const {
    const cv::Mat grey = GreyPicture(picture);
    const double shorter = std::min(picture.rows, picture.columns);
    const double minimumSide = std::max(minimumFacePixels, minimumFaceShare * shorter);
    if (minimumSide > shorter) return {};

    std::unique_lock<std::mutex> helpers(impl->helpersInUse, std::try_to_lock);
    Workers* workers = helpers.owns_lock() ? &impl->workers : nullptr;
    const std::vector<FaceCandidate> candidates = impl->detector.Detect(grey, minimumSide, workers);

    std::vector<std::optional<Face>> checked(candidates.size());
    const auto check = [&](int i, int) {
        const FaceCandidate& candidate = candidates[static_cast<size_t>(i)];
        std::optional<EyeCentres> eyes;
        bool verified = false;
        for (const double turn : checkedTurns) {
            eyes = impl->checks.Eyes(grey, candidate.box, turn);
            verified = eyes || impl->checks.SecondDetectorAgrees(grey, candidate.box, turn);
            if (verified) break;
        }
        if (!verified) return;
        Face face;
        face.box = ToBox(candidate.box);
        face.confidence = candidate.confidence;
        if (eyes) {
            face.leftEye = Point{eyes->left.x, eyes->left.y};
            face.rightEye = Point{eyes->right.x, eyes->right.y};
        }
        checked[static_cast<size_t>(i)] = face;
    };
    const int count = static_cast<int>(candidates.size());
    ForEachPiece(workers, count, count >= 2, check);

    std::vector<Face> faces;
    for (const std::optional<Face>& face : checked)
        if (face) faces.push_back(*face);
    std::stable_sort(faces.begin(), faces.end(), [](const Face& a, const Face& b) {
        const int64_t areaA = int64_t{a.box.width} * a.box.height;
        const int64_t areaB = int64_t{b.box.width} * b.box.height;
        return areaA != areaB ? areaA > areaB : a.confidence > b.confidence;
    });
    return faces;
}

std::vector<std::uint8_t> AlignFace(const Picture& picture, const Face& face, int rows,
                                    int columns) {
    if (rows < minimumCropSide || columns < minimumCropSide || rows > maximumCropSide ||
        columns > maximumCropSide)
        throw Error("an aligned face is " + std::to_string(minimumCropSide) + " to " +
                    std::to_string(maximumCropSide) + " pixels each way, not " +
                    std::to_string(columns) + "x" + std::to_string(rows));
    const cv::Matx23d transform = CropTransform(AlignmentEyes(face), rows, columns);
    // Only the part of the picture under the crop is made grey.
    const cv::Rect part =
        CoveredPart(transform, rows, columns,
                    cv::Rect(0, 0, std::max(picture.columns, 1), std::max(picture.rows, 1)));
    const cv::Mat crop = Resampled(GreyPicture(picture, part), part.tl(), transform, rows, columns);
    return std::vector<std::uint8_t>(crop.datastart, crop.dataend);
}

}  // namespace morlin
