// morlin-eval: measures the recognizer on a face database. It runs the
// recognizer's own core, built in (see tools/CMakeLists.txt), with its public
// class. Set up, run the evaluation, write the report, return its status.
#include <QApplication>
#include <QCoreApplication>

#include <iostream>
#include <memory>

#include "eval_options.h"
#include "json_report.h"
#include "plot.h"
#include "run_evaluation.h"
#include "text_report.h"

namespace {

constexpr int unusableStatus = 2;

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    std::string error;
    EvalRequest request = EvalRequest::Run;
    const std::optional<EvalOptions> options = ParseEvalOptions(arguments, error, request);
    if (!options) {
        if (request == EvalRequest::Help) {
            std::cout << EvalUsage();
            return 0;
        }
        if (request == EvalRequest::Version) {
            std::cout << "morlin-eval " << MORLIN_EVAL_VERSION << "\n";
            return 0;
        }
        std::cerr << "morlin-eval: " << error << "\n" << EvalUsage();
        return unusableStatus;
    }
    // Charts need widgets; the plot goes to a file, so no display is needed.
    std::unique_ptr<QCoreApplication> app;
    if (options->plotFile.empty()) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }

    if (!options->exportFolder.empty()) {
        FaceDataset faces;
        if (!LoadEvaluationFaces(*options, faces, error) ||
            !WriteFaceDataset(faces, options->exportFolder, error)) {
            std::cerr << "morlin-eval: " << error << "\n";
            return unusableStatus;
        }
        return 0;
    }
    Report report;
    if (!RunEvaluation(*options, report, error)) {
        std::cerr << "morlin-eval: " << error << "\n";
        return unusableStatus;
    }
    if (options->json)
        WriteJsonReport(*options, report);
    else
        WriteTextReport(report);
    if (!options->plotFile.empty()) {
        if (!WritePlot(QString::fromStdString(options->plotFile), report, error)) {
            std::cerr << "morlin-eval: " << error << "\n";
            return unusableStatus;
        }
        if (!options->json) std::cout << "plot                  " << options->plotFile << "\n";
    }
    return 0;
}
