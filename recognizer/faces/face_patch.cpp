// Resampling around a face: a cut with the edge repeated, averaged down
// before the final interpolation.
#include "faces/face_patch.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

cv::Matx23d SquareTransform(const cv::Rect2d& area, double turn, int side) {
    const double scale = side / std::max((area.width + area.height) / 2.0, 1e-6);
    const double c = scale * std::cos(turn), s = scale * std::sin(turn);
    const cv::Point2d centre(area.x + area.width / 2.0, area.y + area.height / 2.0);
    return cv::Matx23d(c, s, side / 2.0 - (c * centre.x + s * centre.y),  //
                       -s, c, side / 2.0 - (-s * centre.x + c * centre.y));
}

cv::Mat Patch(const cv::Mat& grey, const cv::Rect2d& area, int side, double turn) {
    return Resampled(grey, {0, 0}, SquareTransform(area, turn, side), side, side);
}

cv::Rect CoveredPart(const cv::Matx23d& transform, int rows, int columns, const cv::Rect& held) {
    cv::Matx23d inverse;
    cv::invertAffineTransform(transform, inverse);
    double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
    for (const cv::Point2d corner : {cv::Point2d(0, 0), cv::Point2d(columns, 0),
                                     cv::Point2d(0, rows), cv::Point2d(columns, rows)}) {
        const cv::Vec2d at = inverse * cv::Vec3d(corner.x, corner.y, 1.0);
        left = std::min(left, at[0]);
        right = std::max(right, at[0]);
        top = std::min(top, at[1]);
        bottom = std::max(bottom, at[1]);
    }
    // Kept within int's reach before rounding: a face far off the picture.
    static constexpr double reach = 1e9;
    const auto whole = [](double v) { return static_cast<int>(std::clamp(v, -reach, reach)); };
    const cv::Rect covered(cv::Point(whole(std::floor(left - 2)), whole(std::floor(top - 2))),
                           cv::Point(whole(std::ceil(right + 2)), whole(std::ceil(bottom + 2))));
    const cv::Rect part = covered & held;
    if (!part.empty()) return part;
    const int x = std::clamp(covered.x + covered.width / 2, held.x, held.x + held.width - 1);
    const int y = std::clamp(covered.y + covered.height / 2, held.y, held.y + held.height - 1);
    return {x, y, 1, 1};
}

cv::Mat Resampled(const cv::Mat& grey, cv::Point origin, const cv::Matx23d& transform, int rows,
                  int columns) {
    const cv::Rect part = CoveredPart(transform, rows, columns, cv::Rect(origin, grey.size()));
    cv::Mat source = grey(part - origin);
    const double scale =
        std::sqrt(std::abs(transform(0, 0) * transform(1, 1) - transform(0, 1) * transform(1, 0)));
    if (scale < 0.5) {
        // Average down to about twice the image's resolution, then interpolate.
        cv::Mat averaged;
        const cv::Size size(std::max(1, static_cast<int>(std::lround(source.cols * 2.0 * scale))),
                            std::max(1, static_cast<int>(std::lround(source.rows * 2.0 * scale))));
        cv::resize(source, averaged, size, 0.0, 0.0, cv::INTER_AREA);
        source = averaged;
    }
    // Points are measured from pixels' corners, indices from their centres:
    // source index u is picture point part's corner + (u + 0.5) / f, and
    // image index d is image point d + 0.5.
    const double fx = double(source.cols) / part.width, fy = double(source.rows) / part.height;
    cv::Matx23d map;
    for (int r = 0; r < 2; ++r) {
        map(r, 0) = transform(r, 0) / fx;
        map(r, 1) = transform(r, 1) / fy;
        map(r, 2) = transform(r, 0) * (part.x + 0.5 / fx) + transform(r, 1) * (part.y + 0.5 / fy) +
                    transform(r, 2) - 0.5;
    }
    cv::Mat out;
    cv::warpAffine(source, out, map, cv::Size(columns, rows), cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
    return out;
}
