// morlin info: what a model holds and how it decides.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

#include "commands.h"
#include "face_dataset.h"
#include "setting_text.h"

using namespace morlin_command;

int RunInfo(const CommandLine& line) {
    int status = ExitOk;
    std::optional<morlin::Identifier> identifier = LoadModel(line, status);
    if (!identifier) return status;
    const morlin::ModelInfo info = identifier->Info();
    const morlin::Method method = info.settings.method;
    const bool found = info.faces == morlin::FaceSource::Found;
    const bool calibrated = info.thresholdOrigin == morlin::ThresholdOrigin::Calibrated;
    if (line.json) {
        QJsonArray people;
        for (const morlin::Person& p : info.people)
            people.append(QJsonObject{{"name", ShownName(p.name)}, {"images", p.images}});
        QJsonObject root{{"method", QString::fromStdString(morlin::MethodName(method))},
                         {"setting", QString::fromStdString(DescribeSetting(info.settings))},
                         {"rows", info.rows},
                         {"columns", info.columns},
                         {"basis_images", info.basisImages},
                         {"components", info.components},
                         {"dimensions", info.dimensions},
                         {"enrolled_images", info.enrolledImages},
                         {"people", people},
                         {"faces", found ? "found" : "crops"},
                         {"threshold", JsonNumber(info.settings.designed.threshold)},
                         {"threshold_origin", calibrated ? "calibrated" : "given"},
                         {"threshold_note", ShownName(info.thresholdNote)},
                         {"trained_again_on_enrolment", info.stageFollowsGallery}};
        if (info.calibration)
            root["calibration"] =
                QJsonObject{{"stranger_rate", info.calibration->target},
                            {"threshold", JsonNumber(info.calibration->threshold)},
                            {"people", static_cast<qint64>(info.calibration->people)},
                            {"searches", static_cast<qint64>(info.calibration->searches)},
                            {"warning", ShownName(info.calibration->warning)}};
        std::printf("%s\n", QJsonDocument(root).toJson(QJsonDocument::Compact).constData());
        return ExitOk;
    }
    std::printf("model         %s\n", DisplayName(line.model).c_str());
    std::printf("method        %s: %s\n", morlin::MethodName(method).c_str(),
                morlin::MethodDescription(method).c_str());
    std::printf("setting       %s\n", DescribeSetting(info.settings).c_str());
    std::printf("faces         %s of %dx%d pixels\n",
                found ? "found in pictures and aligned" : "given as crops", info.columns,
                info.rows);
    std::printf(
        "basis         trained on %d images, %d components with information, %d numbers "
        "compared per image\n",
        info.basisImages, info.components, info.dimensions);
    std::printf(
        "enrolled      %zu people, %d images; %s\n", info.people.size(), info.enrolledImages,
        info.stageFollowsGallery ? "small enough to be trained again on every enrolment or removal"
                                 : "enrolments keep the basis as trained");
    std::printf("threshold     %.6g: a face is named when its score is below it; %s\n",
                info.settings.designed.threshold,
                calibrated ? "set by the calibration, following the people enrolled"
                           : "given (by hand, or the designed default)");
    if (!info.thresholdNote.empty()) std::printf("              %s\n", info.thresholdNote.c_str());
    if (info.calibration) {
        std::printf(
            "calibration   for %g %% of strangers named, from %zu people left out in "
            "turn (%zu stranger searches)\n",
            info.calibration->target * 100.0, info.calibration->people, info.calibration->searches);
        if (!info.calibration->warning.empty())
            std::printf("              %s\n", info.calibration->warning.c_str());
    } else {
        std::printf(
            "calibration   none: stranger rates read n/a (morlin train --stranger-rate R)\n");
    }
    // A large gallery's people would fill the screen: the first of them, and
    // how many more (--json lists them all).
    constexpr size_t peopleListed = 20;
    std::string list;
    for (size_t p = 0; p < info.people.size() && p < peopleListed; ++p)
        list += (list.empty() ? "" : ", ") + DisplayName(info.people[p].name) + " (" +
                std::to_string(info.people[p].images) + ")";
    if (info.people.size() > peopleListed)
        list += " and " + std::to_string(info.people.size() - peopleListed) + " more";
    std::printf("people        %s\n", list.c_str());
    return ExitOk;
}
