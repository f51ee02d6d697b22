// Photos made from face crops, with the truth kept: crops of a face set (ORL,
// say) set into larger scenes, the way faces meet a detector in people's
// photos: clutter or a real photo behind them, other sizes, turned in the
// picture, a skin tone and a colour cast, several faces or none. Every
// face's box (the cascade's convention: eyebrows to chin, cheek to cheek) is
// known, so finders can be scored against it. Reproducible from the seed.
#pragma once

#include <random>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

// One crop to set into a scene: its file and whose face it is.
struct SceneFaceSource {
    std::string person;
    std::string file;
};

struct SceneFace {
    cv::Rect2d box;      // where the face's box lies in the scene
    std::string person;  // as given
    std::string file;
    double turnDegrees;  // turned in the picture, clockwise on the screen
};

struct Scene {
    cv::Mat bgr;  // 8-bit, blue green red, as OpenCV keeps colour
    std::vector<SceneFace> faces;
};

class SceneComposer {
public:
    // Backgrounds are cut from the photos named (any left out that cannot
    // be read), or drawn (gradients, shapes, text, stripes) when none is
    // given, and for some scenes anyway.
    SceneComposer(const std::vector<std::string>& backgroundFiles, unsigned seed);

    // A scene of size with faces placed apart at random: each from 1/11 to
    // 1/3.2 of the shorter side (1/8 to 1/2.2 when alone), turned by up to
    // maxTurnDegrees either way, lit brighter or darker, in a skin tone;
    // then a colour cast over all. Throws std::runtime_error for a crop
    // that cannot be read.
    Scene Compose(cv::Size size, const std::vector<SceneFaceSource>& faces,
                  double maxTurnDegrees = 20.0);

    // A draw of this composer's random numbers, for callers that choose
    // sizes or faces from the same seed.
    std::mt19937& Random() { return random; }

private:
    cv::Mat Background(cv::Size size);

    std::vector<cv::Mat> backgrounds;
    std::mt19937 random;
};

// The scene as a JPEG file's bytes at quality (1..100).
std::vector<unsigned char> JpegBytes(const cv::Mat& bgr, int quality);
