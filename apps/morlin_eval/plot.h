// The report's plot: genuine and impostor distance histograms with the
// threshold marked, the DET curve (FNMR against FMR, log axes) with the
// operating point, and with an open set the identification curve (FNIR
// against FPIR, log axes) with its operating point, side by side in one PNG.
// Needs a QApplication.
#pragma once

#include <QString>

#include <string>

#include "run_evaluation.h"

bool WritePlot(const QString& file, const Report& report, std::string& error);
