// The evaluation run. Every gallery image (or person) is ranked, with no
// threshold; the matches are the ranked entries that the recognizer's own
// strict test would keep under the real threshold.
#include "evaluation.h"

#include <chrono>
#include <limits>

#include "folds.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

Evaluation Evaluate(FaceDataset& dataset, const morlin::Settings& settings) {
    const double threshold = settings.designed.threshold;
    std::vector<int> everyImage(dataset.gallery.size());
    for (size_t i = 0; i < everyImage.size(); ++i) everyImage[i] = static_cast<int>(i);

    Evaluation evaluation;
    const Clock::time_point trainStart = Clock::now();
    TrainedModel model(dataset, everyImage, settings);
    evaluation.trainMs = MillisecondsSince(trainStart);

    int rank1 = 0, mated = 0, withCorrect = 0, withFalse = 0;
    double probeMs = 0.0;
    for (FaceImage& probe : dataset.probes) {
        ProbeResult result;
        const Clock::time_point start = Clock::now();
        result.ranked = model.Rank(probe);
        probeMs += MillisecondsSince(start);

        bool correct = false, wrong = false;
        for (const foundFace& face : result.ranked) {
            if (!(face.distance < threshold)) continue;
            result.matches.push_back(face);
            const bool same =
                dataset.gallery[static_cast<size_t>(face.index)].person == probe.person;
            correct = correct || same;
            wrong = wrong || !same;
        }
        // A stranger has no right answer: rank-1 counts the enrolled people's probes.
        const bool isMated = dataset.IsEnrolled(probe.person);
        mated += isMated ? 1 : 0;
        if (isMated && !result.ranked.empty() &&
            dataset.gallery[static_cast<size_t>(result.ranked.front().index)].person ==
                probe.person)
            ++rank1;
        withCorrect += correct ? 1 : 0;
        withFalse += wrong ? 1 : 0;
        evaluation.probes.push_back(std::move(result));
    }
    const double count = static_cast<double>(dataset.probes.size());
    if (count > 0) {
        evaluation.rank1 = mated > 0 ? static_cast<double>(rank1) / mated : 0.0;
        evaluation.correctMatchRate = withCorrect / count;
        evaluation.falseMatchRate = withFalse / count;
        evaluation.probeMs = probeMs / count;
    }
    return evaluation;
}

Comparisons ProbeComparisons(const FaceDataset& dataset, const Evaluation& evaluation) {
    Comparisons comparisons;
    for (size_t i = 0; i < evaluation.probes.size(); ++i)
        for (const foundFace& face : evaluation.probes[i].ranked)
            (dataset.gallery[static_cast<size_t>(face.index)].person == dataset.probes[i].person
                 ? comparisons.genuine
                 : comparisons.impostor)
                .push_back(face.distance);
    return comparisons;
}
