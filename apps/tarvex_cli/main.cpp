// tarvex-cli: the updater's command-line front end. Parses the command, runs
// it, and maps the outcome to the exit status listed in --help.
#include <csignal>
#include <iostream>

#include "catalog/catalog_error.h"
#include "catalog/catalog_file.h"
#include "catalog/program_folder.h"
#include "cli_options.h"
#include "publish/publish.h"
#include "run_update.h"
#include "verify_site.h"

namespace {

constexpr int refusedStatus = 1;
constexpr int catalogErrorStatus = 10;
constexpr int usageStatus = 64;
constexpr int unexpectedErrorStatus = 70;

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
            done = PublishSite({options.site, options.keyFile, options.serial, options.validFor},
                               std::cout, error);
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
