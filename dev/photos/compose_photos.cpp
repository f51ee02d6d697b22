// compose-photos: a photo set made from a crop set, with the truth kept, for
// the photo benchmark (scripts/compare-photos) and for trying the finder by
// hand. From a face set of one folder per person (ORL: ten crops each):
//
//   OUT/train/PERSON/K.jpg  one photo per training crop of each enrolled
//                           person (the first TRAIN crops), alone in a scene
//   OUT/probes/NNN.jpg      group photos: the enrolled people's other crops
//                           and every crop of the strangers, two to five to
//                           a photo, shuffled, and photos with no face
//   OUT/truth.json          each probe photo's faces: box, person, whether
//                           enrolled
//
// Which people are enrolled: every other one (--half even or odd), as the
// open-set protocol of scripts/compare-peers has it.
#include <opencv2/imgcodecs.hpp>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "face_dataset.h"
#include "photo_scenes.h"

namespace {

const cv::Size photoSizes[] = {{1920, 1080}, {1280, 960}, {1080, 1440}, {1024, 768}, {800, 600}};

void WriteJpeg(const std::filesystem::path& file, const Scene& scene, std::mt19937& random) {
    std::filesystem::create_directories(file.parent_path());
    const std::vector<unsigned char> bytes =
        JpegBytes(scene.bgr, std::uniform_int_distribution<int>(45, 95)(random));
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Composes a photo set from a face set of crops, with the truth kept.");
    parser.addHelpOption();
    parser.addPositionalArgument("FACES", "The face set: one folder of crops per person.");
    parser.addPositionalArgument("OUT", "The folder to write the photos to.");
    parser.addOption(
        {"half", "Enrol the even (first, third, ...) or odd people.", "even|odd", "even"});
    parser.addOption({"train", "Training crops per enrolled person (default 5).", "K", "5"});
    parser.addOption({"seed", "The random numbers' seed (default 1).", "N", "1"});
    parser.addOption({"empty", "Photos without a face among the probes (default 20).", "N", "20"});
    parser.addOption({"backgrounds", "A folder of photos to cut backgrounds from.", "DIR"});
    parser.process(app);
    if (parser.positionalArguments().size() != 2) parser.showHelp(2);
    const std::string faces = parser.positionalArguments()[0].toStdString();
    const std::filesystem::path out = parser.positionalArguments()[1].toStdString();
    const bool even = parser.value("half") != "odd";
    const int train = parser.value("train").toInt();
    const unsigned seed = parser.value("seed").toUInt();

    std::vector<std::string> backgrounds;
    if (parser.isSet("backgrounds")) {
        const std::string folder = parser.value("backgrounds").toStdString();
        for (const std::string& file : SortedEntries(folder, false))
            backgrounds.push_back(folder + "/" + file);
    }
    SceneComposer composer(backgrounds, seed);
    std::mt19937& random = composer.Random();

    struct Crop {
        SceneFaceSource source;
        bool enrolled;
    };
    std::vector<Crop> probes;
    const std::vector<std::string> people = SortedEntries(faces, true);
    for (size_t p = 0; p < people.size(); ++p) {
        const bool enrolled = (p % 2 == 0) == even;
        const std::vector<std::string> files = SortedEntries(faces + "/" + people[p], false);
        for (size_t k = 0; k < files.size(); ++k) {
            const SceneFaceSource source{people[p], faces + "/" + people[p] + "/" + files[k]};
            if (enrolled && static_cast<int>(k) < train) {
                // A training photo: one person, closer, at one of the sizes.
                const Scene scene = composer.Compose(
                    photoSizes[std::uniform_int_distribution<size_t>(0, 4)(random)], {source},
                    10.0);
                WriteJpeg(out / "train" / people[p] / (std::to_string(k + 1) + ".jpg"), scene,
                          random);
            } else {
                probes.push_back({source, enrolled});
            }
        }
    }
    std::shuffle(probes.begin(), probes.end(), random);

    QJsonObject truth;
    int photo = 0;
    const auto write = [&](const std::vector<Crop>& group) {
        std::vector<SceneFaceSource> sources;
        for (const Crop& crop : group) sources.push_back(crop.source);
        const Scene scene = composer.Compose(
            photoSizes[std::uniform_int_distribution<size_t>(0, 4)(random)], sources);
        char name[32];
        std::snprintf(name, sizeof name, "%03d.jpg", ++photo);
        WriteJpeg(out / "probes" / name, scene, random);
        QJsonArray facesOfPhoto;
        for (size_t f = 0; f < scene.faces.size(); ++f) {
            const SceneFace& face = scene.faces[f];
            facesOfPhoto.append(QJsonObject{
                {"box", QJsonArray{face.box.x, face.box.y, face.box.width, face.box.height}},
                {"person", QString::fromStdString(face.person)},
                {"enrolled", group[f].enrolled},
                {"turn", face.turnDegrees}});
        }
        truth[QString::fromLatin1(name)] = facesOfPhoto;
    };
    for (size_t next = 0; next < probes.size();) {
        const size_t count =
            std::min(probes.size() - next, std::uniform_int_distribution<size_t>(2, 5)(random));
        write(std::vector<Crop>(probes.begin() + static_cast<ptrdiff_t>(next),
                                probes.begin() + static_cast<ptrdiff_t>(next + count)));
        next += count;
    }
    for (int k = 0; k < parser.value("empty").toInt(); ++k) write({});
    std::ofstream(out / "truth.json") << QJsonDocument(truth).toJson().toStdString();
    std::printf("%d probe photos, %zu faces among them, in %s\n", photo, probes.size(),
                out.string().c_str());
    return 0;
}
