// A recognizer setting in one line of text, for reports and windows.
#pragma once

#include <string>

#include "plugin/morlin.h"

// "rbf gamma=0.00058 components=30 MahCosine" and the like.
std::string DescribeSetting(const PCAParameter& param);
