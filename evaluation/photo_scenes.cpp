// Setting crops into scenes: each crop's face box (the cascade's box on ORL's
// crops, the median of the 400: from x -0.011, y 0.156 of the crop, 0.978 of
// its width a side) is placed where the scene's truth says, the crop blended
// in through a soft oval so no rectangle's edge is left for a finder to see.
#include "photo_scenes.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <stdexcept>

namespace {

constexpr double boxLeftShare = -0.011;
constexpr double boxTopShare = 0.156;
constexpr double boxSideShare = 0.978;

double Uniform(std::mt19937& random, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
}

int Whole(std::mt19937& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

cv::Scalar Colour(std::mt19937& random) {
    return cv::Scalar(Whole(random, 0, 255), Whole(random, 0, 255), Whole(random, 0, 255));
}

}  // namespace

SceneComposer::SceneComposer(const std::vector<std::string>& backgroundFiles, unsigned seed)
    : random(seed) {
    for (const std::string& file : backgroundFiles) {
        cv::Mat photo = cv::imread(file, cv::IMREAD_COLOR);
        if (!photo.empty()) backgrounds.push_back(photo);
    }
}

cv::Mat SceneComposer::Background(cv::Size size) {
    if (!backgrounds.empty() && Uniform(random, 0, 1) < 0.6) {
        const cv::Mat& photo = backgrounds[static_cast<size_t>(
            Whole(random, 0, static_cast<int>(backgrounds.size()) - 1))];
        const double scale =
            std::max(double(size.width) / photo.cols, double(size.height) / photo.rows) *
            Uniform(random, 1.0, 1.5);
        cv::Mat big;
        cv::resize(photo, big, cv::Size(int(photo.cols * scale) + 1, int(photo.rows * scale) + 1));
        const int x = Whole(random, 0, big.cols - size.width);
        const int y = Whole(random, 0, big.rows - size.height);
        return big(cv::Rect(x, y, size.width, size.height)).clone();
    }
    // A gradient with shapes, lines and text over it, sometimes striped or
    // chequered like a wall or a shirt.
    cv::Mat scene(size, CV_8UC3);
    const cv::Scalar top = Colour(random), bottom = Colour(random);
    for (int r = 0; r < size.height; ++r) {
        const double t = double(r) / std::max(1, size.height - 1);
        scene.row(r).setTo(top * (1 - t) + bottom * t);
    }
    const int shapes = Whole(random, 5, 40);
    for (int k = 0; k < shapes; ++k) {
        const cv::Scalar colour = Colour(random);
        const cv::Point at(Whole(random, 0, size.width), Whole(random, 0, size.height));
        const int extent = Whole(random, 10, std::max(11, size.width / 4));
        switch (Whole(random, 0, 3)) {
            case 0:
                cv::rectangle(scene, at, at + cv::Point(extent, Whole(random, 10, extent + 10)),
                              colour, cv::FILLED);
                break;
            case 1:
                cv::ellipse(scene, at, cv::Size(extent / 2, Whole(random, 5, extent)),
                            Whole(random, 0, 180), 0, 360, colour, cv::FILLED);
                break;
            case 2:
                cv::line(scene, at,
                         cv::Point(Whole(random, 0, size.width), Whole(random, 0, size.height)),
                         colour, Whole(random, 1, 8));
                break;
            default:
                cv::putText(scene, "Ab" + std::to_string(Whole(random, 0, 99)), at,
                            cv::FONT_HERSHEY_SIMPLEX, Uniform(random, 0.5, 4.0), colour,
                            Whole(random, 1, 5));
        }
    }
    if (Uniform(random, 0, 1) < 0.4) {
        const int period = Whole(random, 6, 40);
        const bool chequered = Uniform(random, 0, 1) < 0.5;
        for (int r = 0; r < size.height; ++r)
            for (int c = 0; c < size.width; ++c)
                if (((c / period) + (chequered ? r / period : 0)) % 2 == 0)
                    scene.at<cv::Vec3b>(r, c) /= 2;
    }
    return scene;
}

Scene SceneComposer::Compose(cv::Size size, const std::vector<SceneFaceSource>& faces,
                             double maxTurnDegrees) {
    Scene scene;
    cv::Mat canvas;
    Background(size).convertTo(canvas, CV_32FC3);
    const double shorter = std::min(size.width, size.height);
    for (const SceneFaceSource& source : faces) {
        cv::Mat crop = cv::imread(source.file, cv::IMREAD_GRAYSCALE);
        if (crop.empty()) throw std::runtime_error("cannot read the face " + source.file);
        // A place apart from the faces set so far (the last try stands).
        double side = 0.0;
        cv::Point2d centre;
        for (int attempt = 0; attempt < 100; ++attempt) {
            side = std::max(28.0, faces.size() > 1 ? Uniform(random, shorter / 11, shorter / 3.2)
                                                   : Uniform(random, shorter / 8, shorter / 2.2));
            const double margin = std::min(side * 0.9, shorter / 2 - 1);
            centre = {Uniform(random, margin, size.width - margin),
                      Uniform(random, std::min(margin * 1.1, size.height / 2.0),
                              std::max(size.height - margin * 1.1, size.height / 2.0))};
            bool apart = true;
            for (const SceneFace& other : scene.faces) {
                const cv::Point2d otherCentre(other.box.x + other.box.width / 2,
                                              other.box.y + other.box.height / 2);
                apart = apart &&
                        (std::abs(centre.x - otherCentre.x) > (side + other.box.width) * 0.75 ||
                         std::abs(centre.y - otherCentre.y) > (side + other.box.height) * 0.8);
            }
            if (apart) break;
        }
        const double turn = Uniform(random, -maxTurnDegrees, maxTurnDegrees);
        const cv::Vec3d tone(Uniform(random, 0.75, 0.95), Uniform(random, 0.8, 1.0),
                             Uniform(random, 0.95, 1.15));  // blue, green, red
        cv::Mat lit;
        crop.convertTo(lit, CV_32F, Uniform(random, 0.7, 1.3), Uniform(random, -30, 30));

        // The crop with a margin of its own edge, and the oval it shows through.
        const int pad = crop.cols / 5;
        cv::Mat framed;
        cv::copyMakeBorder(lit, framed, pad, pad, pad, pad, cv::BORDER_REPLICATE);
        cv::Mat mask = cv::Mat::zeros(framed.size(), CV_32F);
        cv::ellipse(mask, cv::Point(framed.cols / 2, framed.rows / 2),
                    cv::Size(crop.cols / 2, crop.rows / 2), 0, 0, 360, cv::Scalar(1), cv::FILLED);
        cv::GaussianBlur(mask, mask, cv::Size(), crop.cols * 0.05);
        cv::Mat coloured;
        cv::merge(std::vector<cv::Mat>{framed * tone[0], framed * tone[1], framed * tone[2]},
                  coloured);

        const double cropSide = boxSideShare * crop.cols;
        const cv::Point2d boxCentre(pad + boxLeftShare * crop.cols + cropSide / 2,
                                    pad + boxTopShare * crop.rows + cropSide / 2);
        cv::Mat place = cv::getRotationMatrix2D(boxCentre, turn, side / cropSide);
        place.at<double>(0, 2) += centre.x - boxCentre.x;
        place.at<double>(1, 2) += centre.y - boxCentre.y;
        cv::Mat warped, warpedMask;
        cv::warpAffine(coloured, warped, place, size);
        cv::warpAffine(mask, warpedMask, place, size);
        cv::Mat mask3;
        cv::merge(std::vector<cv::Mat>{warpedMask, warpedMask, warpedMask}, mask3);
        canvas = canvas.mul(cv::Scalar::all(1.0) - mask3) + warped.mul(mask3);
        scene.faces.push_back({cv::Rect2d(centre.x - side / 2, centre.y - side / 2, side, side),
                               source.person, source.file, -turn});
    }
    const cv::Scalar cast(Uniform(random, 0.8, 1.2), Uniform(random, 0.8, 1.2),
                          Uniform(random, 0.8, 1.2));
    canvas = canvas.mul(cv::Mat(canvas.size(), CV_32FC3, cast));
    canvas.convertTo(scene.bgr, CV_8UC3);
    return scene;
}

std::vector<unsigned char> JpegBytes(const cv::Mat& bgr, int quality) {
    std::vector<unsigned char> bytes;
    cv::imencode(".jpg", bgr, bytes, {cv::IMWRITE_JPEG_QUALITY, quality});
    return bytes;
}
