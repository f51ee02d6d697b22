// Charts of an evaluation, for a window (in a QChartView) or a picture: the
// genuine and impostor distance histograms with the threshold marked, the
// DET curve (FNMR against FMR, log axes) and the identification curve (FNIR
// against FPIR, log axes), each with its operating point. Need a
// QApplication. The caller owns each chart until a view or scene takes it.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "identification.h"
#include "verification.h"

class QChart;

QChart* DistanceHistogramChart(const SortedComparisons& comparisons, double threshold);
QChart* DetChart(const SortedComparisons& comparisons, double threshold);
QChart* IdentificationChart(const OpenSetSearches& searches, double threshold);

// The charts side by side as one PNG, which then owns them until it goes.
bool WriteChartsPng(const std::vector<QChart*>& charts, const QString& file, std::string& error);
