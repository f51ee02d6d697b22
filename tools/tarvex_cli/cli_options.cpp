#include "cli_options.h"

#include <vector>

std::string CliUsage() {
    return "usage: tarvex-cli catalog init [--program-dir DIR]\n"
           "       tarvex-cli catalog list [--program-dir DIR]\n"
           "       tarvex-cli update [--base-url URL] [--program-dir DIR] [--yes | --no]\n"
           "       tarvex-cli keygen --out KEYFILE\n"
           "       tarvex-cli publish SITE_FOLDER --key KEYFILE\n"
           "  catalog init   create an empty module catalogue DIR/data/module.dat\n"
           "  catalog list   print every row of the catalogue's three tables\n"
           "  update         one update run from the server's manifest\n"
           "  keygen         a new publisher key pair: KEYFILE (secret, mode 0600) and\n"
           "                 KEYFILE.pub (the line a program folder's data/update-keys takes)\n"
           "  publish        fill in size and sha256 of every file in SITE_FOLDER/autoupdate.txt,\n"
           "                 raise its serial and sign it into autoupdate.txt.sig\n"
           "  --program-dir  the program folder (default: the folder of tarvex-cli)\n"
           "  --base-url     the update server's base URL, ending in /\n"
           "  --yes, --no    answer the upgrade question (default: ask on the terminal,\n"
           "                 no without a terminal)\n"
           "exit status of update: the run's result code: 0 updated, 1 no connection,\n"
           "  2 a file cannot be requested, 3 manifest failed, 4 bad entry or module\n"
           "  transfer failed, 6 up to date, 7 declined or not installed;\n"
           "  10 catalogue error, 64 usage error\n";
}

std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error) {
    error.clear();
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    size_t i = 0;
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    if (args[0] == "--help" || args[0] == "-h") return std::nullopt;
    if (args[0] == "catalog" && args.size() >= 2 && (args[1] == "init" || args[1] == "list")) {
        options.command =
            args[1] == "init" ? CliOptions::Command::CatalogInit : CliOptions::Command::CatalogList;
        i = 2;
    } else if (args[0] == "update") {
        options.command = CliOptions::Command::Update;
        i = 1;
    } else if (args[0] == "keygen") {
        options.command = CliOptions::Command::KeyGen;
        i = 1;
    } else if (args[0] == "publish" && args.size() >= 2 && args[1].rfind("--", 0) != 0) {
        options.command = CliOptions::Command::Publish;
        options.site = args[1];
        i = 2;
    } else {
        error = "unknown command: " + args[0];
        return std::nullopt;
    }
    const bool update = options.command == CliOptions::Command::Update;
    const bool keys = options.command == CliOptions::Command::KeyGen ||
                      options.command == CliOptions::Command::Publish;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") return std::nullopt;
        const std::string keyOption =
            options.command == CliOptions::Command::KeyGen ? "--out" : "--key";
        if (keys && arg == keyOption) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            options.keyFile = args[++i];
            continue;
        }
        if (keys) {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (arg == "--program-dir" || (update && arg == "--base-url")) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            if (arg == "--program-dir")
                options.programDir = args[++i];
            else
                options.baseUrl = args[++i];
        } else if (update && (arg == "--yes" || arg == "--no")) {
            const auto answer = arg == "--yes" ? CliOptions::Answer::Yes : CliOptions::Answer::No;
            if (options.answer != CliOptions::Answer::Ask && options.answer != answer) {
                error = "--yes and --no exclude each other";
                return std::nullopt;
            }
            options.answer = answer;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (keys && options.keyFile.empty()) {
        error = options.command == CliOptions::Command::KeyGen ? "keygen needs --out KEYFILE"
                                                               : "publish needs --key KEYFILE";
        return std::nullopt;
    }
    return options;
}
