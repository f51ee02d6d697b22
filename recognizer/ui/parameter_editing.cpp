// The parameter dialog over a set of recognizer parameters, for ParaSet of
// the designed class and for morlin::EditParameters of the identifier.
#include "ui/parameter_editing.h"

#include <QApplication>
#include <QThread>

#include <cmath>
#include <limits>

#include "kpca/recognizer_texts.h"
#include "morlin/identifier.h"
#include "ui/parameter_dialog.h"

namespace {

// The dialog's degree edit holds an int; the parameter is a double.
int TruncatedDegree(double degree) {
    if (!(std::fabs(degree) < static_cast<double>(std::numeric_limits<int>::max()))) return 0;
    return static_cast<int>(degree);
}

}  // namespace

const char* DialogRefusal() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return recognizer_text::dialogNeedsApplication;
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        return recognizer_text::dialogOnOtherThread;
    return nullptr;
}

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

namespace morlin {

bool EditParameters(PCAParameter& parameters, int componentChoices) {
    if (DialogRefusal())
        throw Error(
            "the parameter dialog needs the host's QApplication and opens only on its thread");
    return RunParameterDialog(parameters, componentChoices);
}

}  // namespace morlin
