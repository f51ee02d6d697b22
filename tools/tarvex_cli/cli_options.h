// Command line of tarvex-cli.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

struct CliOptions {
    enum class Command { CatalogInit, CatalogList, Update, KeyGen, Publish, Help, Version };
    enum class Answer { Ask, Yes, No };

    Command command = Command::Update;
    std::filesystem::path programDir;  // empty: the folder of the executable
    std::string baseUrl;               // empty: the built-in update URL
    Answer answer = Answer::Ask;
    std::filesystem::path keyFile;  // keygen --out, publish --key
    std::filesystem::path site;     // publish SITE_FOLDER
};

// Parses argv. Nothing with error set on a usage error; --help and --version
// come back as their own commands.
std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error);

std::string CliUsage();
