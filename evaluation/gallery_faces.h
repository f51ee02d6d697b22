// The faces of a gallery folder (one folder per person, named after the
// person) or of one person's folder, as the programs read them: crops as they
// are, or each photo's largest face found and aligned; and the rule that
// tells a crop set from photos.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "morlin/faces.h"

// One person's images.
struct PersonFiles {
    std::string person;              // the folder's name, as bytes
    std::vector<std::string> files;  // paths, natural order
};

// The person folders of folder, natural order, each with its files (the first
// perPerson of them; 0: all).
std::vector<PersonFiles> GalleryFiles(const std::string& folder, int perPerson);
// One person's folder: the person it is named after (whatever slashes end
// it) and its files.
PersonFiles PersonFolder(std::string folder);

// The largest face of each photo of a person, aligned.
struct AlignedFaces {
    std::vector<std::vector<uint8_t>> crops;
    std::vector<std::string> notes;  // a photo that cannot be read, has no face or several
    int unreadable = 0;              // photos that could not be read
    int faceless = 0;                // photos in which no face was found
};

// The faces of the photos of files (in that order), aligned to rows x
// columns, each photo that cannot be read, has no face or has several (the
// largest taken) noted. step is told after each photo.
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
