// A run's failures and notes, on standard error under the program's name.
#include "engine/run_log.h"

#include <cstdio>

void RunLog::Complain(const std::string& text) {
    reason = text;
    std::fprintf(stderr, "tarvex: %s\n", text.c_str());
}

void RunLog::Warn(const std::string& text) {
    std::fprintf(stderr, "tarvex: %s\n", text.c_str());
}
