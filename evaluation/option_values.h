// Values of the evaluation programs' options, each parsed whole (no trailing
// characters) and checked against its range: what morlin-eval and morlin
// both accept.
#pragma once

#include <optional>
#include <string>

#include "morlin/morlin.h"

bool ParseDouble(const std::string& text, double& value);
// A whole number from -10^9 to 10^9.
bool ParseInt(const std::string& text, int& value);
// A measure index 0-9, or a measure's list name, blanks around it and case
// not counting.
bool ParseDistance(const std::string& text, int& index);
// A rate strictly between 0 and 1.
bool ParseRate(const std::string& text, std::optional<double>& rate);
// A kernel name of kernelNames into p (isKernel set); "none" (when allowed)
// is plain PCA.
bool ParseKernel(const std::string& text, PCAParameter& p, bool noneAllowed);

// The measures' names, for help texts: "CityBlock, Euclidean, ..., LDASoft".
std::string MeasureNames();
