// One evaluation run of the recognizer on a face dataset: trained on the
// gallery, every probe ranked against it through the recognizer's public class.
#pragma once

#include <vector>

#include "face_dataset.h"
#include "verification.h"
#include "plugin/morlin.h"

struct ProbeResult {
    std::vector<foundFace> ranked;   // every gallery image, nearest first
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

// Trains on the gallery with param and recognizes every probe.
Evaluation Evaluate(FaceDataset& dataset, const PCAParameter& param);

// Every probe against every gallery image, genuine or impostor.
Comparisons ProbeComparisons(const FaceDataset& dataset, const Evaluation& evaluation);
