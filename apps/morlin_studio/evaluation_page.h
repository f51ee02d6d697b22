// morlin-studio's Evaluate page: on the images a folder held back, the
// verification and identification charts and a summary of the rates.
#pragma once

#include <QWidget>

#include "identification.h"
#include "morlin/identifier.h"
#include "verification.h"

class QVBoxLayout;

// What one evaluation found.
struct StudioEvaluation {
    morlin::Settings settings;
    double rank1 = 0.0;
    SortedComparisons verification{Comparisons{}};
    OpenSetSearches identification{{}};
};

class EvaluationPage : public QWidget {
    Q_OBJECT

public:
    explicit EvaluationPage(QWidget* parent = nullptr);

    // Replaces the charts and the summary with those of evaluation.
    void Show(const StudioEvaluation& evaluation);

private:
    QVBoxLayout* layout;
};
