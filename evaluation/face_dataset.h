// A face database on disk: one folder per person, images in natural name order.
// Closed set: every person is enrolled, the first K images in the gallery and
// the rest probes. Open set: every other person is enrolled that way and the
// others are strangers, all of whose images are probes that should match no one.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Names are kept as the file system's bytes; show them through DisplayName.
struct FaceImage {
    std::string person;     // folder name
    std::string file;       // path relative to the dataset
    std::vector<int> grey;  // row after row, 0..255
};

// Which people an open-set split enrols, in natural order: Even the first,
// third, ... (positions 0, 2, ...), Odd the second, fourth, ...; Random as
// many as Even, drawn at random (the same for the same seed).
enum class OpenSetHalf { Even, Odd, Random };
struct OpenSet {
    OpenSet(OpenSetHalf whichHalf, unsigned randomSeed = 0) : half(whichHalf), seed(randomSeed) {}
    OpenSetHalf half;
    unsigned seed;
};

struct FaceDataset {
    int rows = 0;
    int columns = 0;
    std::vector<FaceImage> gallery;     // person after person, K images each
    std::vector<FaceImage> probes;      // the enrolled people's other images, then strangers'
    int perPerson = 0;                  // K
    std::vector<std::string> people;    // every person, in natural order
    std::vector<std::string> enrolled;  // those with gallery images

    // Whether person has images in the gallery: a probe of such a person is
    // mated (it should be named), any other is a stranger's.
    bool IsEnrolled(const std::string& person) const;
};

// Told after each image read, with how many there are; returning false
// stops the reading.
using ReadingStep = std::function<bool(int read, int total)>;

// Reads every person's images (PGM, PNG, JPEG, ...) as 8-bit grey. Without
// openSet every person is enrolled with the first trainPerPerson images (0:
// all of them, leaving no probes);
// with it, only the people of that half, and every image of the others is a
// probe. Returns false with error set when the folder is missing, an image
// cannot be read, sizes differ, an enrolled person has fewer images than
// trainPerPerson, an open set has fewer than two people, or step stopped it.
bool LoadFaceDataset(const std::string& folder, int trainPerPerson, FaceDataset& dataset,
                     std::string& error, std::optional<OpenSet> openSet = std::nullopt,
                     const ReadingStep& step = {});

// Writes every image of dataset (gallery and probes) to folder/person/file,
// as 8-bit grey in the format its name says. false with error set.
bool WriteFaceDataset(const FaceDataset& dataset, const std::string& folder, std::string& error);

// One image read as 8-bit grey, row after row; false with error set when it
// cannot be read or is not rows x columns (both 0: any size, set on return).
bool ReadGreyImage(const std::string& file, int& rows, int& columns, std::vector<int>& grey,
                   std::string& error);

// The names of folder's regular files (links followed, hidden ones left
// out), or of its folders, in natural order; empty when it cannot be read.
std::vector<std::string> SortedEntries(const std::string& folder, bool folders);

// The same from the bytes of an image file, named name in messages.
bool GreyImageFromBytes(const std::string& bytes, const std::string& name, int& rows, int& columns,
                        std::vector<int>& grey, std::string& error);

// "2" before "10": digit runs compare by value, the rest byte by byte.
bool NaturalLess(const std::string& a, const std::string& b);

// The name as UTF-8 text for messages and JSON: valid UTF-8 stays as it is,
// every other byte becomes \xHH.
std::string DisplayName(const std::string& bytes);
