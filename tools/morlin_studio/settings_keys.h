// What morlin-studio keeps between sessions (QSettings): the last gallery,
// how many images per person it enrolled, the recognizer's parameters and the
// share of strangers last calibrated for.
#pragma once

#include <QSettings>

#include "plugin/morlin.h"

namespace settings {

inline constexpr char galleryFolder[] = "gallery/folder";
inline constexpr char perPerson[] = "gallery/perPerson";
inline constexpr char strangerShare[] = "calibration/strangerShare";

}  // namespace settings

// The saved parameters; the recognizer's defaults for any not saved.
PCAParameter LoadParameters(const QSettings& settings);
void SaveParameters(QSettings& settings, const PCAParameter& p);
