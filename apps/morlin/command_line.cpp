// Parsing the morlin command line with QCommandLineParser, one parser per
// command, each option's value checked whole.
#include "command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

#include <map>

#include "option_values.h"

namespace {

struct OptionSpec {
    const char* name;
    const char* valueName;  // null: a switch
    const char* description;
};

const OptionSpec modelOption{"model", "FILE", "The model file."};
const OptionSpec keyOption{
    "key-file", "FILE",
    "The model is encrypted at rest with the key in FILE (its first line; readable by its "
    "owner only)."};

const std::vector<OptionSpec> trainOptions = {
    modelOption,
    keyOption,
    {"faces", "HOW",
     "find: find the largest face of each image and align it; whole: take each image as a "
     "crop; default: decide (see Images below)."},
    {"face-size", "WxH", "The aligned faces' size for found faces (default 92x112)."},
    {"train", "K",
     "Train on the first K images of each person (natural name order; default: all)."},
    {"method", "NAME",
     "designed, discriminant or lbp-discriminant (the default); see the methods below."},
    {"kernel", "NAME", "none (plain PCA, the default), linear, poly, rbf or sigmoid."},
    {"gamma", "G", "Kernel gamma (default 1)."},
    {"coef0", "C", "Kernel coef0 (default 0)."},
    {"degree", "D", "Polynomial degree (default 2)."},
    {"components", "N", "Components the designed method keeps (default 30)."},
    {"distance", "NAME",
     "The designed method's distance measure, 0-9 or a name (default CityBlock)."},
    {"threshold", "T",
     "Name a face when its score is below T (no calibration; the designed method's default "
     "is 3)."},
    {"stranger-rate", "R",
     "Calibrate the threshold so that a share R of strangers would be named (default 0.05: "
     "5 %), from the gallery alone; the designed method keeps its designed threshold unless "
     "given R."},
};
const std::vector<OptionSpec> identifyOptions = {
    modelOption,
    keyOption,
    {"top", "K", "List the K nearest people of each face (default 1)."},
    {"json", nullptr, "One JSON array on standard output."},
    {"annotate", "DIR",
     "Write each image to DIR as PNG, every face boxed and named (strangers in orange)."},
};
const std::vector<OptionSpec> infoOptions = {
    modelOption, keyOption, {"json", nullptr, "One JSON object."}};
const std::vector<OptionSpec> findOptions = {
    {"json", nullptr, "One JSON array on standard output."},
    {"crops", "DIR", "Write each face found, aligned, to DIR as PGM (92x112)."},
};

struct CommandSpec {
    Command command;
    const char* word;
    const char* operands;
    const char* summary;
    const std::vector<OptionSpec>* options;
    int fewestOperands;
    int mostOperands;  // -1: any number
};

const std::vector<OptionSpec> modelOnly = {modelOption, keyOption};

const CommandSpec commandSpecs[] = {
    {Command::Train, "train", "GALLERY",
     "Train a model on GALLERY, a folder with one folder of images per person (the folder's "
     "name is the person's), and enrol every face trained on. The threshold is calibrated for "
     "5 % of strangers named unless --threshold or --stranger-rate says otherwise.",
     &trainOptions, 1, 1},
    {Command::Enrol, "enrol", "PERSON_FOLDER...",
     "Enrol every image of each folder as the person the folder is named after (new or "
     "enrolled), without retraining; each person is committed to the model as enrolled, "
     "beside any other program using it.",
     &modelOnly, 1, -1},
    {Command::Remove, "remove", "PERSON...", "Remove every image of each person.", &modelOnly, 1,
     -1},
    {Command::Identify, "identify", "IMAGE...",
     "Name each face in each image, or say unknown: one line per face, tab-separated: image, "
     "box (x,y,width,height), person or unknown, score, distance, stranger rate. A crop model "
     "takes each image as one face; an image without a face is told on standard error.",
     &identifyOptions, 1, -1},
    {Command::Info, "info", "", "Describe the model.", &infoOptions, 0, 0},
    {Command::Backup, "backup", "COPY",
     "Copy the model to COPY while others may be using it (a whole committed state, under the "
     "same key).",
     &modelOnly, 1, 1},
    {Command::Find, "find", "IMAGE...",
     "The faces found in each image, largest first: one line per face, tab-separated: image, "
     "box, left eye, right eye (x,y, or - when not found), confidence.",
     &findOptions, 1, -1},
};

const char* overview =
    "morlin: face identification with the Morlin recognizer.\n"
    "\n"
    "usage: morlin train GALLERY --model FILE [--faces find|whole] [--face-size WxH]\n"
    "                    [--train K] [--method NAME] [--kernel NAME] [--gamma G]\n"
    "                    [--coef0 C] [--degree D] [--components N] [--distance NAME]\n"
    "                    [--threshold T | --stranger-rate R] [--key-file FILE]\n"
    "       morlin enrol --model FILE [--key-file FILE] PERSON_FOLDER...\n"
    "       morlin remove --model FILE [--key-file FILE] PERSON...\n"
    "       morlin identify --model FILE [--top K] [--json] [--annotate DIR]\n"
    "                    [--key-file FILE] IMAGE...\n"
    "       morlin info --model FILE [--json] [--key-file FILE]\n"
    "       morlin backup --model FILE [--key-file FILE] COPY\n"
    "       morlin find [--json] [--crops DIR] IMAGE...\n"
    "       morlin COMMAND --help, morlin --help, morlin --version\n"
    "\n"
    "Images: PGM, PNG, JPEG and the other formats Qt reads, photos turned upright by their\n"
    "EXIF orientation. A gallery is either photos (any size, colour or grey, people in\n"
    "groups: the largest face of each is found and aligned, and the model finds and\n"
    "aligns every face of its probes the same way) or crops (faces of one size, used as\n"
    "they are, as grey levels). train takes it as crops when every image has the same\n"
    "size, at most 512 pixels each way, and the largest face found in each of the first\n"
    "five (when one is) fills at least 60 % of its shorter side; as photos otherwise.\n"
    "--faces find or --faces whole decides instead. enrol and identify follow the model.\n"
    "\n"
    "Model files are SQLite databases that several programs may use at once: each change\n"
    "is a transaction, made on what others committed. Back one up with morlin backup.\n"
    "Options take their value as --name value or --name=value.\n";

const char* statuses =
    "Exit status: 0 done; 64 wrong command line; 65 a damaged model or image, an image of\n"
    "the wrong size, or faces the model cannot use; 66 a file or folder that does not exist;\n"
    "70 an unexpected failure; 73 the model cannot be written. identify and enrol go on past\n"
    "an image they cannot use, name it on standard error and end with its status.\n";

std::string MethodsText() {
    std::string text = "Methods:\n";
    for (morlin::Method method : morlin::allMethods)
        text +=
            "  " + morlin::MethodName(method) + ": " + morlin::MethodDescription(method) + ".\n";
    return text;
}

void Configure(QCommandLineParser& parser, const CommandSpec& spec) {
    parser.setApplicationDescription(QString::fromUtf8(spec.summary));
    parser.addHelpOption();
    for (const OptionSpec& option : *spec.options) {
        QCommandLineOption o(QString::fromLatin1(option.name),
                             QString::fromUtf8(option.description));
        if (option.valueName != nullptr) o.setValueName(QString::fromLatin1(option.valueName));
        parser.addOption(o);
    }
    if (spec.operands[0] != '\0')
        parser.addPositionalArgument(QString::fromLatin1(spec.operands), QString());
}

std::string CommandHelp(const CommandSpec& spec) {
    QCommandLineParser parser;
    Configure(parser, spec);
    std::string help = parser.helpText().toStdString();
    // Qt names the program by its file; the command belongs in the usage line.
    const std::string usage = "Usage: ";
    const size_t at = help.find(usage);
    if (at != std::string::npos) {
        const size_t end = help.find(' ', at + usage.size());
        help.replace(at, end - at, usage + "morlin " + spec.word);
    }
    if (spec.command == Command::Train) help += "\n" + MethodsText();
    return help + "\n" + statuses;
}

// The value of option name, checked; error set when it does not parse.
bool ReadOption(const std::string& name, const std::string& value, CommandLine& line,
                std::string& error) {
    PCAParameter& p = line.settings.designed;
    bool ok = true;
    if (name == "model") {
        line.model = value;
        ok = !value.empty();
    } else if (name == "train") {
        ok = ParseInt(value, line.perPerson) && line.perPerson >= 1;
    } else if (const std::optional<bool> read =
                   ReadRecognizerOption(name, value, p, line.settings.method, true)) {
        ok = *read;
        if (name == "threshold") line.thresholdGiven = true;
    } else if (name == "stranger-rate") {
        ok = ParseRate(value, line.strangerRate);
    } else if (name == "top") {
        ok = ParseInt(value, line.top) && line.top >= 1;
    } else if (name == "key-file") {
        line.keyFile = value;
        ok = !value.empty();
    } else if (name == "faces") {
        ok = value == "find" || value == "whole";
        line.faces = value == "find" ? FaceChoice::Find : FaceChoice::Whole;
    } else if (name == "face-size") {
        int width = 0, height = 0;
        const size_t x = value.find('x');
        ok = x != std::string::npos && ParseInt(value.substr(0, x), width) &&
             ParseInt(value.substr(x + 1), height) && width >= 8 && height >= 8 && width <= 4096 &&
             height <= 4096;
        line.settings.faceColumns = width;
        line.settings.faceRows = height;
    } else if (name == "annotate") {
        line.annotate = value;
        ok = !value.empty();
    } else if (name == "crops") {
        line.crops = value;
        ok = !value.empty();
    }
    if (!ok) error = "invalid value for --" + name + ": " + value;
    return ok;
}

}  // namespace

