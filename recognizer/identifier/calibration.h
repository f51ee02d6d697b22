// Calibration for strangers from the gallery alone. Each person among the
// faces the basis was trained on is left out in turn: a model with the same
// settings is trained on everybody else's faces, and the person's own faces
// are searched against it, as a stranger's face would be. The threshold is
// set where the target share of those searches would name somebody (aimed
// at one person more, as a real stranger meets the whole gallery).
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

// The calibration of model for target (0 < target < 1). Throws morlin::Error
// when fewer than two people trained the basis, when their faces give too few
// searches to resolve target, or when progress stops it.
StrangerCalibration CalibrateForStrangers(const FaceModel& model, double target, Workers& workers,
                                          const morlin::Progress& progress);

// Each basis person's faces against a model of everybody else's: the scores
// of those stranger searches, scaled to the whole model's size.
std::vector<double> LeftOutStrangerScores(const FaceModel& model, Workers& workers,
                                          const morlin::Progress& progress);
