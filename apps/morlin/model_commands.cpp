// What the commands share: loading and saving the model, the statuses of
// unreadable files, messages, and how names and numbers are written.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "commands.h"
#include "face_dataset.h"

namespace morlin_command {

void Tell(const std::string& text) {
    std::fprintf(stderr, "morlin: %s\n", text.c_str());
}

int ReadStatus(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) != 0 && errno == ENOENT ? ExitNoInput : ExitDataError;
}

QJsonValue JsonNumber(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QString ShownName(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

std::optional<morlin::Identifier> LoadModel(const CommandLine& line, int& status, bool open) {
    try {
        return open ? morlin::Identifier::Open(line.model) : morlin::Identifier::Load(line.model);
    } catch (const morlin::Error& e) {
        Tell(DisplayName(e.what()));
        status = ReadStatus(line.model);
        return std::nullopt;
    }
}

int SaveModel(const morlin::Identifier& identifier, const CommandLine& line) {
    try {
        identifier.Save(line.model);
        return ExitOk;
    } catch (const morlin::Error& e) {
        Tell(DisplayName(e.what()));
        return ExitCannotCreate;
    }
}

}  // namespace morlin_command
