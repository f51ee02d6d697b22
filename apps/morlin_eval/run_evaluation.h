// One morlin-eval run: the dataset loaded, parameters searched and the
// threshold calibrated on the gallery alone as asked, then the probes
// recognized and every figure computed, for the reports to write.
#pragma once

#include <optional>
#include <string>

#include "calibration.h"
#include "eval_options.h"
#include "evaluation.h"
#include "face_dataset.h"
#include "identification.h"
#include "parameter_search.h"
#include "verification.h"

struct Report {
    PCAParameter param;  // the setting used, threshold included
    morlin::Method method = morlin::Method::Designed;
    // param with the method, as the evaluation ran it.
    morlin::Settings Settings() const {
        morlin::Settings settings;
        settings.designed = param;
        settings.method = method;
        return settings;
    }
    FaceDataset dataset;
    Evaluation evaluation;
    SortedComparisons verification{Comparisons{}};
    OpenSetSearches identification{{}};
    bool openSet = false;
    std::optional<SearchResult> search;
    std::optional<FmrCalibration> fmrCalibration;
    ErrorRates achievedFmr;  // on the probes, at the calibrated threshold
    std::optional<FpirCalibration> fpirCalibration;
    IdentificationRates achievedFpir;  // on the probes, at the calibrated threshold
};

// The dataset options name, split and relit as they ask. false with error set.
bool LoadEvaluationFaces(const EvalOptions& options, FaceDataset& dataset, std::string& error);

// Runs everything options ask for. false, with error set, when the dataset
// cannot be used.
bool RunEvaluation(const EvalOptions& options, Report& report, std::string& error);
