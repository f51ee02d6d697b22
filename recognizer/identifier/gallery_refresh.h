// How a model takes a change of who is enrolled. A small gallery is trained
// again on every change, so a model after enrolments is the model training
// on all of them at once gives: learnt without the newcomers, the basis
// cannot represent their faces, and each would become every probe's
// runner-up (a person enrolled later made everyone else harder to name).
// A gallery beyond refreshBudget keeps the basis and the stage learnt from a
// gallery that large, and takes newcomers' signatures as they are.
//
// A model trained again is calibrated again with it (a training per person
// left out, or a stage per group of people: calibration.h). A gallery that
// is not takes a newcomer's images, searched against the model as it was
// before they came, as stranger searches: they join the calibration (up to
// maxCalibrationSearches), whose threshold then follows the people enrolled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "identifier/face_model.h"

class Workers;

// The calibration keeps adding newcomers' searches up to this many.
inline constexpr std::size_t maxCalibrationSearches = 10000;

// Enrols count images of person into model: levels their grey levels one
// after the other, signatures what model gives them. While model follows
// its gallery and training on it stays within refreshBudget, model is
// trained again (on helpers), else it stops following and the signatures
// are added. Whether model must be written whole: trained again (every
// signature new), or its search index learnt anew (every image's list). A call
// that throws leaves model as it was.
bool EnrolIntoModel(FaceModel& model, const std::vector<uint8_t>& levels, int count,
                    const std::vector<float>& signatures, const std::string& person,
                    Workers& helpers);

// Removes person (enrolled) from model, trained again as EnrolIntoModel
// does when it follows its gallery and some two people are left. Whether
// model was trained again. A call that throws leaves model as it was.
bool RemoveFromModel(FaceModel& model, const std::string& person, Workers& helpers);
