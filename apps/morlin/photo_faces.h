// The morlin command's faces from photos: each photo read upright, its faces
// found, the largest aligned to the model's face size; and whether a gallery
// is a crop set or photos.
#pragma once

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "morlin/faces.h"

// The largest face of each photo of a person, aligned.
struct AlignedFaces {
    std::vector<std::vector<uint8_t>> crops;
    int unreadable = 0;  // photos that could not be read
    int faceless = 0;    // photos in which no face was found
};

// The faces of the photos of files (in that order), each told on standard
// error when it cannot be read, has no face or has several (the largest
// taken), aligned to rows x columns. step is told after each photo.
AlignedFaces AlignedFacesOf(const morlin::FaceFinder& finder, const std::vector<std::string>& files,
                            int rows, int columns, const std::function<void(int done)>& step = {});

// Whether the images of files look like a crop set: every one of the same
// size, at most cropSetSide pixels each way, and the largest face found in
// each of the first cropSetSample (when one is) filling at least
// cropSetShare of its shorter side.
inline constexpr int cropSetSide = 512;
inline constexpr int cropSetSample = 5;
inline constexpr double cropSetShare = 0.6;
bool LooksLikeCropSet(const morlin::FaceFinder& finder, const std::vector<std::string>& files);
