// The eye pair and the second detector, each on a patch of fixed size around
// the box, so their cost does not grow with the face.
#include "faces/face_checks.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <cmath>
#include <vector>

#include "faces/cascade_files.h"
#include "faces/face_patch.h"
#include "morlin/identifier.h"

namespace {

// The box is looked at as a square of this side, eyes in its upper part.
constexpr int eyePatchSide = 100;
constexpr double eyeSearchShare = 0.62;
// The second detector looks at the box with this share of margin each side,
// as a square of this side.
constexpr double secondMargin = 0.3;
constexpr int secondPatchSide = 160;
constexpr double agreeingOverlap = 0.4;

struct Detection {
    cv::Point2d centre;
    double size;
};

double Overlap(const cv::Rect2d& a, const cv::Rect2d& b) {
    const double inside = (a & b).area();
    return inside / (a.area() + b.area() - inside);
}

cv::CascadeClassifier Load(const std::string& file) {
    const std::string path = CascadePath(file);
    cv::CascadeClassifier cascade;
    if (!cascade.load(path) || cascade.empty())
        throw morlin::Error("the face detector's file " + path +
                            " cannot be read as a cascade: reinstall Debian's package opencv-data");
    return cascade;
}

// The best eye pair among detections in a patch of side 1 (eyePatchSide
// pixels), or nothing.
std::optional<std::pair<cv::Point2d, cv::Point2d>> BestPair(const std::vector<Detection>& found) {
    const double side = eyePatchSide;
    const cv::Point2d expectedMiddle(boxEyeMidX * side, boxEyeMidY * side);
    const double expectedDistance = boxEyeDistance * side;
    std::optional<std::pair<cv::Point2d, cv::Point2d>> best;
    double bestMiss = 0.0;
    for (const Detection& left : found) {
        if (left.centre.x < 0.12 * side || left.centre.x > 0.52 * side) continue;
        for (const Detection& right : found) {
            if (right.centre.x < 0.48 * side || right.centre.x > 0.9 * side) continue;
            const cv::Point2d between = right.centre - left.centre;
            const double distance = std::hypot(between.x, between.y);
            if (distance < 0.25 * side || distance > 0.55 * side) continue;
            // An eye's own two detections are no pair.
            if (distance < 0.6 * std::max(left.size, right.size)) continue;
            if (std::abs(std::atan2(between.y, between.x)) > 30.0 * CV_PI / 180.0) continue;
            const cv::Point2d middle = (left.centre + right.centre) * 0.5;
            const double miss =
                std::abs(distance - expectedDistance) +
                std::hypot(middle.x - expectedMiddle.x, middle.y - expectedMiddle.y);
            if (!best || miss < bestMiss) {
                best = std::make_pair(left.centre, right.centre);
                bestMiss = miss;
            }
        }
    }
    return best;
}

}  // namespace

struct FaceChecks::Cascades {
    cv::CascadeClassifier eye = Load("haarcascade_eye.xml");
    cv::CascadeClassifier eyeWithGlasses = Load("haarcascade_eye_tree_eyeglasses.xml");
    cv::CascadeClassifier face = Load("haarcascade_frontalface_default.xml");
};

FaceChecks::FaceChecks() : cascades([] { return std::make_unique<Cascades>(); }) {
    // Made now and kept in the pool: a missing file is told by the constructor.
    (void)cascades.Take();
}

FaceChecks::~FaceChecks() = default;

std::optional<EyeCentres> FaceChecks::Eyes(const cv::Mat& grey, const cv::Rect2d& box,
                                           double turn) const {
    const cv::Matx23d toPatch = SquareTransform(box, turn, eyePatchSide);
    const cv::Mat patch = Resampled(grey, {0, 0}, toPatch, eyePatchSide, eyePatchSide);
    const cv::Mat upper = patch.rowRange(0, static_cast<int>(eyeSearchShare * eyePatchSide));
    ObjectPool<Cascades>::Lease lease = cascades.Take();
    std::vector<Detection> found;
    std::optional<std::pair<cv::Point2d, cv::Point2d>> pair;
    // Plain eyes first; eyes behind glasses when those give no pair.
    for (cv::CascadeClassifier* cascade : {&lease->eye, &lease->eyeWithGlasses}) {
        std::vector<cv::Rect> eyes;
        cascade->detectMultiScale(upper, eyes, 1.1, 3, 0, cv::Size(14, 14), cv::Size(42, 42));
        for (const cv::Rect& e : eyes)
            found.push_back({{e.x + e.width / 2.0, e.y + e.height / 2.0}, double(e.width)});
        pair = BestPair(found);
        if (pair) break;
    }
    if (!pair) return std::nullopt;
    // Patch pixels back to the picture's.
    cv::Matx23d toPicture;
    cv::invertAffineTransform(toPatch, toPicture);
    const auto back = [&](const cv::Point2d& p) {
        const cv::Vec2d at = toPicture * cv::Vec3d(p.x, p.y, 1.0);
        return cv::Point2d(at[0], at[1]);
    };
    return EyeCentres{back(pair->first), back(pair->second)};
}

bool FaceChecks::SecondDetectorAgrees(const cv::Mat& grey, const cv::Rect2d& box,
                                      double turn) const {
    const cv::Rect2d area(box.x - secondMargin * box.width, box.y - secondMargin * box.height,
                          box.width * (1 + 2 * secondMargin), box.height * (1 + 2 * secondMargin));
    const cv::Mat patch = Patch(grey, area, secondPatchSide, turn);
    const double inner = secondPatchSide / (1 + 2 * secondMargin);
    const cv::Rect2d expected((secondPatchSide - inner) / 2, (secondPatchSide - inner) / 2, inner,
                              inner);
    ObjectPool<Cascades>::Lease lease = cascades.Take();
    std::vector<cv::Rect> faces;
    lease->face.detectMultiScale(patch, faces, 1.1, 3, 0,
                                 cv::Size(int(0.65 * inner), int(0.65 * inner)),
                                 cv::Size(int(1.4 * inner), int(1.4 * inner)));
    for (const cv::Rect& f : faces)
        if (Overlap(cv::Rect2d(f), expected) >= agreeingOverlap) return true;
    return false;
}
