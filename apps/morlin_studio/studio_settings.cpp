// morlin-studio's kept settings, one key each.
#include "studio_settings.h"

namespace {

constexpr char modelFileKey[] = "model/file";
constexpr char galleryFolderKey[] = "gallery/folder";
constexpr char perPersonKey[] = "gallery/perPerson";
constexpr char strangerShareKey[] = "calibration/strangerShare";
// The identifier's settings, in the order of the record.
constexpr char methodKey[] = "parameters/method";
constexpr char isKernelKey[] = "parameters/isKernel";
constexpr char componentNumKey[] = "parameters/componentNum";
constexpr char distanceTypeKey[] = "parameters/distanceType";
constexpr char kernelTypeKey[] = "parameters/kernelType";
constexpr char gammaKey[] = "parameters/gamma";
constexpr char coef0Key[] = "parameters/coef0";
constexpr char degreeKey[] = "parameters/degree";
constexpr char thresholdKey[] = "parameters/threshold";

constexpr int defaultPerPerson = 5;

}  // namespace

QString StudioSettings::ModelFile() const {
    return kept.value(modelFileKey).toString();
}

void StudioSettings::SetModelFile(const QString& file) {
    kept.setValue(modelFileKey, file);
}

QString StudioSettings::GalleryFolder() const {
    return kept.value(galleryFolderKey).toString();
}

int StudioSettings::PerPerson() const {
    return kept.value(perPersonKey, defaultPerPerson).toInt();
}

void StudioSettings::SetGallery(const QString& folder, int perPerson) {
    kept.setValue(galleryFolderKey, folder);
    kept.setValue(perPersonKey, perPerson);
}

double StudioSettings::StrangerShare() const {
    return kept.value(strangerShareKey, morlin::defaultStrangerRate).toDouble();
}

void StudioSettings::SetStrangerShare(double share) {
    kept.setValue(strangerShareKey, share);
}

morlin::Settings StudioSettings::Next() const {
    const morlin::Settings defaults;
    morlin::Settings s;
    s.method = morlin::MethodNamed(kept.value(methodKey).toString().toStdString())
                   .value_or(defaults.method);
    PCAParameter& p = s.designed;
    p.isKernel = kept.value(isKernelKey, defaults.designed.isKernel).toBool();
    p.componentNum = kept.value(componentNumKey, defaults.designed.componentNum).toInt();
    p.distanceType = kept.value(distanceTypeKey, defaults.designed.distanceType).toInt();
    p.kernelType = kept.value(kernelTypeKey, defaults.designed.kernelType).toInt();
    p.gamma = kept.value(gammaKey, defaults.designed.gamma).toDouble();
    p.coef0 = kept.value(coef0Key, defaults.designed.coef0).toDouble();
    p.degree = kept.value(degreeKey, defaults.designed.degree).toDouble();
    p.threshold = kept.value(thresholdKey, defaults.designed.threshold).toDouble();
    return s;
}

void StudioSettings::SetNext(const morlin::Settings& s) {
    kept.setValue(methodKey, QString::fromStdString(morlin::MethodName(s.method)));
    const PCAParameter& p = s.designed;
    kept.setValue(isKernelKey, p.isKernel);
    kept.setValue(componentNumKey, p.componentNum);
    kept.setValue(distanceTypeKey, p.distanceType);
    kept.setValue(kernelTypeKey, p.kernelType);
    kept.setValue(gammaKey, p.gamma);
    kept.setValue(coef0Key, p.coef0);
    kept.setValue(degreeKey, p.degree);
    kept.setValue(thresholdKey, p.threshold);
}
