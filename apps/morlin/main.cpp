// morlin: face identification from the command line. Parse, run the
// command, return its status.
#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
    // Image plugins (JPEG and the like) are found through the application.
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const Parsed parsed = ParseCommandLine(arguments);
    if (!parsed.line) {
        if (parsed.error.empty()) {
            std::fputs(parsed.print.c_str(), stdout);
            return ExitOk;
        }
        std::fprintf(stderr, "morlin: %s\nTry 'morlin --help'.\n", parsed.error.c_str());
        return ExitUsage;
    }
    try {
        switch (parsed.line->command) {
            case Command::Train:
                return RunTrain(*parsed.line);
            case Command::Enrol:
                return RunEnrol(*parsed.line);
            case Command::Remove:
                return RunRemove(*parsed.line);
            case Command::Identify:
                return RunIdentify(*parsed.line);
            case Command::Info:
                return RunInfo(*parsed.line);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morlin: %s\n", e.what());
    }
    return ExitSoftware;
}
