// How a model takes a change of who is enrolled. A small gallery is trained
// again on every change, so a model after enrolments is the model training
// on all of them at once gives: learnt without the newcomers, the basis
// cannot represent their faces, and each would become every probe's
// runner-up (a person enrolled later made everyone else harder to name).
// A gallery beyond refreshBudget keeps the basis and the stage learnt from a
// gallery that large, and takes newcomers' signatures as they are.
//
// A calibration is made again with the model while that costs at most
// calibrationBudget (a training per person left out). Otherwise a
// newcomer's images, searched against the model as it was before they came,
// are stranger searches: they join the calibration (up to
// maxCalibrationSearches), whose threshold then follows the people enrolled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "identifier/face_model.h"

class Workers;

// What making a calibration again with every change may cost, in
// multiply-adds: about three seconds on this project's two-core machine
// (ORL's 40 people of 10 faces each cost 6e10).
inline constexpr double calibrationBudget = 1e11;
// The calibration keeps adding newcomers' searches up to this many.
inline constexpr std::size_t maxCalibrationSearches = 10000;

// Enrols count images of person into model: levels their grey levels one
// after the other, signatures what model gives them. While model follows
// its gallery and training on it stays within refreshBudget, model is
// trained again (on helpers), else it stops following and the signatures
// are added. Whether model was trained again (every signature new). A call
// that throws leaves model as it was.
bool EnrolIntoModel(FaceModel& model, const std::vector<uint8_t>& levels, int count,
                    const std::vector<float>& signatures, const std::string& person,
                    Workers& helpers);

// Removes person (enrolled) from model, trained again as EnrolIntoModel
// does when it follows its gallery and some two people are left. Whether
// model was trained again. A call that throws leaves model as it was.
bool RemoveFromModel(FaceModel& model, const std::string& person, Workers& helpers);
