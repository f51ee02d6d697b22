// Command line of morlin-eval.
#pragma once

#include <QStringList>

#include <optional>
#include <string>

#include "plugin/morlin.h"

struct EvalOptions {
    std::string dataset;  // as the file system's bytes
    int trainPerPerson = 5;
    PCAParameter param;  // componentNum 30 and threshold 3.0 unless given
    bool json = false;
    std::optional<double> calibrateFmr;  // --calibrate: the target false-match rate
    bool search = false;                 // --search
    std::string plotFile;                // --plot, empty: none
    int repeat = 1;                      // --repeat: evaluations timed, median reported
};

enum class EvalRequest { Run, Help, Version };

// Parses the arguments (argv[0] first). Nothing with error set on a usage
// error; nothing with error empty for --help or --version (request says which).
std::optional<EvalOptions> ParseEvalOptions(const QStringList& arguments, std::string& error,
                                            EvalRequest& request);

// The --help text.
std::string EvalUsage();
