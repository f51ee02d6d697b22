// Finding and aligning faces through libmorlin.so, on photos composed from
// ORL's crops with the truth kept: every face found where it is and nothing
// else, the same answer from a colour picture and its grey, from any row
// layout, at any size the picture may have, and a crop that puts the eyes
// where the crop keeps them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "face_data.h"
#include "morlin/faces.h"
#include "photo_scenes.h"

namespace {

double Overlap(const morlin::Box& a, const cv::Rect2d& b) {
    const cv::Rect2d box(a.x, a.y, a.width, a.height);
    const double inside = (box & b).area();
    return inside / (box.area() + b.area() - inside);
}

// The picture of an RGB image, sharing its pixels.
morlin::Picture PictureOf(const cv::Mat& rgb) {
    return {rgb.rows, rgb.cols, rgb.channels(), static_cast<std::ptrdiff_t>(rgb.step), rgb.data};
}

cv::Mat Rgb(const cv::Mat& bgr) {
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    return rgb;
}

std::string OrlFace(int person, int image) {
    return OrlFolder() + "/s" + std::to_string(person) + "/" + std::to_string(image) + ".pgm";
}

class FaceFinderTest : public ::testing::Test {
protected:
    // Scenes of 0 to 5 ORL faces at several sizes, turned up to 20 degrees.
    static std::vector<Scene> Scenes(unsigned seed, int count) {
        SceneComposer composer({}, seed);
        const cv::Size sizes[] = {{1280, 960}, {800, 600}, {1080, 1440}, {640, 480}};
        std::vector<Scene> scenes;
        for (int k = 0; k < count; ++k) {
            std::vector<SceneFaceSource> faces;
            const int people = k % 6;
            for (int f = 0; f < people; ++f) {
                const int person = 1 + (k * 7 + f * 13) % 40, image = 1 + (k + f) % 10;
                faces.push_back({"s" + std::to_string(person), OrlFace(person, image)});
            }
            scenes.push_back(composer.Compose(sizes[k % 4], faces));
        }
        return scenes;
    }

    morlin::FaceFinder finder;
};

TEST_F(FaceFinderTest, ComposedPhotosGiveEveryFaceWhereItIsAndNothingElse) {
    int faces = 0, found = 0, falseBoxes = 0;
    for (const Scene& scene : Scenes(7, 24)) {
        const cv::Mat rgb = Rgb(scene.bgr);
        const std::vector<morlin::Face> answer = finder.Find(PictureOf(rgb));
        std::vector<bool> used(answer.size(), false);
        for (const SceneFace& truth : scene.faces) {
            ++faces;
            for (size_t i = 0; i < answer.size(); ++i)
                if (!used[i] && Overlap(answer[i].box, truth.box) >= 0.5) {
                    used[i] = true;
                    ++found;
                    break;
                }
        }
        falseBoxes += static_cast<int>(std::count(used.begin(), used.end(), false));
        for (size_t i = 1; i < answer.size(); ++i)
            EXPECT_GE(int64_t{answer[i - 1].box.width} * answer[i - 1].box.height,
                      int64_t{answer[i].box.width} * answer[i].box.height)
                << "largest first";
    }
    ASSERT_EQ(faces, 60);
    EXPECT_GE(found, 57) << "of " << faces;
    EXPECT_EQ(falseBoxes, 0);
}

TEST_F(FaceFinderTest, ColourItsGreyAnyLayoutAndAlphaGiveTheSameFaces) {
    const Scene scene = Scenes(11, 4)[3];
    const cv::Mat rgb = Rgb(scene.bgr);
    cv::Mat grey(rgb.size(), CV_8UC1), rgba, padded;
    for (int r = 0; r < rgb.rows; ++r)
        for (int c = 0; c < rgb.cols; ++c) {
            const cv::Vec3b p = rgb.at<cv::Vec3b>(r, c);
            grey.at<uint8_t>(r, c) = morlin::Luma(p[0], p[1], p[2]);
        }
    cv::cvtColor(rgb, rgba, cv::COLOR_RGB2RGBA);
    // Rows 7 bytes longer than their pixels, as a host's buffer may have.
    cv::Mat wide(rgb.rows, rgb.cols * 3 + 7, CV_8UC1, cv::Scalar(255));
    rgb.reshape(1).copyTo(wide.colRange(0, rgb.cols * 3));
    morlin::Picture stridden{rgb.rows, rgb.cols, 3, static_cast<std::ptrdiff_t>(wide.step),
                             wide.data};

    const std::vector<morlin::Face> colour = finder.Find(PictureOf(rgb));
    ASSERT_EQ(colour.size(), scene.faces.size());
    for (const morlin::Picture& other : {PictureOf(grey), PictureOf(rgba), stridden}) {
        const std::vector<morlin::Face> answer = finder.Find(other);
        ASSERT_EQ(answer.size(), colour.size()) << other.channels << " channels";
        for (size_t i = 0; i < answer.size(); ++i) {
            EXPECT_EQ(answer[i].box.x, colour[i].box.x);
            EXPECT_EQ(answer[i].box.y, colour[i].box.y);
            EXPECT_EQ(answer[i].box.width, colour[i].box.width);
            EXPECT_EQ(answer[i].leftEye.has_value(), colour[i].leftEye.has_value());
            EXPECT_EQ(morlin::AlignFace(other, answer[i], 112, 92),
                      morlin::AlignFace(PictureOf(rgb), colour[i], 112, 92));
        }
    }
}

TEST_F(FaceFinderTest, PicturesOfAnySizeWithoutFacesGiveNone) {
    const cv::Mat one(1, 1, CV_8UC3, cv::Scalar(200, 150, 100));
    const cv::Mat tiny(23, 40, CV_8UC1, cv::Scalar(90));
    cv::Mat noise(480, 640, CV_8UC1), huge(10000, 10000, CV_8UC1);
    cv::randu(noise, 0, 255);
    cv::randu(huge, 0, 255);
    // Drawn backgrounds: stripes, text and shapes, no face.
    SceneComposer composer({}, 5);
    for (const cv::Mat& picture :
         {one, tiny, noise, huge, Rgb(composer.Compose({1280, 720}, {}).bgr),
          Rgb(composer.Compose({720, 1280}, {}).bgr)})
        EXPECT_TRUE(finder.Find(PictureOf(picture)).empty()) << picture.cols << "x" << picture.rows;
}

TEST_F(FaceFinderTest, FaceFillingThePictureIsFound) {
    // An ORL crop is all face: the box reaches its edges.
    const cv::Mat crop = cv::imread(OrlFace(1, 1), cv::IMREAD_GRAYSCALE);
    const std::vector<morlin::Face> faces = finder.Find(PictureOf(crop));
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_GT(faces[0].box.width, crop.cols * 3 / 4);
}

TEST_F(FaceFinderTest, PicturesThatCannotBeReadAreRefusedByName) {
    const uint8_t pixels[12] = {};
    struct Case {
        morlin::Picture picture;
        const char* told;
    };
    for (const Case& c :
         {Case{{2, 2, 3, 0, nullptr}, "no pixels"}, Case{{0, 2, 3, 0, pixels}, "no usable size"},
          Case{{2, -1, 1, 0, pixels}, "no usable size"}, Case{{2, 2, 2, 0, pixels}, "not 2"},
          Case{{2, 2, 3, 5, pixels}, "5 bytes apart"}}) {
        try {
            finder.Find(c.picture);
            ADD_FAILURE() << c.told;
        } catch (const morlin::Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.told), std::string::npos) << e.what();
        }
    }
    const morlin::Picture fine{2, 2, 3, 0, pixels};
    EXPECT_THROW(morlin::AlignFace(fine, {}, 4, 92), morlin::Error);
    EXPECT_THROW(morlin::AlignFace(fine, {}, 112, 5000), morlin::Error);
}

