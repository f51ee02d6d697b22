// One evaluation run of the recognizer on a face dataset: trained on the
// gallery, every probe ranked against it (TrainedModel: the designed method
// through the recognizer's public class, the others through the identifier).
#pragma once

#include <vector>

#include "face_dataset.h"
#include "verification.h"
#include "morlin/identifier.h"
#include "morlin/morlin.h"

struct ProbeResult {
    std::vector<foundFace> ranked;   // every gallery image (or person), nearest first
    std::vector<foundFace> matches;  // those strictly below the threshold
};

struct Evaluation {
    std::vector<ProbeResult> probes;
    double rank1 = 0.0;             // share of mated probes whose nearest image is their person
    double correctMatchRate = 0.0;  // share with at least one correct match
    double falseMatchRate = 0.0;    // share with at least one wrong match
    double trainMs = 0.0;
    double probeMs = 0.0;  // mean per probe
};

// Trains on the gallery with settings and recognizes every probe.
Evaluation Evaluate(FaceDataset& dataset, const morlin::Settings& settings);

// Every probe against every ranked gallery image (or person), genuine or impostor.
Comparisons ProbeComparisons(const FaceDataset& dataset, const Evaluation& evaluation);
