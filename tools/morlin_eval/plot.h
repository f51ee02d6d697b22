// The verification plot: genuine and impostor distance histograms with the
// threshold marked, and the DET curve (FNMR against FMR, log axes) with the
// operating point, side by side in one PNG. Needs a QApplication.
#pragma once

#include <QString>

#include <string>

#include "verification.h"

bool WriteVerificationPlot(const QString& file, const SortedComparisons& comparisons,
                           double threshold, std::string& error);