// Two bright dots stand for the eyes of a face turned by 15 degrees; the
// crop puts them level where a 112 x 92 crop keeps eyes.
TEST_F(FaceFinderTest, AlignedCropPutsTheEyesLevelWhereTheCropKeepsThem) {
    cv::Mat picture(600, 800, CV_8UC1, cv::Scalar(0));
    // Pixel (300, 250)'s centre, and 97 right and 26 down from it: 15 degrees.
    const cv::Point2d left(300.5, 250.5), right(397.5, 276.5);
    cv::circle(picture, cv::Point(int(left.x), int(left.y)), 4, cv::Scalar(255), cv::FILLED);
    cv::circle(picture, cv::Point(int(right.x), int(right.y)), 4, cv::Scalar(255), cv::FILLED);
    morlin::Face face;
    face.box = {250, 200, 200, 200};
    face.leftEye = morlin::Point{left.x, left.y};
    face.rightEye = morlin::Point{right.x, right.y};
    const std::vector<uint8_t> crop = morlin::AlignFace(PictureOf(picture), face, 112, 92);
    ASSERT_EQ(crop.size(), 112u * 92u);
    const cv::Mat aligned(112, 92, CV_8UC1, const_cast<uint8_t*>(crop.data()));
    // Each dot's brightest point, in the crop's left and right halves.
    for (const auto& [columns, expectedX] : {std::pair{cv::Range(0, 46), 0.5 * 92 - 0.177 * 92},
                                             std::pair{cv::Range(46, 92), 0.5 * 92 + 0.177 * 92}}) {
        cv::Moments m = cv::moments(aligned.colRange(columns) > 128, true);
        ASSERT_GT(m.m00, 0.0);
        EXPECT_NEAR(columns.start + m.m10 / m.m00 + 0.5, expectedX, 0.6);
        EXPECT_NEAR(m.m01 / m.m00 + 0.5, 0.466 * 112, 0.6);
    }
}

TEST_F(FaceFinderTest, ThreadsFindingAtOnceGiveWhatOneGives) {
    const std::vector<Scene> scenes = Scenes(3, 4);
    std::vector<cv::Mat> pictures;
    std::vector<size_t> alone;
    for (const Scene& scene : scenes) {
        pictures.push_back(Rgb(scene.bgr));
        alone.push_back(finder.Find(PictureOf(pictures.back())).size());
    }
    std::vector<std::future<std::vector<size_t>>> runs;
    for (int t = 0; t < 4; ++t)
        runs.push_back(std::async(std::launch::async, [&] {
            std::vector<size_t> counts;
            for (const cv::Mat& picture : pictures)
                counts.push_back(finder.Find(PictureOf(picture)).size());
            return counts;
        }));
    for (auto& run : runs) EXPECT_EQ(run.get(), alone);
}

TEST(FaceFinderFilesTest, MissingCascadeNamesThePackageToInstall) {
    ::setenv("MORLIN_CASCADES", "/nonexistent-cascades", 1);
    try {
        morlin::FaceFinder finder;
        ADD_FAILURE() << "a finder without its files";
    } catch (const morlin::Error& e) {
        EXPECT_NE(std::string(e.what()).find("opencv-data"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("/nonexistent-cascades"), std::string::npos);
    }
    ::unsetenv("MORLIN_CASCADES");
}

}  // namespace
