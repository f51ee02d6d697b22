// A recognizer setting described in one line.
#include "setting_text.h"

#include <cstdio>

std::string DescribeSetting(const PCAParameter& param) {
    char text[160];
    const std::string measure = param.distanceType >= 0 && param.distanceType < distanceMeasureCount
                                    ? std::string(MeasureName(param.distanceType))
                                    : "no measure";
    if (!param.isKernel)
        std::snprintf(text, sizeof text, "PCA components=%d %s", param.componentNum,
                      measure.c_str());
    else if (param.kernelType < 0 || param.kernelType >= kernelTypeCount)
        std::snprintf(text, sizeof text, "no kernel chosen, components=%d %s", param.componentNum,
                      measure.c_str());
    else if (param.kernelType == static_cast<int>(KernelType::Polynomial))
        std::snprintf(text, sizeof text, "poly degree=%g gamma=%.3g coef0=%g components=%d %s",
                      param.degree, param.gamma, param.coef0, param.componentNum, measure.c_str());
    else
        std::snprintf(text, sizeof text, "%s gamma=%.3g components=%d %s",
                      std::string(kernelNames[static_cast<size_t>(param.kernelType)]).c_str(),
                      param.gamma, param.componentNum, measure.c_str());
    return text;
}

std::string DescribeSetting(const morlin::Settings& settings) {
    if (settings.method == morlin::Method::Designed) return DescribeSetting(settings.designed);
    const PCAParameter& p = settings.designed;
    std::string kernel = "PCA";
    char text[96];
    if (p.isKernel && p.kernelType >= 0 && p.kernelType < kernelTypeCount) {
        if (p.kernelType == static_cast<int>(KernelType::Polynomial))
            std::snprintf(text, sizeof text, "poly degree=%g gamma=%.3g coef0=%g", p.degree,
                          p.gamma, p.coef0);
        else
            std::snprintf(text, sizeof text, "%s gamma=%.3g",
                          std::string(kernelNames[static_cast<size_t>(p.kernelType)]).c_str(),
                          p.gamma);
        kernel = text;
    }
    return morlin::MethodName(settings.method) + ", " + kernel;
}
