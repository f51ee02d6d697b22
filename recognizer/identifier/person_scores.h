// Deciding on people, not images: each enrolled person's nearest image to a
// probe, the people ranked by it, and the comparative score of the
// discriminant methods, the nearest person's distance divided by the next
// person's. A face close to one person and far from the rest scores near 0;
// a stranger, about as far from everybody, near 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Per person, the distance of its nearest image and that image (-1 and
// +infinity for a person without images).
struct PersonDistances {
    std::vector<double> nearest;
    std::vector<int> image;
};

// From the distance of the probe to every image, images[i] of person personOf[i].
PersonDistances NearestPerPerson(const std::vector<double>& distances,
                                 const std::vector<int>& personOf, int personCount);
// The same from personOf.size() distances at distances.
PersonDistances NearestPerPerson(const double* distances, const std::vector<int>& personOf,
                                 int personCount);
// The same with Euclidean distances between probe and the rows of gallery
// (one image after the other, dimensions numbers each).
PersonDistances NearestPerPerson(const float* probe, const float* gallery, int dimensions,
                                 const std::vector<int>& personOf, int personCount);

// People with images, nearest first; of equal distances the earlier person
// first. With limit, only the first limit of them (the rest are not sorted).
std::vector<int> PeopleByDistance(const PersonDistances& distances, size_t limit = SIZE_MAX);

struct RankedPeople {
    int best = -1;
    double bestDistance = 0.0;
    int second = -1;  // -1 when only one person has images
    double secondDistance = 0.0;
};
RankedPeople RankPeople(const PersonDistances& distances);

// d / next: the distance of a person over the nearest distance among the
// others. 1 when both are 0 (nothing tells them apart).
double DistanceRatio(double distance, double next);
// The ratio of the nearest person; with nobody second, against fallback.
double RatioScore(const RankedPeople& ranked, double fallback = 1.0);
