// morlin identify: every face of each image named or called unknown, as
// lines of text or one JSON array, and with --annotate the images drawn on.
// A crop model takes each image as one face, as it was trained; a model of
// found faces finds them in each photo.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "annotation.h"
#include "commands.h"
#include "face_dataset.h"
#include "photo_file.h"
#include "terminal_progress.h"

using namespace morlin_command;

namespace {

std::string RateText(double rate) {
    if (std::isnan(rate)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", rate);
    return text;
}

// One face of one image and the answer for it; no face: an image in which
// none was found.
struct Answer {
    std::string image;
    std::optional<morlin::Box> box;
    morlin::Identification identification;
};

QJsonObject JsonOf(const Answer& answer) {
    const morlin::Identification& a = answer.identification;
    if (!answer.box)
        return QJsonObject{{"image", ShownName(answer.image)},
                           {"box", QJsonValue()},
                           {"person", QJsonValue()},
                           {"candidates", QJsonArray()}};
    QJsonArray candidates;
    for (const morlin::Candidate& c : a.candidates)
        candidates.append(QJsonObject{
            {"person", ShownName(c.person)}, {"score", JsonNumber(c.score)}, {"image", c.image}});
    const morlin::Box& b = *answer.box;
    return QJsonObject{
        {"image", ShownName(answer.image)},
        {"box", QJsonObject{{"x", b.x}, {"y", b.y}, {"width", b.width}, {"height", b.height}}},
        {"person", a.person ? QJsonValue(ShownName(*a.person)) : QJsonValue()},
        {"score", JsonNumber(a.score)},
        {"distance", JsonNumber(a.distance)},
        {"stranger_rate", JsonNumber(a.strangerRate)},
        {"candidates", candidates}};
}

void PrintLine(const Answer& answer) {
    const morlin::Identification& a = answer.identification;
    const morlin::Box& b = *answer.box;
    std::printf("%s\t%d,%d,%d,%d\t%s\t%.6g\t%.6g\t%s\n", DisplayName(answer.image).c_str(), b.x,
                b.y, b.width, b.height, a.person ? DisplayName(*a.person).c_str() : "unknown",
                a.score, a.distance, RateText(a.strangerRate).c_str());
    // The other candidates follow, indented, when --top asks for them.
    for (size_t k = 1; k < a.candidates.size(); ++k)
        std::printf("\t%zu. %s\t%.6g\n", k + 1, DisplayName(a.candidates[k].person).c_str(),
                    a.candidates[k].score);
}

// Writes image drawn with its faces to dir, as PNG under the image's name
// (made unique within the run); the status.
int WriteAnnotation(const std::string& dir, const std::string& image, const QImage& picture,
                    const std::vector<Answer>& answers, std::set<std::string>& written) {
    std::vector<NamedFace> faces;
    for (const Answer& a : answers)
        if (a.image == image && a.box) faces.push_back({*a.box, a.identification.person});
    std::string name = std::filesystem::path(image).stem().string();
    for (int n = 2; written.count(name) > 0; ++n)
        name = std::filesystem::path(image).stem().string() + "-" + std::to_string(n);
    written.insert(name);
    const std::string file = dir + "/" + name + ".png";
    if (!Annotated(picture, faces)
             .save(QFile::decodeName(QByteArray::fromStdString(file)), "PNG")) {
        Tell(DisplayName(file) + ": cannot be written");
        return ExitCannotCreate;
    }
    return ExitOk;
}

}  // namespace

int RunIdentify(const CommandLine& line) {
    int status = ExitOk;
    std::optional<morlin::Identifier> identifier = LoadModel(line, status);
    if (!identifier) return status;
    if (!line.annotate.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(line.annotate, ec);
        if (!std::filesystem::is_directory(line.annotate, ec)) {
            Tell(DisplayName(line.annotate) + ": cannot make that folder");
            return ExitCannotCreate;
        }
    }
    const morlin::ModelInfo info = identifier->Info();
    const bool crops = info.faces == morlin::FaceSource::Crops;
    const Progress terminal = TerminalProgress();
    std::vector<Answer> answers;
    std::vector<std::vector<int>> greys;  // crops, identified in one batch
    const int total = static_cast<int>(line.operands.size());
    for (int k = 0; k < total; ++k) {
        if (terminal) terminal(k, total, crops ? "reading images" : "finding faces");
        const std::string& path = line.operands[static_cast<size_t>(k)];
        std::string error;
        if (crops) {
            // As trained: grey levels, a crop of the model's size.
            int rows = 0, columns = 0;
            std::vector<int> grey;
            if (!ReadGreyImage(path, rows, columns, grey, error)) {
                Tell(error);
                status = std::max(status, ReadStatus(path));
                continue;
            }
            if (rows != info.rows || columns != info.columns) {
                Tell(DisplayName(path) + " is " + std::to_string(columns) + "x" +
                     std::to_string(rows) + " pixels; the model's images are " +
                     std::to_string(info.columns) + "x" + std::to_string(info.rows) +
                     ": crop or scale it to that size");
                status = std::max(status, static_cast<int>(ExitDataError));
                continue;
            }
            answers.push_back({path, morlin::Box{0, 0, columns, rows}, {}});
            greys.push_back(std::move(grey));
            continue;
        }
        QImage picture;
        if (!ReadPhoto(path, picture, error)) {
            Tell(error);
            status = std::max(status, ReadStatus(path));
            continue;
        }
        const std::vector<morlin::FaceIdentification> found =
            identifier->IdentifyFaces(PictureOf(picture), line.top);
        if (found.empty()) {
            Tell(DisplayName(path) + ": no face found");
            answers.push_back({path, std::nullopt, {}});
        }
        for (const morlin::FaceIdentification& face : found)
            answers.push_back({path, face.face.box, face.identification});
    }
    if (crops) {
        std::vector<morlin::Image> images;
        for (const std::vector<int>& grey : greys)
            images.push_back({info.rows, info.columns, nullptr, grey.data()});
        const std::vector<morlin::Identification> named = identifier->Identify(images, line.top);
        for (size_t i = 0; i < answers.size(); ++i) answers[i].identification = named[i];
    }
    if (terminal) terminal(total, total, "");
    if (!line.annotate.empty()) {
        std::set<std::string> written;
        std::set<std::string> drawn;
        for (const Answer& answer : answers) {
            if (!drawn.insert(answer.image).second) continue;
            QImage picture;
            std::string error;
            if (!ReadPhoto(answer.image, picture, error)) continue;
            status = std::max(
                status, WriteAnnotation(line.annotate, answer.image, picture, answers, written));
        }
    }

    if (line.json) {
        QJsonArray all;
        for (const Answer& answer : answers) all.append(JsonOf(answer));
        std::printf("%s\n", QJsonDocument(all).toJson(QJsonDocument::Compact).constData());
        return status;
    }
    for (const Answer& answer : answers)
        if (answer.box) PrintLine(answer);
    return status;
}
