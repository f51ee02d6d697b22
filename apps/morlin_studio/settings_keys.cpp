// The identifier's settings kept in QSettings, one key each.
#include "settings_keys.h"

namespace {

// Each setting under its own key, in the order of the record.
constexpr char methodKey[] = "parameters/method";
constexpr char isKernelKey[] = "parameters/isKernel";
constexpr char componentNumKey[] = "parameters/componentNum";
constexpr char distanceTypeKey[] = "parameters/distanceType";
constexpr char kernelTypeKey[] = "parameters/kernelType";
constexpr char gammaKey[] = "parameters/gamma";
constexpr char coef0Key[] = "parameters/coef0";
constexpr char degreeKey[] = "parameters/degree";
constexpr char thresholdKey[] = "parameters/threshold";

}  // namespace

morlin::Settings LoadSettings(const QSettings& settings) {
    const morlin::Settings defaults;
    morlin::Settings s;
    s.method = morlin::MethodNamed(settings.value(methodKey).toString().toStdString())
                   .value_or(defaults.method);
    PCAParameter& p = s.designed;
    p.isKernel = settings.value(isKernelKey, defaults.designed.isKernel).toBool();
    p.componentNum = settings.value(componentNumKey, defaults.designed.componentNum).toInt();
    p.distanceType = settings.value(distanceTypeKey, defaults.designed.distanceType).toInt();
    p.kernelType = settings.value(kernelTypeKey, defaults.designed.kernelType).toInt();
    p.gamma = settings.value(gammaKey, defaults.designed.gamma).toDouble();
    p.coef0 = settings.value(coef0Key, defaults.designed.coef0).toDouble();
    p.degree = settings.value(degreeKey, defaults.designed.degree).toDouble();
    p.threshold = settings.value(thresholdKey, defaults.designed.threshold).toDouble();
    return s;
}

void SaveSettings(QSettings& settings, const morlin::Settings& s) {
    settings.setValue(methodKey, QString::fromStdString(morlin::MethodName(s.method)));
    const PCAParameter& p = s.designed;
    settings.setValue(isKernelKey, p.isKernel);
    settings.setValue(componentNumKey, p.componentNum);
    settings.setValue(distanceTypeKey, p.distanceType);
    settings.setValue(kernelTypeKey, p.kernelType);
    settings.setValue(gammaKey, p.gamma);
    settings.setValue(coef0Key, p.coef0);
    settings.setValue(degreeKey, p.degree);
    settings.setValue(thresholdKey, p.threshold);
}
