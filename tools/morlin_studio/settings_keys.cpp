// The recognizer's parameters kept in QSettings, one key each.
#include "settings_keys.h"

namespace {

// Each parameter under its own key, in the order of the record.
constexpr char isKernelKey[] = "parameters/isKernel";
constexpr char componentNumKey[] = "parameters/componentNum";
constexpr char distanceTypeKey[] = "parameters/distanceType";
constexpr char kernelTypeKey[] = "parameters/kernelType";
constexpr char gammaKey[] = "parameters/gamma";
constexpr char coef0Key[] = "parameters/coef0";
constexpr char degreeKey[] = "parameters/degree";
constexpr char thresholdKey[] = "parameters/threshold";

}  // namespace

PCAParameter LoadParameters(const QSettings& settings) {
    const PCAParameter defaults;
    PCAParameter p;
    p.isKernel = settings.value(isKernelKey, defaults.isKernel).toBool();
    p.componentNum = settings.value(componentNumKey, defaults.componentNum).toInt();
    p.distanceType = settings.value(distanceTypeKey, defaults.distanceType).toInt();
    p.kernelType = settings.value(kernelTypeKey, defaults.kernelType).toInt();
    p.gamma = settings.value(gammaKey, defaults.gamma).toDouble();
    p.coef0 = settings.value(coef0Key, defaults.coef0).toDouble();
    p.degree = settings.value(degreeKey, defaults.degree).toDouble();
    p.threshold = settings.value(thresholdKey, defaults.threshold).toDouble();
    return p;
}

void SaveParameters(QSettings& settings, const PCAParameter& p) {
    settings.setValue(isKernelKey, p.isKernel);
    settings.setValue(componentNumKey, p.componentNum);
    settings.setValue(distanceTypeKey, p.distanceType);
    settings.setValue(kernelTypeKey, p.kernelType);
    settings.setValue(gammaKey, p.gamma);
    settings.setValue(coef0Key, p.coef0);
    settings.setValue(degreeKey, p.degree);
    settings.setValue(thresholdKey, p.threshold);
}
