// Command line of morlin-eval.
#pragma once

#include <QStringList>

#include <optional>
#include <string>

#include "face_dataset.h"
#include "relighting.h"
#include "morlin/identifier.h"
#include "morlin/morlin.h"

// What --search ranks settings by.
enum class SearchGoal {
    Rank1,           // closed-set rank-1 over the gallery folds
    Identification,  // FNIR at the FPIR target, people left out one at a time
};

struct EvalOptions {
    std::string dataset;  // as the file system's bytes
    int trainPerPerson = 5;
    PCAParameter param;  // componentNum 30 and threshold 3.0 unless given
    // --method: how faces are compared; the designed recognizer unless given.
    morlin::Method method = morlin::Method::Designed;
    bool json = false;
    std::optional<double> calibrateFmr;   // --calibrate: the target false-match rate
    std::optional<double> calibrateFpir;  // --calibrate-fpir: the target FPIR
    std::optional<SearchGoal> search;     // --search[=identification]
    std::optional<OpenSet> openSet;       // --open-set[=even|odd|random:N]
    Relight relight = Relight::None;      // --relight=probes|all
    std::string exportFolder;             // --export: write the images and stop
    std::string plotFile;                 // --plot, empty: none
    int repeat = 1;                       // --repeat: evaluations timed, median reported
};

// The FPIR --search=identification aims at without --calibrate-fpir.
inline constexpr double defaultSearchFpir = 0.05;

enum class EvalRequest { Run, Help, Version };

// Parses the arguments (argv[0] first). Nothing with error set on a usage
// error; nothing with error empty for --help or --version (request says which).
std::optional<EvalOptions> ParseEvalOptions(const QStringList& arguments, std::string& error,
                                            EvalRequest& request);

// The --help text.
std::string EvalUsage();
