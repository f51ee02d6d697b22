// What the commands share: loading and saving the model, the statuses of
// unreadable files, messages, and how names and numbers are written.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
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

std::optional<std::string> ModelKey(const CommandLine& line, int& status) {
    if (line.keyFile.empty()) return std::string();
    const std::string shown = DisplayName(line.keyFile);
    struct stat info {};
    if (::stat(line.keyFile.c_str(), &info) != 0) {
        Tell(shown + ": the key file cannot be read: " + std::strerror(errno));
        status = ReadStatus(line.keyFile);
        return std::nullopt;
    }
    // A key others can read protects nothing: refused, as ssh refuses one.
    if (!S_ISREG(info.st_mode) || (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        Tell(shown + ": a key file must be a file only its owner can read (chmod 600 " + shown +
             ")");
        status = ExitDataError;
        return std::nullopt;
    }
    std::ifstream in(line.keyFile, std::ios::binary);
    std::string key;
    if (!in || !std::getline(in, key)) key.clear();
    if (!key.empty() && key.back() == '\r') key.pop_back();
    if (key.empty()) {
        Tell(shown + ": the key file holds no key on its first line");
        status = ExitDataError;
        return std::nullopt;
    }
    return key;
}

std::optional<morlin::Identifier> LoadModel(const CommandLine& line, int& status, bool open) {
    const std::optional<std::string> key = ModelKey(line, status);
    if (!key) return std::nullopt;
    try {
        return open ? morlin::Identifier::Open(line.model, *key)
                    : morlin::Identifier::Load(line.model, *key);
    } catch (const morlin::Error& e) {
        Tell(DisplayName(e.what()));
        status = ReadStatus(line.model);
        return std::nullopt;
    }
}

int SaveModel(const morlin::Identifier& identifier, const CommandLine& line) {
    int status = ExitOk;
    const std::optional<std::string> key = ModelKey(line, status);
    if (!key) return status;
    try {
        identifier.Save(line.model, *key);
        return ExitOk;
    } catch (const morlin::Error& e) {
        Tell(DisplayName(e.what()));
        return ExitCannotCreate;
    }
}

}  // namespace morlin_command

using namespace morlin_command;

int RunBackup(const CommandLine& line) {
    int status = ExitOk;
    const std::optional<std::string> key = ModelKey(line, status);
    if (!key) return status;
    const std::string& copy = line.operands.front();
    try {
        morlin::Identifier::Backup(line.model, copy, *key);
    } catch (const morlin::Error& e) {
        Tell(DisplayName(e.what()));
        struct stat info {};
        return ::stat(line.model.c_str(), &info) != 0 ? ReadStatus(line.model) : ExitCannotCreate;
    }
    std::printf("backed up %s to %s\n", DisplayName(line.model).c_str(), DisplayName(copy).c_str());
    return ExitOk;
}

namespace morlin_command {}  // namespace morlin_command
