// Nearest image per person and the ratio score.
#include "identifier/person_scores.h"

#include <algorithm>
#include <cmath>
#include <limits>

PersonDistances NearestPerPerson(const std::vector<double>& distances,
                                 const std::vector<int>& personOf, int personCount) {
    return NearestPerPerson(distances.data(), personOf, personCount);
}

PersonDistances NearestPerPerson(const double* distances, const std::vector<int>& personOf,
                                 int personCount) {
    PersonDistances result;
    result.nearest.assign(static_cast<size_t>(personCount),
                          std::numeric_limits<double>::infinity());
    result.image.assign(static_cast<size_t>(personCount), -1);
    for (size_t i = 0; i < personOf.size(); ++i) {
        const auto p = static_cast<size_t>(personOf[i]);
        // NaN matches nothing: it counts as infinitely far.
        const double d =
            std::isnan(distances[i]) ? std::numeric_limits<double>::infinity() : distances[i];
        if (result.image[p] < 0 || d < result.nearest[p]) {
            result.nearest[p] = d;
            result.image[p] = static_cast<int>(i);
        }
    }
    return result;
}

PersonDistances NearestPerPerson(const float* probe, const float* gallery, int dimensions,
                                 const std::vector<int>& personOf, int personCount) {
    std::vector<double> distances(personOf.size());
    for (size_t i = 0; i < personOf.size(); ++i) {
        const float* g = gallery + i * static_cast<size_t>(dimensions);
        double sum = 0.0;
        for (int k = 0; k < dimensions; ++k) {
            const double d = double{probe[k]} - g[k];
            sum += d * d;
        }
        distances[i] = std::sqrt(sum);
    }
    return NearestPerPerson(distances, personOf, personCount);
}

std::vector<int> PeopleByDistance(const PersonDistances& distances, size_t limit) {
    std::vector<int> people;
    for (size_t p = 0; p < distances.image.size(); ++p)
        if (distances.image[p] >= 0) people.push_back(static_cast<int>(p));
    // Nearer first, then the earlier person: a total order, so the first
    // limit are the same whether all are sorted or only they.
    const auto before = [&](int a, int b) {
        const double da = distances.nearest[static_cast<size_t>(a)];
        const double db = distances.nearest[static_cast<size_t>(b)];
        return da < db || (da == db && a < b);
    };
    if (limit < people.size()) {
        std::partial_sort(people.begin(), people.begin() + static_cast<ptrdiff_t>(limit),
                          people.end(), before);
        people.resize(limit);
    } else {
        std::sort(people.begin(), people.end(), before);
    }
    return people;
}

RankedPeople RankPeople(const PersonDistances& distances) {
    RankedPeople ranked;
    for (size_t p = 0; p < distances.image.size(); ++p) {
        if (distances.image[p] < 0) continue;
        const double d = distances.nearest[p];
        const int person = static_cast<int>(p);
        if (ranked.best < 0 || d < ranked.bestDistance) {
            ranked.second = ranked.best;
            ranked.secondDistance = ranked.bestDistance;
            ranked.best = person;
            ranked.bestDistance = d;
        } else if (ranked.second < 0 || d < ranked.secondDistance) {
            ranked.second = person;
            ranked.secondDistance = d;
        }
    }
    return ranked;
}

double DistanceRatio(double distance, double next) {
    if (!(next > 0.0)) return distance > 0.0 ? std::numeric_limits<double>::infinity() : 1.0;
    return distance / next;
}

double RatioScore(const RankedPeople& ranked, double fallback) {
    return DistanceRatio(ranked.bestDistance,
                         ranked.second >= 0 ? ranked.secondDistance : fallback);
}
