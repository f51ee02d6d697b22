// The Evaluate page: a hint until the first evaluation, then its charts.
#include "evaluation_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include "evaluation_charts.h"
#include "setting_text.h"

namespace {

// A rate, or "n/a" where the images cannot give it (no strangers, say).
QString RateText(const std::optional<double>& rate, int decimals) {
    return rate ? QString::number(*rate, 'f', decimals) : EvaluationPage::tr("n/a");
}

}  // namespace

EvaluationPage::EvaluationPage(QWidget* parent) : QWidget(parent) {
    layout = new QVBoxLayout(this);
    auto* hint = new QLabel(
        tr("Enrol the first K images per person, then Recognizer > Evaluate: the images not "
           "enrolled are recognized, and each person's are also searched as a stranger's."));
    hint->setWordWrap(true);
    layout->addWidget(hint);
}

void EvaluationPage::Show(const StudioEvaluation& evaluation) {
    while (layout->count() > 1) {
        QLayoutItem* item = layout->takeAt(1);
        delete item->widget();
        delete item;
    }
    const double threshold = evaluation.settings.designed.threshold;
    const ErrorRates at = evaluation.verification.At(threshold);
    const IdentificationRates named = evaluation.identification.At(threshold);
    auto* summary =
        new QLabel(tr("%1, threshold %2.\n\nRank-1 %3 on the %4 images not enrolled.\n\n"
                      "Verification, per comparison: FMR %5, FNMR %6.\n\n"
                      "Identification: FPIR %7 (each person's images searched as a stranger's "
                      "among the others), FNIR %8.")
                       .arg(QString::fromStdString(DescribeSetting(evaluation.settings)))
                       .arg(threshold, 0, 'g', 4)
                       .arg(evaluation.rank1, 0, 'f', 3)
                       .arg(evaluation.identification.Mated())
                       .arg(RateText(at.fmr, 4), RateText(at.fnmr, 4), RateText(named.fpir, 3),
                            RateText(named.fnir, 3)));
    summary->setWordWrap(true);
    summary->setObjectName("evaluationSummary");
    summary->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    // Two across, so that each chart's legend has room.
    auto* charts = new QWidget;
    auto* grid = new QGridLayout(charts);
    int place = 0;
    for (QChart* chart : {DistanceHistogramChart(evaluation.verification, threshold),
                          DetChart(evaluation.verification, threshold),
                          IdentificationChart(evaluation.identification, threshold)}) {
        chart->legend()->setAlignment(Qt::AlignBottom);
        // A name cut at a narrow window's edge shows whole under the pointer.
        chart->legend()->setShowToolTips(true);
        auto* view = new QChartView(chart);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 240);
        grid->addWidget(view, place / 2, place % 2);
        ++place;
    }
    grid->addWidget(summary, 1, 1);
    layout->addWidget(charts, 1);
}
