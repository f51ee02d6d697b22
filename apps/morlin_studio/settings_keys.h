// What morlin-studio keeps between sessions (QSettings): the model file it
// reopens, the last folder and how many images per person it enrolled, the
// settings the next training uses and the share of strangers last
// calibrated for.
#pragma once

#include <QSettings>

#include "morlin/identifier.h"

namespace settings {

inline constexpr char modelFile[] = "model/file";
inline constexpr char galleryFolder[] = "gallery/folder";
inline constexpr char perPerson[] = "gallery/perPerson";
inline constexpr char strangerShare[] = "calibration/strangerShare";

}  // namespace settings

// The saved settings; the identifier's defaults for any not saved.
morlin::Settings LoadSettings(const QSettings& settings);
void SaveSettings(QSettings& settings, const morlin::Settings& s);
