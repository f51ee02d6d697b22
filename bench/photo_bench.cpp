// Speed of finding and naming the faces of a 1920 x 1080 photo, beside the
// peer a user would pick instead, in the same run: OpenCV's Haar cascade of
// frontal faces alone (detectMultiScale, scale 1.1, 5 neighbours, faces from
// 1/12 of the shorter side), against FaceFinder::Find with every face
// aligned, and against IdentifyFaces (finding, aligning and naming). The
// photos: ORL faces composed into scenes, two to five to a photo.
//
// Goals: finding and aligning at most 1.5x the cascade's time; naming every
// face adds at most 10 % to finding and aligning.
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "face_data.h"
#include "morlin/faces.h"
#include "morlin/identifier.h"
#include "photo_scenes.h"

namespace {

std::string OrlFace(int person, int image) {
    return OrlFolder() + "/s" + std::to_string(person) + "/" + std::to_string(image) + ".pgm";
}

// Photos to cut backgrounds from: the folder MORLIN_BENCH_BACKGROUNDS names
// (scripts/compare-photos gives real photos), else drawn ones only.
std::vector<std::string> Backgrounds() {
    std::vector<std::string> files;
    if (const char* folder = std::getenv("MORLIN_BENCH_BACKGROUNDS"))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Eight 1920 x 1080 scenes of two to five faces, in red, green, blue.
const std::vector<cv::Mat>& Photos() {
    static const std::vector<cv::Mat> photos = [] {
        SceneComposer composer(Backgrounds(), 17);
        std::vector<cv::Mat> made;
        for (int k = 0; k < 8; ++k) {
            std::vector<SceneFaceSource> faces;
            for (int f = 0; f < 2 + k % 4; ++f)
                faces.push_back({"", OrlFace(1 + (k * 5 + f * 3) % 40, 6 + (k + f) % 5)});
            cv::Mat rgb;
            cv::cvtColor(composer.Compose({1920, 1080}, faces).bgr, rgb, cv::COLOR_BGR2RGB);
            made.push_back(rgb);
        }
        return made;
    }();
    return photos;
}

morlin::Picture PictureOf(const cv::Mat& rgb) {
    return {rgb.rows, rgb.cols, 3, static_cast<std::ptrdiff_t>(rgb.step), rgb.data};
}

void HaarCascadeAlone(benchmark::State& state) {
    cv::CascadeClassifier cascade(
        "/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml");
    std::vector<cv::Mat> greys;
    for (const cv::Mat& rgb : Photos()) {
        cv::Mat grey;
        cv::cvtColor(rgb, grey, cv::COLOR_RGB2GRAY);
        greys.push_back(grey);
    }
    size_t next = 0;
    for (auto _ : state) {
        // The cascade's own grey conversion is part of its work, as ours is.
        cv::Mat grey;
        cv::cvtColor(Photos()[next], grey, cv::COLOR_RGB2GRAY);
        const int smallest = std::min(grey.rows, grey.cols) / 12;
        std::vector<cv::Rect> faces;
        cascade.detectMultiScale(grey, faces, 1.1, 5, 0, cv::Size(smallest, smallest));
        benchmark::DoNotOptimize(faces);
        next = (next + 1) % Photos().size();
    }
}

void FindAndAlign(benchmark::State& state) {
    const morlin::FaceFinder finder;
    Photos();
    size_t next = 0;
    for (auto _ : state) {
        const morlin::Picture picture = PictureOf(Photos()[next]);
        for (const morlin::Face& face : finder.Find(picture))
            benchmark::DoNotOptimize(morlin::AlignFace(picture, face, 112, 92));
        next = (next + 1) % Photos().size();
    }
}

void FindAlignAndName(benchmark::State& state) {
    // A model of found faces: ORL people 1-20 set alone into photos.
    SceneComposer composer({}, 5);
    std::vector<cv::Mat> training;
    std::vector<morlin::Picture> pictures;
    std::vector<std::string> people;
    for (int person = 1; person <= 20; ++person)
        for (int image = 1; image <= 5; ++image) {
            cv::Mat rgb;
            cv::cvtColor(composer.Compose({800, 600}, {{"", OrlFace(person, image)}}, 10.0).bgr,
                         rgb, cv::COLOR_BGR2RGB);
            training.push_back(rgb);
            people.push_back("s" + std::to_string(person));
        }
    // Photos whose face the finder misses are left out, as morlin train does.
    const morlin::FaceFinder finder;
    std::vector<morlin::Face> faces;
    std::vector<std::string> named;
    for (size_t i = 0; i < training.size(); ++i) {
        const std::vector<morlin::Face> found = finder.Find(PictureOf(training[i]));
        if (found.empty()) continue;
        pictures.push_back(PictureOf(training[i]));
        faces.push_back(found.front());
        named.push_back(people[i]);
    }
    morlin::Identifier identifier;
    identifier.Train(pictures, faces, named);
    Photos();
    identifier.IdentifyFaces(PictureOf(Photos().front()));  // the finder made
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(identifier.IdentifyFaces(PictureOf(Photos()[next])));
        next = (next + 1) % Photos().size();
    }
}

BENCHMARK(HaarCascadeAlone)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(FindAndAlign)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(FindAlignAndName)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
