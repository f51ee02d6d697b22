// identify-host: the smallest program that uses the identifier. It trains on
// the first five images of every person of a face folder, calibrates for 5 %
// of strangers, saves the model, loads it into a new identifier and names the
// other images with it.
//
//   identify-host DATASET MODEL
//
// DATASET holds one folder per person, named after the person, with the
// images 1.pgm, 2.pgm, ... (the layout of the ORL faces).
#include <morlin/identifier.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "pgm_image.h"

namespace fs = std::filesystem;

struct Face {
    GreyImage image;
    std::string person;
};

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: identify-host DATASET MODEL\n");
        return 2;
    }
    std::vector<Face> enrolled, probes;
    std::vector<fs::path> people;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[1]))
        if (entry.is_directory()) people.push_back(entry.path());
    std::sort(people.begin(), people.end());
    for (const fs::path& person : people)
        for (int k = 1; fs::exists(person / (std::to_string(k) + ".pgm")); ++k) {
            std::string error;
            std::optional<GreyImage> image = ReadPgm(person / (std::to_string(k) + ".pgm"), error);
            if (!image) {
                std::fprintf(stderr, "identify-host: %s\n", error.c_str());
                return 1;
            }
            (k <= 5 ? enrolled : probes).push_back({std::move(*image), person.filename()});
        }

    // Images as the identifier takes them: rows, columns and the pixels, row after row.
    const auto imageOf = [](const Face& face) {
        return morlin::Image{face.image.rows, face.image.columns, nullptr,
                             face.image.pixels.data()};
    };
    std::vector<morlin::Image> images;
    std::vector<std::string> names;
    for (const Face& face : enrolled) {
        images.push_back(imageOf(face));
        names.push_back(face.person);
    }
    try {
        morlin::Identifier trained;  // the default method, lbp-discriminant
        trained.Train(images, names);
        const morlin::Calibration calibration = trained.Calibrate(0.05);
        trained.Save(argv[2]);

        const morlin::Identifier loaded = morlin::Identifier::Load(argv[2]);
        int named = 0;
        for (const Face& probe : probes) {
            const morlin::Identification answer = loaded.Identify(imageOf(probe));
            if (answer.person == probe.person) ++named;  // nothing: unknown
        }
        std::printf(
            "%zu people enrolled, threshold %.4f for 5 %% of strangers; "
            "%d of %zu other images named rightly by the model loaded from %s\n",
            people.size(), calibration.threshold, named, probes.size(), argv[2]);
    } catch (const morlin::Error& e) {
        std::fprintf(stderr, "identify-host: %s\n", e.what());
        return 1;
    }
    return 0;
}
