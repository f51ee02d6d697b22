// Runs a shell command for the tool tests and collects what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

struct CommandResult {
    int status;       // exit status
    std::string out;  // standard output
};

inline CommandResult RunCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    const int status = pclose(pipe.release());
    return {WEXITSTATUS(status), out};
}
