// tarvex-cli: the updater's command-line front end. Parses the command, runs
// it, and maps the outcome to the exit status listed in --help.
#include <csignal>
#include <iostream>

#include "catalog/catalog_error.h"
#include "catalog/catalog_file.h"
#include "catalog/program_folder.h"
#include "cli_options.h"
#include "publish/publish.h"
#include "publish/site_keys.h"
#include "trust/key_files.h"
#include "run_update.h"
#include "verify_site.h"

namespace {

constexpr int refusedStatus = 1;
constexpr int catalogErrorStatus = 10;
constexpr int usageStatus = 64;
constexpr int unexpectedErrorStatus = 70;

// The public keys of files; nothing, with error, when one is not a public key file.
std::optional<std::vector<PublicKey>> PublicKeys(const std::vector<std::filesystem::path>& files,
                                                 std::string& error) {
    std::vector<PublicKey> keys;
    for (const std::filesystem::path& file : files) {
        const std::optional<PublicKey> key = ReadPublicKeyFile(file, error);
        if (!key) return std::nullopt;
        keys.push_back(*key);
    }
    return keys;
}

bool ChangeKeyList(const CliOptions& options, std::string& error) {
    KeyListChange change;
    change.kind = options.keysChange;
    const auto roots = PublicKeys(options.roots, error);
    const auto releases = roots ? PublicKeys(options.releases, error) : std::nullopt;
    const auto pinned = releases ? PublicKeys(options.pinned, error) : std::nullopt;
    if (!pinned) return false;
    change.roots = *roots;
    change.releases = *releases;
    change.pinned = *pinned;
    change.rootThreshold = options.rootThreshold;
    change.releaseThreshold = options.releaseThreshold;
    if (options.validFor) change.validFor = *options.validFor;
    return ProposeKeyList(options.site, change, options.keyFiles, std::cout, error);
}

int Operate(const CliOptions& options) {
    const std::filesystem::path folder =
        options.programDir.empty() ? RunningProgramFolder() : options.programDir;
    std::string error;
    bool done = false;
    switch (options.command) {
        case CliOptions::Command::CatalogInit:
            CreateCatalog(folder);
            std::cout << "created " << CatalogPath(folder).string() << "\n";
            return 0;
        case CliOptions::Command::CatalogList:
            ListCatalog(folder, std::cout);
            return 0;
        case CliOptions::Command::Update:
            return RunUpdateFromConsole(options, folder);
        case CliOptions::Command::Verify:
            return VerifySiteFromConsole(options, options.programDir);
        case CliOptions::Command::KeyGen:
            done = GenerateKeyPair(options.keyFile, std::cout, error);
            break;
        case CliOptions::Command::Publish:
            done = PublishSite({options.site,
                                options.keyFiles.front(),
                                options.serial,
                                options.validFor,
                                0,
                                {options.keyFiles.begin() + 1, options.keyFiles.end()},
                                options.channel.empty() ? "stable" : options.channel,
                                options.previous},
                               std::cout, error);
            break;
        case CliOptions::Command::Sign:
            done = SignManifest(options.site, options.keyFile,
                                options.channel.empty() ? "stable" : options.channel, std::cout,
                                error);
            break;
        case CliOptions::Command::Keys:
            done = options.keysSign ? SignKeyList(options.site, options.keyFile, std::cout, error)
                                    : ChangeKeyList(options, error);
            break;
        case CliOptions::Command::Help:
        case CliOptions::Command::Version:
            return usageStatus;
    }
    if (!done) std::cerr << "tarvex-cli: " << error << "\n";
    return done ? 0 : refusedStatus;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (tarvex-cli ... | head -1) must not kill a run
    // half-way: writes to it just fail, and the run ends as it would.
    std::signal(SIGPIPE, SIG_IGN);
    std::string error;
    const std::optional<CliOptions> options = ParseCliOptions(argc, argv, error);
    if (!options) {
        std::cerr << "tarvex-cli: " << error << "\n" << CliUsage();
        return usageStatus;
    }
    if (options->command == CliOptions::Command::Help) {
        std::cout << CliUsage();
        return 0;
    }
    if (options->command == CliOptions::Command::Version) {
        std::cout << "tarvex-cli " << TARVEX_VERSION << "\n";
        return 0;
    }
    try {
        return Operate(*options);
    } catch (const CatalogError& e) {
        std::cerr << "tarvex-cli: " << e.what() << "\n";
        return catalogErrorStatus;
    } catch (const std::exception& e) {
        // Everything the run holds was released on the way out; what it had
        // not finished stays as it was.
        std::cerr << "tarvex-cli: unexpected error: " << e.what() << "\n";
        return unexpectedErrorStatus;
    }
}
