// The report as one JSON object on standard output (--json): the setting,
// every gallery image and probe with its ranking, and the figures under
// "summary", "verification", "identification" (open set or FPIR calibration),
// "calibration", "calibration_fpir" and "search".
#pragma once

#include "run_evaluation.h"

void WriteJsonReport(const EvalOptions& options, const Report& report);
