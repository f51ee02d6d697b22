// tarvex-cli: the updater's command-line front end. Parses the command, runs
// it, and maps the outcome to the exit status listed in --help.
#include <iostream>

#include "catalog/catalog_error.h"
#include "catalog/catalog_file.h"
#include "catalog/program_folder.h"
#include "cli_options.h"
#include "publish.h"
#include "run_update.h"

namespace {

constexpr int catalogErrorStatus = 10;
constexpr int usageStatus = 64;

int Operate(const CliOptions& options) {
    const std::filesystem::path folder =
        options.programDir.empty() ? ProgramFolder() : options.programDir;
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
        case CliOptions::Command::Help:
        case CliOptions::Command::Version:
            break;
        case CliOptions::Command::KeyGen:
        case CliOptions::Command::Publish: {
            std::string error;
            const bool done = options.command == CliOptions::Command::KeyGen
                                  ? GenerateKeyPair(options.keyFile, std::cout, error)
                                  : PublishSite(options.site, options.keyFile, std::cout, error);
            if (!done) std::cerr << "tarvex-cli: " << error << "\n";
            return done ? 0 : 1;
        }
    }
    return usageStatus;
}

}  // namespace

int main(int argc, char** argv) {
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
    }
}
