// Command line of tarvex-cli.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "publish/site_keys.h"

struct CliOptions {
    enum class Command {
        CatalogInit,
        CatalogList,
        Update,
        Verify,
        KeyGen,
        Publish,
        Sign,
        Keys,
        Help,
        Version
    };
    enum class Answer { Ask, Yes, No };

    Command command = Command::Update;
    std::filesystem::path programDir;  // empty: the folder of the executable
    std::string baseUrl;               // empty: the built-in update URL
    Answer answer = Answer::Ask;
    bool scheduled = false;           // update --scheduled
    std::string channel;              // update, verify, publish, sign --channel
    std::filesystem::path keyFile;    // keygen --out, publish --key (secret), verify --key (public)
    std::filesystem::path site;       // publish SITE_FOLDER
    std::optional<long long> serial;  // publish --serial
    std::optional<std::chrono::seconds> validFor;  // publish, keys --valid-for
    // publish, sign and keys: every --key (secret keys; the first is keyFile).
    std::vector<std::filesystem::path> keyFiles;
    // keys: the change (Init, Add, Remove, Rotate, Renew) or, with sign, signing the pending list.
    KeyListChange::Kind keysChange = KeyListChange::Kind::Renew;
    bool keysSign = false;
    std::vector<std::filesystem::path> roots;     // keys --root PUBFILE
    std::vector<std::filesystem::path> releases;  // keys --release PUBFILE
    std::vector<std::filesystem::path> pinned;    // keys init --pinned PUBFILE
    std::vector<std::filesystem::path> previous;  // publish --previous FOLDER
    std::optional<int> rootThreshold;
    std::optional<int> releaseThreshold;
};

// Parses argv. Nothing with error set on a usage error; --help and --version
// come back as their own commands.
std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error);

std::string CliUsage();
