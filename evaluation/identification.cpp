// Open-set rates from searches, and searches of probes left out with their person.
#include "identification.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "evaluation.h"
#include "face_dataset.h"
#include "folds.h"
#include "scores/stranger_scores.h"

OpenSetSearches::OpenSetSearches(const std::vector<Search>& searches) {
    std::vector<double> named;
    for (const Search& s : searches) {
        if (!s.mated)
            strangers.push_back(s.nearest);
        else if (s.nearestIsMate)
            named.push_back(s.nearest);
        mated += s.mated ? 1 : 0;
    }
    strangers = SortedScores(std::move(strangers));
    namedRight = SortedScores(std::move(named));
}

IdentificationRates OpenSetSearches::At(double threshold) const {
    IdentificationRates rates;
    if (!strangers.empty()) rates.fpir = ShareBelow(strangers, threshold);
    if (mated > 0) {
        const auto named =
            std::lower_bound(namedRight.begin(), namedRight.end(), threshold) - namedRight.begin();
        rates.fnir = 1.0 - static_cast<double>(named) / static_cast<double>(mated);
    }
    return rates;
}

std::optional<double> OpenSetSearches::ThresholdForFpir(double target) const {
    return ThresholdForShare(strangers, target);
}

std::optional<double> OpenSetSearches::FnirAtFpir(double target) const {
    if (mated == 0 || static_cast<double>(strangers.size()) * target < 1.0) return std::nullopt;
    // Every threshold up to the stranger distance at that position keeps FPIR
    // at or under target; past the last one, none is named wrongly at all.
    const auto allowed =
        static_cast<size_t>(std::floor(target * static_cast<double>(strangers.size())));
    const double highest =
        allowed < strangers.size() ? strangers[allowed] : std::numeric_limits<double>::infinity();
    return At(highest).fnir;
}

std::optional<double> OpenSetSearches::MatedRank1() const {
    if (mated == 0) return std::nullopt;
    return static_cast<double>(namedRight.size()) / static_cast<double>(mated);
}

std::vector<std::pair<double, double>> OpenSetSearches::Curve() const {
    std::vector<double> thresholds(strangers);
    thresholds.insert(thresholds.end(), namedRight.begin(), namedRight.end());
    thresholds.push_back(std::numeric_limits<double>::infinity());
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    std::vector<std::pair<double, double>> curve;
    for (double t : thresholds) {
        const IdentificationRates r = At(t);
        if (r.fpir && r.fnir) curve.emplace_back(*r.fpir, *r.fnir);
    }
    return curve;
}

std::vector<Search> SearchesOf(const FaceDataset& dataset, const Evaluation& evaluation) {
    std::vector<Search> searches;
    for (size_t i = 0; i < evaluation.probes.size(); ++i) {
        const FaceImage& probe = dataset.probes[i];
        const std::vector<foundFace>& ranked = evaluation.probes[i].ranked;
        Search s;
        s.mated = dataset.IsEnrolled(probe.person);
        s.nearest =
            ranked.empty() ? std::numeric_limits<double>::infinity() : ranked.front().distance;
        s.nearestIsMate =
            !ranked.empty() &&
            dataset.gallery[static_cast<size_t>(ranked.front().index)].person == probe.person;
        searches.push_back(s);
    }
    return searches;
}

std::vector<Search> LeftOutProbeSearches(FaceDataset& dataset, const morlin::Settings& settings,
                                         const Progress& progress) {
    std::vector<Search> searches;
    const std::vector<PersonLeftOut> people = PeopleLeftOut(dataset);
    const int total = static_cast<int>(people.size());
    for (int done = 0; done < total; ++done) {
        const PersonLeftOut& left = people[static_cast<size_t>(done)];
        if (progress) progress(done, total, "leaving out " + DisplayName(left.person));
        std::vector<FaceImage*> own;
        for (FaceImage& probe : dataset.probes)
            if (probe.person == left.person) own.push_back(&probe);
        RankImages(dataset, left.others, own, settings,
                   [&](size_t, const std::vector<foundFace>& ranked) {
                       Search s;
                       s.nearest = ranked.empty() ? std::numeric_limits<double>::infinity()
                                                  : ranked.front().distance;
                       searches.push_back(s);
                   });
    }
    if (progress) progress(total, total, "done");
    return searches;
}
