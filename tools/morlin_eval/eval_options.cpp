// Option parsing of morlin-eval: every number must be whole and in range.
#include "eval_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include <QCommandLineParser>
#include <QFile>

namespace {

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && !std::isnan(value);
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < -1000000000L || v > 1000000000L) return false;
    value = static_cast<int>(v);
    return true;
}

std::string Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A measure index 0-9, or a measure's list name with blanks trimmed.
bool ParseDistance(const std::string& text, int& index) {
    if (ParseInt(text, index)) return index >= 0 && index < distanceMeasureCount;
    const std::string wanted = Trimmed(text);
    for (int i = 0; i < distanceMeasureCount; ++i) {
        if (EqualIgnoringCase(std::string(MeasureName(i)), wanted)) {
            index = i;
            return true;
        }
    }
    return false;
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
    {"calibrate", "Choose the threshold whose false-match rate on the gallery folds is FMR.",
     "FMR"},
    {"search", "Choose kernel, components and measure by cross-validation on the gallery.",
     nullptr},
    {"plot", "Write genuine/impostor histograms and the DET curve to FILE (PNG).", "FILE"},
    {"repeat",
     "Train and recognize N times in this process and report the median times (default 1).", "N"},
    {"json", "One JSON object on standard output.", nullptr},
};

void Configure(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Measures the recognizer module on a face database. DATASET holds one folder per\n"
        "person; the first --train images of each person (in natural name order) form the\n"
        "gallery, the rest are probes. --calibrate and --search use the gallery alone.\n"
        "Exit status: 0 done, 2 wrong options or unusable data."));
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
    return parser.helpText().toStdString();
}

std::optional<EvalOptions> ParseEvalOptions(const QStringList& arguments, std::string& error,
                                            EvalRequest& request) {
    QCommandLineParser parser;
    Configure(parser);
    error.clear();
    request = EvalRequest::Run;
    if (!parser.parse(arguments)) {
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
    options.search = parser.isSet(QStringLiteral("search"));
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
        } else if (arg == "--kernel") {
            ok = false;
            for (size_t k = 0; k < kernelNames.size(); ++k)
                if (value == kernelNames[k]) {
                    p.isKernel = true;
                    p.kernelType = static_cast<int>(k);
                    ok = true;
                }
        } else if (arg == "--gamma") {
            ok = ParseDouble(value, p.gamma);
        } else if (arg == "--coef0") {
            ok = ParseDouble(value, p.coef0);
        } else if (arg == "--degree") {
            ok = ParseDouble(value, p.degree);
        } else if (arg == "--components") {
            ok = ParseInt(value, p.componentNum) && p.componentNum >= 1;
        } else if (arg == "--distance") {
            ok = ParseDistance(value, p.distanceType);
        } else if (arg == "--threshold") {
            ok = ParseDouble(value, p.threshold);
        } else if (arg == "--calibrate") {
            double fmr = 0.0;
            ok = ParseDouble(value, fmr) && fmr > 0.0 && fmr < 1.0;
            if (ok) options.calibrateFmr = fmr;
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
    if ((options.search || options.calibrateFmr) && options.trainPerPerson < 2) {
        error =
            "--search and --calibrate need --train 2 or more (one image per person is held out)";
        return std::nullopt;
    }
    return options;
}
