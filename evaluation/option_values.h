// Values of the evaluation programs' options, each parsed whole (no trailing
// characters) and checked against its range: what morlin-eval and morlin
// both accept.
#pragma once

#include <optional>
#include <string>

#include "morlin/identifier.h"
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

// The recognizer's settings that morlin and morlin-eval both take, by the
// option's name without "--": method, kernel, gamma, coef0, degree,
// components, distance and threshold. Nothing when name is none of them;
// otherwise whether value parsed, into p or method. noneKernelAllowed as for
// ParseKernel.
std::optional<bool> ReadRecognizerOption(const std::string& name, const std::string& value,
                                         PCAParameter& p, morlin::Method& method,
                                         bool noneKernelAllowed);

// The measures' names, for help texts: "CityBlock, Euclidean, ..., LDASoft".
std::string MeasureNames();
