// The parameter dialog is not part of this build yet: ParaSet changes nothing,
// so the recognizer keeps its parameters and model.
#include "plugin/morlin.h"

void CNolt_PCARecognition::ParaSet() {}
