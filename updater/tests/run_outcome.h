// What an update run ended with, as the tests compare it: the result code
// with its name, and the reason the run told. A failed comparison prints
// both, so a test says which of the meanings of a code it got and why.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

#include "engine/update_engine.h"
#include "engine/update_result.h"

inline const char* ResultName(int code) {
    switch (code) {
        case UpdateSucceeded:
            return "UpdateSucceeded";
        case UpdateNoConnection:
            return "UpdateNoConnection";
        case UpdateRequestFailed:
            return "UpdateRequestFailed";
        case UpdateManifestFailed:
            return "UpdateManifestFailed or UpdateCannotStart";
        case UpdateModuleFailed:
            return "UpdateModuleFailed";
        case UpdateUpToDate:
            return "UpdateUpToDate";
        case UpdateNotCompleted:
            return "UpdateNotCompleted";
        default:
            return "no result code";
    }
}

inline void PrintTo(UpdateResult code, std::ostream* out) {
    *out << ResultName(code) << " (" << static_cast<int>(code) << ")";
}

struct RunOutcome {
    int code = -1;
    std::string reason;  // the engine's FailureReason, empty after a success

    friend bool operator==(const RunOutcome& outcome, UpdateResult expected) {
        return outcome.code == expected;
    }
    friend void PrintTo(const RunOutcome& outcome, std::ostream* out) {
        PrintTo(static_cast<UpdateResult>(outcome.code), out);
        if (!outcome.reason.empty()) *out << ", reason: " << outcome.reason;
    }
};

// Runs engine against baseUrl and keeps what it ended with.
inline RunOutcome RunEngine(UpdateEngine& engine, const std::string& baseUrl) {
    RunOutcome outcome;
    outcome.code = engine.RunUpdate(baseUrl);
    outcome.reason = engine.FailureReason();
    return outcome;
}

// The run ended with code, and its reason says `because`: for the codes that
// stand for more than one failure.
inline ::testing::AssertionResult EndedWith(const RunOutcome& outcome, UpdateResult code,
                                            const std::string& because) {
    if (outcome == code && outcome.reason.find(because) != std::string::npos)
        return ::testing::AssertionSuccess();
    std::ostringstream got;
    PrintTo(outcome, &got);
    return ::testing::AssertionFailure() << "the run ended with " << got.str() << "; expected "
                                         << ResultName(code) << " because \"" << because << "\"";
}
