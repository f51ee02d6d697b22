// Command line of tarvex-cli.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

struct CliOptions {
    enum class Command { CatalogInit, CatalogList, Update, Verify, KeyGen, Publish, Help, Version };
    enum class Answer { Ask, Yes, No };

    Command command = Command::Update;
    std::filesystem::path programDir;  // empty: the folder of the executable
    std::string baseUrl;               // empty: the built-in update URL
    Answer answer = Answer::Ask;
    std::filesystem::path keyFile;    // keygen --out, publish --key (secret), verify --key (public)
    std::filesystem::path site;       // publish SITE_FOLDER
    std::optional<long long> serial;  // publish --serial
    std::optional<std::chrono::seconds> validFor;  // publish --valid-for
};

// Parses argv. Nothing with error set on a usage error; --help and --version
// come back as their own commands.
std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error);

std::string CliUsage();
