// morlin train: a gallery read, a model trained and, when asked, calibrated
// for strangers, then written.
#include <cstdio>

#include "commands.h"
#include "face_dataset.h"
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

}  // namespace

int RunTrain(const CommandLine& line) {
    const std::string& folder = line.operands.front();
    const Progress terminal = TerminalProgress();
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
    morlin::Identifier identifier(line.settings);
    std::optional<morlin::Calibration> calibration;
    try {
        identifier.Train(images, names, Showing(terminal, "training"));
        if (line.strangerRate)
            calibration = identifier.Calibrate(*line.strangerRate,
                                               Showing(terminal, "calibrating: people left out"));
    } catch (const morlin::Error& e) {
        Tell(DisplayName(folder) + ": " + DisplayName(e.what()));
        return ExitDataError;
    }
    if (calibration && !calibration->warning.empty()) Tell("warning: " + calibration->warning);
    if (const int status = SaveModel(identifier, line)) return status;

    const morlin::ModelInfo info = identifier.Info();
    std::printf("trained %s: %zu people, %d images of %dx%d, method %s; threshold %.6g",
                DisplayName(line.model).c_str(), info.people.size(), info.enrolledImages,
                info.columns, info.rows, morlin::MethodName(info.settings.method).c_str(),
                info.settings.designed.threshold);
    if (calibration)
        std::printf(" (calibrated for %s of strangers named, from %zu people left out)",
                    Percent(calibration->target).c_str(), calibration->people);
    std::printf("\n");
    if (!calibration && !line.thresholdGiven && info.settings.method != morlin::Method::Designed)
        Tell(
            "note: the threshold is the designed default, which names every face this method "
            "scores (its scores lie below 1); give --stranger-rate R to turn strangers away");
    return ExitOk;
}
