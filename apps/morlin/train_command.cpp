// morlin train: a gallery read (crops as they are, or the largest face of
// each photo found and aligned), a model trained and calibrated, written.
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "face_dataset.h"
#include "gallery_faces.h"
#include "terminal_progress.h"

using namespace morlin_command;

namespace {

// The library's progress as the terminal's, under one heading.
morlin::Progress Showing(const Progress& terminal, const std::string& what) {
    if (!terminal) return {};
    return [terminal, what](int done, int total) {
        terminal(done, total, what);
        return true;
    };
}

std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", share * 100.0);
    return text;
}

// Trains on the gallery's crops, read as grey levels, all of one size.
int TrainOnCrops(const CommandLine& line, morlin::Identifier& identifier,
                 const Progress& terminal) {
    const std::string& folder = line.operands.front();
    FaceDataset dataset;
    std::string error;
    if (!LoadFaceDataset(folder, line.perPerson, dataset, error, std::nullopt,
                         [&](int read, int total) {
                             if (terminal) terminal(read, total, "reading images");
                             return true;
                         })) {
        Tell(error);
        return ReadStatus(folder);
    }
    std::vector<morlin::Image> images;
    std::vector<std::string> names;
    for (FaceImage& face : dataset.gallery) {
        images.push_back({dataset.rows, dataset.columns, nullptr, face.grey.data()});
        names.push_back(face.person);
    }
    identifier.Train(images, names, Showing(terminal, "training"));
    return ExitOk;
}

// Trains on the largest face of each photo; the photos left out are told.
int TrainOnPhotos(const CommandLine& line, const std::vector<PersonFiles>& gallery,
                  morlin::Identifier& identifier, const morlin::FaceFinder& finder,
                  const Progress& terminal) {
    int status = ExitOk;
    std::vector<std::vector<uint8_t>> crops;
    std::vector<std::string> names;
    int done = 0, total = 0;
    for (const PersonFiles& person : gallery) total += static_cast<int>(person.files.size());
    for (const PersonFiles& person : gallery) {
        const AlignedFaces faces = AlignedFacesOf(finder, person.files, line.settings.faceRows,
                                                  line.settings.faceColumns, [&](int) {
                                                      if (terminal)
                                                          terminal(++done, total, "finding faces");
                                                  });
        for (const std::string& note : faces.notes) Tell(note);
        if (faces.unreadable > 0) status = ExitDataError;
        if (faces.crops.empty()) {
            Tell(DisplayName(person.person) + ": no face found in any image; not enrolled");
            continue;
        }
        crops.insert(crops.end(), faces.crops.begin(), faces.crops.end());
        names.insert(names.end(), faces.crops.size(), person.person);
    }
    if (crops.empty()) {
        Tell(DisplayName(line.operands.front()) + ": no face found in any image");
        return ExitDataError;
    }
    std::vector<morlin::Image> images;
    for (const std::vector<uint8_t>& crop : crops)
        images.push_back({line.settings.faceRows, line.settings.faceColumns, crop.data(), nullptr});
    identifier.TrainOnAligned(images, names, Showing(terminal, "training"));
    return status;
}

}  // namespace

int RunTrain(const CommandLine& line) {
    const std::string& folder = line.operands.front();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        Tell(DisplayName(folder) + ": no such folder");
        return ReadStatus(folder);
    }
    int keyStatus = ExitOk;
    if (!ModelKey(line, keyStatus)) return keyStatus;
    const Progress terminal = TerminalProgress();
    morlin::Identifier identifier(line.settings);
    int status = ExitOk;
    try {
        const std::vector<PersonFiles> gallery = GalleryFiles(folder, line.perPerson);
        std::optional<morlin::FaceFinder> finder;
        bool crops = line.faces == FaceChoice::Whole;
        if (line.faces != FaceChoice::Whole) {
            finder.emplace();
            std::vector<std::string> all;
            for (const PersonFiles& person : gallery)
                all.insert(all.end(), person.files.begin(), person.files.end());
            crops = line.faces == FaceChoice::Decide && LooksLikeCropSet(*finder, all);
        }
        status = crops ? TrainOnCrops(line, identifier, terminal)
                       : TrainOnPhotos(line, gallery, identifier, *finder, terminal);
        if (!identifier.Trained()) return status;
    } catch (const morlin::Error& e) {
        Tell(DisplayName(folder) + ": " + DisplayName(e.what()));
        return ExitDataError;
    }
    const morlin::ModelInfo info = identifier.Info();
    if (info.calibration && !info.calibration->warning.empty())
        Tell("warning: " + info.calibration->warning);
    if (!info.thresholdNote.empty()) Tell("warning: " + info.thresholdNote);
    if (const int saved = SaveModel(identifier, line)) return saved;

    std::printf("trained %s: %zu people, %d %s of %dx%d, method %s; threshold %.6g",
                DisplayName(line.model).c_str(), info.people.size(), info.enrolledImages,
                info.faces == morlin::FaceSource::Found ? "faces found and aligned" : "crops",
                info.columns, info.rows, morlin::MethodName(info.settings.method).c_str(),
                info.settings.designed.threshold);
    if (info.thresholdOrigin == morlin::ThresholdOrigin::Calibrated && info.calibration)
        std::printf(" (calibrated for %s of strangers named, from %zu people left out)",
                    Percent(info.calibration->target).c_str(), info.calibration->people);
    std::printf("\n");
    if (info.thresholdOrigin == morlin::ThresholdOrigin::Given &&
        info.settings.method != morlin::Method::Designed && info.settings.designed.threshold >= 1.0)
        Tell(
            "note: the threshold is at least 1, which names every face this method scores (its "
            "scores lie below 1); give --stranger-rate R to turn strangers away");
    return status;
}
