// A face database on disk: one folder per person, images in natural name order.
#pragma once

#include <string>
#include <vector>

// Names are kept as the file system's bytes; show them through DisplayName.
struct FaceImage {
    std::string person;     // folder name
    std::string file;       // path relative to the dataset
    std::vector<int> grey;  // row after row, 0..255
};

struct FaceDataset {
    int rows = 0;
    int columns = 0;
    std::vector<FaceImage> gallery;
    std::vector<FaceImage> probes;
};

// Reads every person's images (PGM, PNG, JPEG, ...) as 8-bit grey; the first
// trainPerPerson of each person go to the gallery. Returns false with error
// set when the folder is missing, an image cannot be read, sizes differ or a
// person has fewer images than trainPerPerson.
bool LoadFaceDataset(const std::string& folder, int trainPerPerson, FaceDataset& dataset,
                     std::string& error);

// "2" before "10": digit runs compare by value, the rest byte by byte.
bool NaturalLess(const std::string& a, const std::string& b);

// The name as UTF-8 text for messages and JSON: valid UTF-8 stays as it is,
// every other byte becomes \xHH.
std::string DisplayName(const std::string& bytes);