std::string MorlinUsage() {
    std::string text = overview;
    text += "\nCommands:\n";
    for (const CommandSpec& spec : commandSpecs)
        text += "  " + std::string(spec.word) +
                std::string(10 - std::string(spec.word).size(), ' ') + spec.summary + "\n";
    text += "\n" + MethodsText() + "\n" + statuses;
    return text;
}

Parsed ParseCommandLine(const std::vector<std::string>& arguments) {
    Parsed parsed;
    if (arguments.empty()) {
        parsed.error = "no command given";
        return parsed;
    }
    const std::string& word = arguments.front();
    if (word == "--help" || word == "-h") {
        parsed.print = MorlinUsage();
        return parsed;
    }
    if (word == "--version") {
        parsed.print = std::string("morlin ") + MORLIN_VERSION + "\n";
        return parsed;
    }
    const CommandSpec* spec = nullptr;
    for (const CommandSpec& candidate : commandSpecs)
        if (word == candidate.word) spec = &candidate;
    if (spec == nullptr) {
        parsed.error = "unknown command: " + word;
        return parsed;
    }

    QCommandLineParser parser;
    Configure(parser, *spec);
    QStringList list{QStringLiteral("morlin")};
    for (size_t i = 1; i < arguments.size(); ++i)
        list << QString::fromLocal8Bit(arguments[i].c_str());
    if (!parser.parse(list)) {
        parsed.error = parser.errorText().toStdString();
        return parsed;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parsed.print = CommandHelp(*spec);
        return parsed;
    }
    CommandLine line;
    line.command = spec->command;
    for (const OptionSpec& option : *spec->options) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name)) continue;
        if (option.valueName == nullptr) {
            line.json = true;  // the one switch
            continue;
        }
        // Files keep the file system's own bytes, whatever their encoding.
        const bool file =
            option.valueName == std::string("FILE") || option.valueName == std::string("DIR");
        const std::string value = file ? QFile::encodeName(parser.value(name)).toStdString()
                                       : parser.value(name).toStdString();
        if (!ReadOption(option.name, value, line, parsed.error)) return parsed;
    }
    for (const QString& operand : parser.positionalArguments())
        line.operands.push_back(QFile::encodeName(operand).toStdString());
    const int count = static_cast<int>(line.operands.size());
    if (line.model.empty() && spec->command != Command::Find)
        parsed.error = std::string("morlin ") + spec->word + " needs --model FILE";
    else if (count < spec->fewestOperands)
        parsed.error = std::string("morlin ") + spec->word + " needs " + spec->operands;
    else if (spec->mostOperands >= 0 && count > spec->mostOperands)
        parsed.error = std::string("morlin ") + spec->word + " takes " +
                       (spec->mostOperands == 0 ? std::string("no operands")
                                                : std::string("one ") + spec->operands) +
                       ", not " + line.operands[static_cast<size_t>(spec->mostOperands)];
    else if (line.thresholdGiven && line.strangerRate)
        parsed.error = "--threshold and --stranger-rate both set the threshold: give one";
    // A threshold given is kept: no calibration after training.
    if (line.thresholdGiven) line.settings.strangerRate = 0.0;
    if (line.strangerRate) line.settings.strangerRate = line.strangerRate;
    if (parsed.error.empty()) parsed.line = std::move(line);
    return parsed;
}
