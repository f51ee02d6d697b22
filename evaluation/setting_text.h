// A recognizer setting in one line of text, for reports and windows.
#pragma once

#include <string>

#include "morlin/identifier.h"
#include "morlin/morlin.h"

// "rbf gamma=0.00058 components=30 MahCosine" and the like.
std::string DescribeSetting(const PCAParameter& param);
// The designed method's setting as above; another method by its name and
// kernel: "lbp-discriminant, PCA" or "discriminant, rbf gamma=0.001".
std::string DescribeSetting(const morlin::Settings& settings);
