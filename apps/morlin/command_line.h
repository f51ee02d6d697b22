// The morlin command's command line: one command word, then its options
// (GNU style: --name value or --name=value) and operands. Each command has
// its own --help; the exit statuses are those of sysexits.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "morlin/identifier.h"

// Exit statuses, as sysexits.h numbers them.
enum ExitStatus : int {
    ExitOk = 0,
    ExitUsage = 64,        // the command line is wrong
    ExitDataError = 65,    // a damaged model or image, or faces the model cannot use
    ExitNoInput = 66,      // a file or folder that does not exist
    ExitSoftware = 70,     // something unexpected
    ExitCannotCreate = 73  // the model cannot be written
};

enum class Command { Train, Enrol, Remove, Identify, Info, Backup, Find };

// How train takes a gallery's images (--faces).
enum class FaceChoice {
    Decide,  // crops when they look like a crop set, else photos (see --help)
    Find,    // photos: the largest face of each, found and aligned
    Whole,   // crops: each image as it is, all of one size
};

struct CommandLine {
    Command command = Command::Info;
    std::string model;                  // --model, the file's bytes
    std::string keyFile;                // --key-file: the model is encrypted with its key
    std::vector<std::string> operands;  // GALLERY, folders, people, images or the copy, as bytes
    // train
    int perPerson = 0;  // --train: the first K images of each person; 0: all
    morlin::Settings settings;
    std::optional<double> strangerRate;  // --stranger-rate
    bool thresholdGiven = false;         // --threshold
    FaceChoice faces = FaceChoice::Decide;
    // identify, info, find
    int top = 1;
    bool json = false;
    std::string annotate;  // identify --annotate DIR
    std::string crops;     // find --crops DIR
};

// What parsing asks the program to do.
struct Parsed {
    std::optional<CommandLine> line;  // a command to run
    std::string print;                // or text for standard output (help, version), status 0
    std::string error;                // or a usage error, status 64
};

// arguments without the program's name.
Parsed ParseCommandLine(const std::vector<std::string>& arguments);

// The whole --help text.
std::string MorlinUsage();
