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
