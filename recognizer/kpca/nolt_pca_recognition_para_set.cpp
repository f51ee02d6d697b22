// The parameter dialog over a set of recognizer parameters: ParaSet of the
// designed class, and morlin::EditParameters for the identifier's settings.
// The dialog opens inside the host's QApplication, owned by its active
// window, on the thread that runs it (Qt builds widgets nowhere else).
#include <QApplication>
#include <QThread>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "morlin/identifier.h"
#include "kpca/recognizer_message.h"
#include "kpca/recognizer_texts.h"
#include "morlin/morlin.h"
#include "ui/parameter_dialog.h"

namespace {

// The dialog's degree edit holds an int; the parameter is a double.
int TruncatedDegree(double degree) {
    if (!(std::fabs(degree) < static_cast<double>(std::numeric_limits<int>::max()))) return 0;
    return static_cast<int>(degree);
}

// Why the dialog cannot open here; nothing when it can.
const char* DialogRefusal() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return recognizer_text::dialogNeedsApplication;
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        return recognizer_text::dialogOnOtherThread;
    return nullptr;
}

// Runs the dialog over p with components 1..listSize offered; true, with p
// holding the accepted values, when the user accepted it.
bool RunParameterDialog(PCAParameter& p, int listSize) {
    ParameterDialog dialog(QApplication::activeWindow());
    dialog.listSize = listSize;
    dialog.kernelOn = p.isKernel;
    dialog.coef0Value = p.coef0;
    dialog.degreeValue = TruncatedDegree(p.degree);
    dialog.kernelIndex = p.kernelType;
    dialog.distanceIndex = p.distanceType;
    dialog.componentIndex = p.componentNum - 1;
    dialog.gammaValue = p.gamma;
    dialog.thresholdValue = p.threshold;
    if (dialog.exec() != QDialog::Accepted) return false;

    p.isKernel = dialog.kernelOn;
    p.coef0 = dialog.coef0Value;
    p.degree = dialog.degreeValue;
    p.gamma = dialog.gammaValue;
    p.threshold = dialog.thresholdValue;
    p.distanceType = dialog.distanceIndex;
    // No component chosen (an empty or unmatched list) keeps the count:
    // a count of 0 would leave the recognizer nothing to train.
    if (dialog.componentIndex >= 0) p.componentNum = dialog.componentIndex + 1;
    p.kernelType = dialog.kernelIndex;
    return true;
}

}  // namespace

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

namespace morlin {

bool EditParameters(PCAParameter& parameters, int componentChoices) {
    if (DialogRefusal())
        throw Error(
            "the parameter dialog needs the host's QApplication and opens only on its thread");
    return RunParameterDialog(parameters, componentChoices);
}

}  // namespace morlin
