// The update command: one run, its result message and code.
#include "run_update.h"

#include <iostream>

#include "console_owner.h"
#include "engine/update_engine.h"
#include "ui/result_message.h"

int RunUpdateFromConsole(const CliOptions& options, const std::filesystem::path& programFolder) {
    std::optional<bool> answer;
    if (options.answer != CliOptions::Answer::Ask)
        answer = options.answer == CliOptions::Answer::Yes;
    int result = 0;
    {
        // The owner's last lines go out when it ends, before the result.
        ConsoleOwner owner(answer, stderr);
        EngineEnvironment environment;
        environment.programFolder = programFolder;
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        result = engine.RunUpdate(options.baseUrl.empty() ? TARVEX_UPDATE_URL : options.baseUrl);
    }
    std::cout << ResultMessage(result) << std::endl;
    return result;
}
