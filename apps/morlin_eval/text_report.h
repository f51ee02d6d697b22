// The report as text for a person: the search's best settings, the
// calibrations, the setting used and the figures, one per line.
#pragma once

#include "run_evaluation.h"

void WriteTextReport(const Report& report);
