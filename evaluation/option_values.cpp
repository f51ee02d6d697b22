// Option values parsed strictly.
#include "option_values.h"

#include <QString>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

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

bool ParseDistance(const std::string& text, int& index) {
    if (ParseInt(text, index)) return index >= 0 && index < distanceMeasureCount;
    const QString wanted = QString::fromStdString(text).trimmed();
    for (int i = 0; i < distanceMeasureCount; ++i) {
        const std::string_view name = MeasureName(i);
        if (QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()))
                .compare(wanted, Qt::CaseInsensitive) == 0) {
            index = i;
            return true;
        }
    }
    return false;
}

bool ParseRate(const std::string& text, std::optional<double>& rate) {
    double value = 0.0;
    if (!ParseDouble(text, value) || !(value > 0.0 && value < 1.0)) return false;
    rate = value;
    return true;
}

bool ParseKernel(const std::string& text, PCAParameter& p, bool noneAllowed) {
    if (noneAllowed && text == "none") {
        p.isKernel = false;
        p.kernelType = static_cast<int>(KernelType::Linear);
        return true;
    }
    for (size_t k = 0; k < kernelNames.size(); ++k)
        if (text == kernelNames[k]) {
            p.isKernel = true;
            p.kernelType = static_cast<int>(k);
            return true;
        }
    return false;
}

std::optional<bool> ReadRecognizerOption(const std::string& name, const std::string& value,
                                         PCAParameter& p, morlin::Method& method,
                                         bool noneKernelAllowed) {
    if (name == "method") {
        const std::optional<morlin::Method> named = morlin::MethodNamed(value);
        if (named) method = *named;
        return named.has_value();
    }
    if (name == "kernel") return ParseKernel(value, p, noneKernelAllowed);
    if (name == "gamma") return ParseDouble(value, p.gamma);
    if (name == "coef0") return ParseDouble(value, p.coef0);
    if (name == "degree") return ParseDouble(value, p.degree);
    if (name == "components") return ParseInt(value, p.componentNum) && p.componentNum >= 1;
    if (name == "distance") return ParseDistance(value, p.distanceType);
    if (name == "threshold") return ParseDouble(value, p.threshold);
    return std::nullopt;
}

std::string MeasureNames() {
    std::string names;
    for (int i = 0; i < distanceMeasureCount; ++i)
        names += (i == 0 ? "" : ", ") + std::string(MeasureName(i));
    return names;
}
