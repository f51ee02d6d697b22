// Reading a small text file whose absence or nature matters (a key file): a
// folder, a link that leads nowhere or a pipe is said to be what it is,
// never read as empty.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Empty when file (following links) is a regular file; otherwise the
// problem, completing a sentence that starts with the file's name.
std::string RegularFileProblem(const std::filesystem::path& file);
// The bytes of file, following links. Nothing, with problem completing a
// sentence that starts with the file's name ("is a folder", "does not exist (no such file)",
// "is a link to nothing", "is not a regular file", "cannot be read: ..."),
// otherwise.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::string& problem);
