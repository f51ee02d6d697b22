// The morlin command's commands, each returning its exit status. Results go
// to standard output; messages, warnings and progress to standard error.
#pragma once

#include <QJsonValue>
#include <QString>

#include "command_line.h"

int RunTrain(const CommandLine& line);
int RunEnrol(const CommandLine& line);
int RunRemove(const CommandLine& line);
int RunIdentify(const CommandLine& line);
int RunInfo(const CommandLine& line);
int RunBackup(const CommandLine& line);
int RunFind(const CommandLine& line);

// What the commands share: the model file and how a failure maps to a status.
namespace morlin_command {

// The model in line.model, read (a copy) or opened (open: every change
// committed to it as it is made); nothing, with the reason on standard
// error and status set, when it cannot be.
std::optional<morlin::Identifier> LoadModel(const CommandLine& line, int& status,
                                            bool open = false);
// The key of --key-file (empty without one); nothing, with the reason told
// and status set, for a key file that cannot be read, holds no key, or that
// others could read.
std::optional<std::string> ModelKey(const CommandLine& line, int& status);
// Saves identifier to line.model; the status (0, or 73 with the reason told).
int SaveModel(const morlin::Identifier& identifier, const CommandLine& line);
// "morlin: " + text on standard error.
void Tell(const std::string& text);
// The status of a file that cannot be read: 66 when it does not exist, else 65.
int ReadStatus(const std::string& path);
// A number for JSON, which has no infinity or NaN: null for those.
QJsonValue JsonNumber(double value);
// A name as bytes, shown with what is not UTF-8 escaped.
QString ShownName(const std::string& bytes);

}  // namespace morlin_command
