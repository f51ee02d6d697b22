// ParaSet of the designed class: the parameter dialog over its parameters,
// opened inside the host's QApplication, owned by its active window, on the
// thread that runs it (Qt builds widgets nowhere else).
#include "kpca/recognizer_message.h"
#include "morlin/morlin.h"
#include "ui/parameter_editing.h"

void CNolt_PCARecognition::ParaSet() {
    if (const char* refusal = DialogRefusal()) {
        ReportRecognizerMessage(refusal);
        return;
    }
    PCAParameter edited = param;
    if (!RunParameterDialog(edited, sampleCount)) return;
    // Only the flag changes: a held model stays and goes on recognizing (Stale)
    // until the next Train replaces it.
    trained = false;
    param = edited;
}
