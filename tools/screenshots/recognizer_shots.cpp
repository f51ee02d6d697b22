#include "screenshots.h"

void RecognizerScreenshots(const QString&, const QString&) {}
