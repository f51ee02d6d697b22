// The face's geometry: eyes expected in a box, and the crop's transform.
#include "faces/face_geometry.h"

#include <cmath>

EyeCentres ExpectedEyes(const cv::Rect2d& box) {
    const double side = (box.width + box.height) / 2.0;
    const cv::Point2d middle(box.x + boxEyeMidX * box.width, box.y + boxEyeMidY * box.height);
    const double half = boxEyeDistance * side / 2.0;
    return {{middle.x - half, middle.y}, {middle.x + half, middle.y}};
}

EyeCentres AlignmentEyes(const morlin::Face& face) {
    if (face.leftEye && face.rightEye)
        return {{face.leftEye->x, face.leftEye->y}, {face.rightEye->x, face.rightEye->y}};
    return ExpectedEyes(ToRect(face.box));
}

cv::Matx23d CropTransform(const EyeCentres& eyes, int rows, int columns) {
    const cv::Point2d from = eyes.right - eyes.left;
    const double fromDistance = std::max(std::hypot(from.x, from.y), 1e-6);
    const double scale = cropEyeDistance * columns / fromDistance;
    // Turning by minus the eyes' angle makes them level.
    const double angle = std::atan2(from.y, from.x);
    const double c = scale * std::cos(angle), s = scale * std::sin(angle);
    const cv::Point2d middle = (eyes.left + eyes.right) * 0.5;
    const cv::Point2d target(columns / 2.0, cropEyeY * rows);
    // [c s; -s c] turns the picture by -angle and scales it; the shift puts
    // the eyes' midpoint at target.
    return cv::Matx23d(c, s, target.x - (c * middle.x + s * middle.y),  //
                       -s, c, target.y - (-s * middle.x + c * middle.y));
}

cv::Rect2d ToRect(const morlin::Box& box) {
    return {double(box.x), double(box.y), double(box.width), double(box.height)};
}

morlin::Box ToBox(const cv::Rect2d& rect) {
    const int x = static_cast<int>(std::lround(rect.x)), y = static_cast<int>(std::lround(rect.y));
    return {x, y, static_cast<int>(std::lround(rect.x + rect.width)) - x,
            static_cast<int>(std::lround(rect.y + rect.height)) - y};
}
