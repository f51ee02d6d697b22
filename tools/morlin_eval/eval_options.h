// Command line of morlin-eval.
#pragma once

#include <optional>
#include <string>

#include "plugin/morlin.h"

struct EvalOptions {
    std::string dataset;
    int trainPerPerson = 5;
    PCAParameter param;  // componentNum 30 and threshold 3.0 unless given
    bool json = false;
};

// Parses argv into options. On a usage error returns nothing and sets error to
// a one-line message; on --help returns nothing with error empty.
std::optional<EvalOptions> ParseEvalOptions(int argc, char** argv, std::string& error);

// The --help text.
std::string EvalUsage();
