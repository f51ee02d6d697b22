// ParaSet: the parameter dialog over the recognizer's parameters. The dialog
// opens inside the host's QApplication, owned by its active window, on the
// thread that runs it (Qt builds widgets nowhere else); a host without one,
// or a call from another thread, gets the reason on the message channel and
// nothing changes.
#include <QApplication>
#include <QThread>

#include <cmath>
#include <limits>

#include "plugin/morlin.h"
#include "kpca/recognizer_message.h"
#include "ui/parameter_dialog.h"

namespace {

// The dialog's degree edit holds an int; the parameter is a double.
int TruncatedDegree(double degree) {
    if (!(std::fabs(degree) < static_cast<double>(std::numeric_limits<int>::max()))) return 0;
    return static_cast<int>(degree);
}

}  // namespace

void CNolt_PCARecognition::ParaSet() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        ReportRecognizerMessage("识别算法参数设置需要宿主程序的 QApplication；参数未改变。");
        return;
    }
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        ReportRecognizerMessage(
            "识别算法参数设置只能在运行 QApplication 的线程上打开；参数未改变。");
        return;
    }
    ParameterDialog dialog(QApplication::activeWindow());
    dialog.listSize = sampleCount;
    dialog.kernelOn = param.isKernel;
    dialog.coef0Value = param.coef0;
    dialog.degreeValue = TruncatedDegree(param.degree);
    dialog.kernelIndex = param.kernelType;
    dialog.distanceIndex = param.distanceType;
    dialog.componentIndex = param.componentNum - 1;
    dialog.gammaValue = param.gamma;
    dialog.thresholdValue = param.threshold;
    if (dialog.exec() != QDialog::Accepted) return;

    // Only the flag changes: a held model stays and goes on recognizing (Stale)
    // until the next Train replaces it.
    trained = false;
    param.isKernel = dialog.kernelOn;
    param.coef0 = dialog.coef0Value;
    param.degree = dialog.degreeValue;
    param.gamma = dialog.gammaValue;
    param.threshold = dialog.thresholdValue;
    param.distanceType = dialog.distanceIndex;
    // No component chosen (an empty or unmatched list) keeps the count:
    // a count of 0 would leave the recognizer nothing to train.
    if (dialog.componentIndex >= 0) param.componentNum = dialog.componentIndex + 1;
    param.kernelType = dialog.kernelIndex;
}
