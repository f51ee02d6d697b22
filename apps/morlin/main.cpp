// morlin: face identification from the command line. Parse, run the
// command, return its status.
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
    // Image plugins (JPEG and the like) are found through the application;
    // drawing names on photos needs fonts, which a GUI application has (off
    // screen: the command shows no window).
    const bool drawing = std::any_of(argv + 1, argv + argc, [](const char* a) {
        return std::string(a).rfind("--annotate", 0) == 0;
    });
    std::unique_ptr<QCoreApplication> app;
    if (drawing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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
            case Command::Backup:
                return RunBackup(*parsed.line);
            case Command::Find:
                return RunFind(*parsed.line);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morlin: %s\n", e.what());
    }
    return ExitSoftware;
}
