// morlin identify: each image named or called unknown, as lines of text or
// one JSON array; the images go to the identifier in one batch.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

#include "commands.h"
#include "face_dataset.h"
#include "terminal_progress.h"

using namespace morlin_command;

namespace {

std::string RateText(double rate) {
    if (std::isnan(rate)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", rate);
    return text;
}

}  // namespace

int RunIdentify(const CommandLine& line) {
    int status = ExitOk;
    std::optional<morlin::Identifier> identifier = LoadModel(line, status);
    if (!identifier) return status;
    const morlin::ModelInfo info = identifier->Info();
    const Progress terminal = TerminalProgress();
    std::vector<std::string> names;
    std::vector<std::vector<int>> faces;
    const int total = static_cast<int>(line.operands.size());
    for (int k = 0; k < total; ++k) {
        if (terminal) terminal(k, total, "reading images");
        const std::string& path = line.operands[static_cast<size_t>(k)];
        int rows = 0, columns = 0;
        std::vector<int> grey;
        std::string error;
        if (!ReadGreyImage(path, rows, columns, grey, error)) {
            Tell(error);
            status = std::max(status, ReadStatus(path));
            continue;
        }
        if (rows != info.rows || columns != info.columns) {
            Tell(DisplayName(path) + " is " + std::to_string(columns) + "x" + std::to_string(rows) +
                 " pixels; the model's images are " + std::to_string(info.columns) + "x" +
                 std::to_string(info.rows) + ": crop or scale it to that size");
            status = std::max(status, static_cast<int>(ExitDataError));
            continue;
        }
        names.push_back(path);
        faces.push_back(std::move(grey));
    }
    if (terminal) terminal(total, total, "");
    std::vector<morlin::Image> images;
    for (const std::vector<int>& face : faces)
        images.push_back({info.rows, info.columns, nullptr, face.data()});
    const std::vector<morlin::Identification> answers = identifier->Identify(images, line.top);

    if (line.json) {
        QJsonArray all;
        for (size_t i = 0; i < answers.size(); ++i) {
            const morlin::Identification& a = answers[i];
            QJsonArray candidates;
            for (const morlin::Candidate& c : a.candidates)
                candidates.append(QJsonObject{{"person", ShownName(c.person)},
                                              {"score", JsonNumber(c.score)},
                                              {"image", c.image}});
            all.append(
                QJsonObject{{"image", ShownName(names[i])},
                            {"person", a.person ? QJsonValue(ShownName(*a.person)) : QJsonValue()},
                            {"score", JsonNumber(a.score)},
                            {"distance", JsonNumber(a.distance)},
                            {"stranger_rate", JsonNumber(a.strangerRate)},
                            {"candidates", candidates}});
        }
        std::printf("%s\n", QJsonDocument(all).toJson(QJsonDocument::Compact).constData());
        return status;
    }
    for (size_t i = 0; i < answers.size(); ++i) {
        const morlin::Identification& a = answers[i];
        std::printf("%s\t%s\t%.6g\t%.6g\t%s\n", DisplayName(names[i]).c_str(),
                    a.person ? DisplayName(*a.person).c_str() : "unknown", a.score, a.distance,
                    RateText(a.strangerRate).c_str());
        // The other candidates follow, indented, when --top asks for them.
        for (size_t k = 1; k < a.candidates.size(); ++k)
            std::printf("\t%zu. %s\t%.6g\n", k + 1, DisplayName(a.candidates[k].person).c_str(),
                        a.candidates[k].score);
    }
    return status;
}
