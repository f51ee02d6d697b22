// Option parsing of morlin-eval: every value parsed whole (no trailing
// characters) and checked against its range.
#include "eval_options.h"

#include "option_values.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include <QCommandLineParser>
#include <QFile>

namespace {

// The switches that take an optional value only as --name=value (a value
// after a blank would be the DATASET): given bare, they get their default.
QStringList WithOptionalValues(QStringList arguments) {
    for (QString& argument : arguments) {
        if (argument == QStringLiteral("--open-set")) argument = QStringLiteral("--open-set=even");
        if (argument == QStringLiteral("--search")) argument = QStringLiteral("--search=rank1");
    }
    return arguments;
}

}  // namespace

namespace {

struct OptionSpec {
    const char* name;
    const char* description;
    const char* valueName;  // null: a switch
};

const OptionSpec optionSpecs[] = {
    {"train", "Gallery images per person (default 5).", "K"},
    {"method",
     "designed (the default: the designed recognizer, as the exports run it), discriminant or "
     "lbp-discriminant (the identifier's methods; see morlin --help).",
     "NAME"},
    {"kernel", "Kernel PCA with linear, poly, rbf or sigmoid (default: plain PCA).", "NAME"},
    {"gamma", "Kernel gamma (default 1).", "G"},
    {"coef0", "Kernel coef0 (default 0).", "C"},
    {"degree", "Polynomial degree (default 2).", "D"},
    {"components", "Principal components (default 30).", "N"},
    {"distance",
     "Measure index 0-9 or name: CityBlock, Euclidean, Covariance, Correlation, MahCosine, "
     "YamborAngle, YamborDistance, MahL1, MahL2, LDASoft (default CityBlock).",
     "M"},
    {"threshold", "Match threshold (default 3).", "T"},
    {"calibrate",
     "Verification: choose the threshold whose false-match rate per comparison is FMR, from "
     "the gallery (each enrolled person left out in turn, compared as a stranger).",
     "FMR"},
    {"calibrate-fpir",
     "Identification: choose the threshold at which a share FPIR of strangers get a name, "
     "from the gallery (each enrolled person left out in turn).",
     "FPIR"},
    {"search",
     "Choose kernel, components and measure on the gallery: --search by rank-1 over the "
     "gallery folds, --search=identification by FNIR at the FPIR target (5 % unless "
     "--calibrate-fpir).",
     "GOAL"},
    {"open-set",
     "Enrol every other person (--open-set or =even: the first, third, ...; =odd: the "
     "others; =random:N a random half, the same for the same N); the rest are strangers "
     "whose every image is a probe. Reports FPIR and FNIR.",
     "HALF"},
    {"relight",
     "Change the light of the probes (=probes) or of every image (=all), each by a shadow "
     "from one side or above, under- or over-exposure or dark glasses, drawn from its file "
     "name: the same every run.",
     "WHICH"},
    {"export",
     "Write the images as they would be evaluated (after --relight) into FOLDER, one folder "
     "per person, and stop: the same faces for other programs.",
     "FOLDER"},
    {"plot",
     "Write the distance histograms and the DET curve (with --open-set also the FNIR/FPIR "
     "curve) to FILE (PNG).",
     "FILE"},
    {"repeat",
     "Train and recognize N times in this process and report the median times (default 1).", "N"},
    {"json", "One JSON object on standard output.", nullptr},
};

void Configure(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Measures the recognizer module on a face database. DATASET holds one folder per\n"
        "person; the first --train images of each person (in natural name order) form the\n"
        "gallery, the rest are probes. --calibrate, --calibrate-fpir and --search use the\n"
        "gallery alone. Exit status: 0 done, 2 wrong options or unusable data."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionSpec& spec : optionSpecs) {
        QCommandLineOption option(QString::fromLatin1(spec.name),
                                  QString::fromUtf8(spec.description));
        if (spec.valueName != nullptr) option.setValueName(QString::fromLatin1(spec.valueName));
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("DATASET"),
                                 QStringLiteral("The face database folder."));
}

}  // namespace

