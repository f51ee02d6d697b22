// Option parsing of morlin-eval: every number must be whole and in range.
#include "eval_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

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

std::string EvalUsage() {
    return "usage: morlin-eval [options] DATASET\n"
           "  DATASET holds one folder per person; the first --train images of each\n"
           "  person (in natural name order) form the gallery, the rest are probes.\n"
           "options:\n"
           "  --train K          gallery images per person (default 5)\n"
           "  --kernel NAME      linear, poly, rbf or sigmoid: kernel PCA (default: plain PCA)\n"
           "  --gamma G          kernel gamma (default 1)\n"
           "  --coef0 C          kernel coef0 (default 0)\n"
           "  --degree D         polynomial degree (default 2)\n"
           "  --components N     principal components (default 30)\n"
           "  --distance M       measure index 0-9 or name (CityBlock, Euclidean, Covariance,\n"
           "                     Correlation, MahCosine, YamborAngle, YamborDistance, MahL1,\n"
           "                     MahL2, LDASoft; default CityBlock)\n"
           "  --threshold T      match threshold (default 3)\n"
           "  --json             one JSON object on standard output\n"
           "exit status: 0 done, 2 wrong options or unusable data\n";
}

std::optional<EvalOptions> ParseEvalOptions(int argc, char** argv, std::string& error) {
    EvalOptions options;
    error.clear();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return std::nullopt;
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!options.dataset.empty()) {
                error = "more than one DATASET given: " + arg;
                return std::nullopt;
            }
            options.dataset = arg;
            continue;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string value = argv[++i];
        bool ok = true;
        PCAParameter& p = options.param;
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
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (!ok) {
            error = "invalid value for " + arg + ": " + value;
            return std::nullopt;
        }
    }
    if (options.dataset.empty()) {
        error = "no DATASET given";
        return std::nullopt;
    }
    return options;
}
