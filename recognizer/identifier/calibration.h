// Calibration for strangers from the gallery alone. Each person among the
// faces the basis was trained on is left out in turn: a model with the same
// settings is trained on everybody else's faces, and the person's own faces
// are searched against it, as a stranger's face would be. The threshold is
// set where the target share of those searches would name somebody (aimed
// at one person more, as a real stranger meets the whole gallery).
//
// At scale. That is one training per person: while it costs at most
// calibrationBudget in all it is done so; beyond, the people are left out a
// group at a time instead (calibrationGroups groups, every tenth person by
// order of first appearance): the basis stays as trained on everybody (it
// learns no names), the discriminant stage is learnt again without the
// group, and each of the group's faces is searched among everybody outside
// it. The stage, which would otherwise have seen them, never has: that is
// what leaving out is for, at a tenth of the trainings of a stage alone.
// Groups are left out in turn until they have given groupedSearches
// searches (a large gallery's first groups give that many; each is an even
// spread of its people).
// Enrolled people the basis was not trained on are searched among everybody
// else enrolled, as many as maxGalleryStrangerPeople of them (evenly spread).
//
// The designed method's distances shrink as a model grows, and a left-out
// model holds fewer faces than the whole: its scores are scaled to the whole
// model's size (ScoreSizeFactor). The discriminant methods' scores are
// ratios, which need no scaling.
#pragma once

#include "identifier/face_model.h"

// Fewer people than this make a rate that varies much from one set of
// strangers to the next; the calibration says so.
inline constexpr std::size_t steadyCalibrationPeople = 20;
// Fewer stranger searches than this below the threshold make it rest on a
// handful of faces; the calibration says so.
inline constexpr double steadyCalibrationSearches = 5.0;

// The calibration of model for target (0 < target < 1): the basis's people
// left out with the basis learnt again, the others enrolled left out of the
// gallery (GalleryStrangerScores). Throws morlin::Error when nobody can be
// left out (fewer than two people), or when progress stops it; too few
// searches give the nearest threshold they allow and a warning.
StrangerCalibration CalibrateForStrangers(const FaceModel& model, double target, Workers& workers,
                                          const morlin::Progress& progress);

// What leaving people out may cost in all, in TrainingCost's multiply-adds
// (about three seconds on this project's two-core machine): beyond it,
// people are left out a group at a time.
inline constexpr double calibrationBudget = 1e11;
inline constexpr int calibrationGroups = 10;
inline constexpr std::size_t groupedSearches = 5000;
// Enrolled people beyond the basis searched as strangers, at most.
inline constexpr std::size_t maxGalleryStrangerPeople = 2000;

// Stranger searches and how many people each met, on average.
struct StrangerSearches {
    std::vector<double> scores;
    double among = 0.0;
};

// Each basis person's faces against a model of everybody else's: the scores
// of those stranger searches, scaled to the whole model's size. A training
// per person, or a stage per group beyond calibrationBudget (see above).
StrangerSearches LeftOutStrangerScores(const FaceModel& model, Workers& workers,
                                       const morlin::Progress& progress);

// The two ways of LeftOutStrangerScores, people and personOf naming the
// basis faces' people (IndexPeople): a training per person, and a stage
// per group of people (the designed method searching its coordinates as
// they are).
StrangerSearches EachPersonLeftOut(const FaceModel& model, const std::vector<std::string>& people,
                                   const std::vector<int>& personOf, Workers& workers,
                                   const morlin::Progress& progress);
StrangerSearches EachGroupLeftOut(const FaceModel& model, const std::vector<std::string>& people,
                                  const std::vector<int>& personOf,
                                  const morlin::Progress& progress);

// Each enrolled person the basis was not trained on (discriminant methods
// only), searched among everybody else enrolled under the stage as it is,
// which never saw them. leftOut is set to how many people that was.
std::vector<double> GalleryStrangerScores(const FaceModel& model, std::size_t& leftOut);

// Adds one more person's stranger searches (scores), made among `among`
// people, to calibration; its threshold is left as it was.
void AddStrangerSearches(StrangerCalibration& calibration, const std::vector<double>& scores,
                         std::size_t among);

// The threshold at which calibration's target share of strangers meeting
// people enrolled people would be named, with a warning (set, or cleared)
// when it rests on few people or searches. Never refuses: with too few
// searches to resolve the target, the nearest threshold they allow (the
// lowest or highest stranger score), and a warning saying how rough it is.
// Precondition: calibration.scores is not empty.
double CalibratedThreshold(const StrangerCalibration& calibration, std::size_t people,
                           std::string& warning);

// A calibrated threshold for people enrolled people, made before a change
// of who is enrolled and applied after it, when nothing can fail any more.
struct PeopleThreshold {
    double threshold = 0.0;
    std::string warning;
};
// Nothing without a calibration.
std::optional<PeopleThreshold> ThresholdForPeople(const FaceModel& model, std::size_t people);
// The calibration's threshold and warning, and the model's threshold when it
// is the calibrated one. Precondition: model has a calibration.
void ApplyThreshold(FaceModel& model, PeopleThreshold&& made) noexcept;
