// morlin find: the faces found in each photo, and with --crops their aligned
// crops, for checking the finder or building a crop set.
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "face_dataset.h"
#include "photo_file.h"
#include "terminal_progress.h"

using namespace morlin_command;

namespace {

// The size of the crops written: the face size models are trained on.
constexpr int cropRows = 112;
constexpr int cropColumns = 92;

std::string PointText(const std::optional<morlin::Point>& point) {
    if (!point) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f,%.1f", point->x, point->y);
    return text;
}

QJsonValue PointJson(const std::optional<morlin::Point>& point) {
    if (!point) return QJsonValue();
    return QJsonObject{{"x", point->x}, {"y", point->y}};
}

}  // namespace

int RunFind(const CommandLine& line) {
    int status = ExitOk;
    if (!line.crops.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(line.crops, ec);
        if (!std::filesystem::is_directory(line.crops, ec)) {
            Tell(DisplayName(line.crops) + ": cannot make that folder");
            return ExitCannotCreate;
        }
    }
    std::optional<morlin::FaceFinder> finder;
    try {
        finder.emplace();
    } catch (const morlin::Error& e) {
        Tell(e.what());
        return ExitSoftware;
    }
    const Progress terminal = TerminalProgress();
    QJsonArray all;
    const int total = static_cast<int>(line.operands.size());
    for (int k = 0; k < total; ++k) {
        if (terminal) terminal(k, total, "finding faces");
        const std::string& path = line.operands[static_cast<size_t>(k)];
        QImage photo;
        std::string error;
        if (!ReadPhoto(path, photo, error)) {
            Tell(error);
            status = std::max(status, ReadStatus(path));
            continue;
        }
        const morlin::Picture picture = PictureOf(photo);
        const std::vector<morlin::Face> faces = finder->Find(picture);
        if (faces.empty()) Tell(DisplayName(path) + ": no face found");
        for (size_t f = 0; f < faces.size(); ++f) {
            const morlin::Face& face = faces[f];
            const morlin::Box& b = face.box;
            if (line.json) {
                all.append(QJsonObject{
                    {"image", ShownName(path)},
                    {"box",
                     QJsonObject{{"x", b.x}, {"y", b.y}, {"width", b.width}, {"height", b.height}}},
                    {"left_eye", PointJson(face.leftEye)},
                    {"right_eye", PointJson(face.rightEye)},
                    {"confidence", face.confidence}});
            } else {
                std::printf("%s\t%d,%d,%d,%d\t%s\t%s\t%.3f\n", DisplayName(path).c_str(), b.x, b.y,
                            b.width, b.height, PointText(face.leftEye).c_str(),
                            PointText(face.rightEye).c_str(), face.confidence);
            }
            if (line.crops.empty()) continue;
            const std::vector<uint8_t> crop =
                morlin::AlignFace(picture, face, cropRows, cropColumns);
            QImage grey(cropColumns, cropRows, QImage::Format_Grayscale8);
            for (int r = 0; r < cropRows; ++r)
                std::copy_n(crop.data() + static_cast<size_t>(r) * cropColumns, cropColumns,
                            grey.scanLine(r));
            const std::string file = line.crops + "/" +
                                     std::filesystem::path(path).stem().string() + "-" +
                                     std::to_string(f + 1) + ".pgm";
            if (!grey.save(QFile::decodeName(QByteArray::fromStdString(file)), "PGM")) {
                Tell(DisplayName(file) + ": cannot be written");
                status = std::max(status, static_cast<int>(ExitCannotCreate));
            }
        }
    }
    if (terminal) terminal(total, total, "");
    if (line.json)
        std::printf("%s\n", QJsonDocument(all).toJson(QJsonDocument::Compact).constData());
    return status;
}
