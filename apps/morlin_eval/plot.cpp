// The report's PNG: the verification charts, and the identification curve for an open set.
#include "plot.h"

#include "evaluation_charts.h"

bool WritePlot(const QString& file, const Report& report, std::string& error) {
    const double threshold = report.param.threshold;
    std::vector<QChart*> charts{DistanceHistogramChart(report.verification, threshold),
                                DetChart(report.verification, threshold)};
    if (report.openSet) charts.push_back(IdentificationChart(report.identification, threshold));
    return WriteChartsPng(charts, file, error);
}