std::string EvalUsage() {
    QCommandLineParser parser;
    Configure(parser);
    // The usage is shown before any application object exists, when the
    // parser cannot know the program's name.
    return parser.helpText()
        .replace(QStringLiteral("<executable_name>"), QStringLiteral("morlin-eval"))
        .toStdString();
}

std::optional<EvalOptions> ParseEvalOptions(const QStringList& arguments, std::string& error,
                                            EvalRequest& request) {
    QCommandLineParser parser;
    Configure(parser);
    error.clear();
    request = EvalRequest::Run;
    if (!parser.parse(WithOptionalValues(arguments))) {
        error = parser.errorText().toStdString();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        request = EvalRequest::Help;
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        request = EvalRequest::Version;
        return std::nullopt;
    }
    EvalOptions options;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        error = positional.empty() ? "no DATASET given"
                                   : "more than one DATASET given: " + positional[1].toStdString();
        return std::nullopt;
    }
    // The file system's own bytes, whatever their encoding.
    options.dataset = QFile::encodeName(positional.front()).toStdString();
    options.json = parser.isSet(QStringLiteral("json"));
    options.plotFile = parser.value(QStringLiteral("plot")).toStdString();

    PCAParameter& p = options.param;
    for (const OptionSpec& spec : optionSpecs) {
        const QString name = QString::fromLatin1(spec.name);
        if (spec.valueName == nullptr || !parser.isSet(name)) continue;
        const std::string arg = std::string("--") + spec.name;
        const std::string value = parser.value(name).toStdString();
        bool ok = true;
        if (arg == "--train") {
            ok = ParseInt(value, options.trainPerPerson) && options.trainPerPerson >= 1;
        } else if (const std::optional<bool> read =
                       ReadRecognizerOption(spec.name, value, p, options.method, false)) {
            ok = *read;
        } else if (arg == "--calibrate") {
            ok = ParseRate(value, options.calibrateFmr);
        } else if (arg == "--calibrate-fpir") {
            ok = ParseRate(value, options.calibrateFpir);
        } else if (arg == "--search") {
            ok = value == "rank1" || value == "identification";
            options.search =
                value == "identification" ? SearchGoal::Identification : SearchGoal::Rank1;
        } else if (arg == "--open-set") {
            int seed = 0;
            if (value == "even" || value == "odd") {
                options.openSet = value == "odd" ? OpenSetHalf::Odd : OpenSetHalf::Even;
            } else if (value.rfind("random:", 0) == 0 && ParseInt(value.substr(7), seed) &&
                       seed >= 0) {
                options.openSet = OpenSet(OpenSetHalf::Random, static_cast<unsigned>(seed));
            } else {
                ok = false;
            }
        } else if (arg == "--relight") {
            ok = value == "probes" || value == "all";
            options.relight = value == "all" ? Relight::All : Relight::Probes;
        } else if (arg == "--export") {
            ok = !value.empty();
            options.exportFolder = QFile::encodeName(QString::fromStdString(value)).toStdString();
        } else if (arg == "--repeat") {
            ok = ParseInt(value, options.repeat) && options.repeat >= 1;
        } else if (arg == "--plot") {
            ok = !value.empty();
        }
        if (!ok) {
            error = "invalid value for " + arg + ": " + value;
            return std::nullopt;
        }
    }
    if (options.calibrateFmr && options.calibrateFpir) {
        error = "--calibrate and --calibrate-fpir both choose the threshold: give one";
        return std::nullopt;
    }
    if (options.search && options.method != morlin::Method::Designed) {
        error = "--search explores the designed method's settings: give it without --method";
        return std::nullopt;
    }
    if ((options.search || options.calibrateFmr) && options.trainPerPerson < 2) {
        error =
            "--search and --calibrate need --train 2 or more (one image per person is held out)";
        return std::nullopt;
    }
    return options;
}
