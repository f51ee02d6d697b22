// The update command: one run, its result message and code.
#include "run_update.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "console_owner.h"
#include "engine/update_engine.h"
#include "engine/update_result.h"
#include "ui/result_message.h"

int RunUpdateFromConsole(const CliOptions& options, const std::filesystem::path& programFolder) {
    std::optional<bool> answer;
    if (options.answer != CliOptions::Answer::Ask)
        answer = options.answer == CliOptions::Answer::Yes;
    int result = 0;
    std::string installed;
    {
        // The owner's last lines go out when it ends, before the result. A
        // scheduled run shows no progress: its standard error is the journal.
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> nowhere(
            options.scheduled ? std::fopen("/dev/null", "w") : nullptr, &std::fclose);
        ConsoleOwner owner(answer, nowhere ? nowhere.get() : stderr);
        EngineEnvironment environment;
        environment.programFolder = programFolder;
        environment.scheduled = options.scheduled;
        environment.channel = options.channel;
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        result = engine.RunUpdate(options.baseUrl.empty() ? TARVEX_UPDATE_URL : options.baseUrl);
        for (const UpdateItem& item : engine.PendingItems())
            installed += (installed.empty() ? "" : ", ") + item.filename + " " + item.version;
    }
    if (!options.scheduled) {
        std::cout << ResultMessage(result) << std::endl;
    } else if (result == UpdateSucceeded) {
        // One line for the journal; a failure has told its reason already.
        std::fprintf(stderr, "tarvex-cli: installed %s\n", installed.c_str());
    }
    return result;
}
