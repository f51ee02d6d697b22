// Test galleries: synthetic images and the ORL faces shipped under data/, laid
// out as the host passes them (int grey levels, row after row).
#pragma once

#include "face_data.h"

#include <string>
#include <vector>

// Images of one size; owns the pixels and the pointer arrays the exports take.
class Gallery {
public:
    Gallery(int imageRows, int imageColumns) : rows(imageRows), columns(imageColumns) {}

    void Add(std::vector<int> pixels);
    int** Pointers();  // one pointer per image, for SetSample
    // Image index as the rows pointers that Recognition takes.
    int** RowPointers(int index);
    int Count() const { return static_cast<int>(images.size()); }
    const std::vector<int>& Image(int index) const { return images[static_cast<size_t>(index)]; }

    const int rows;
    const int columns;

private:
    std::vector<std::vector<int>> images;
    std::vector<int*> pointers;
    std::vector<int*> rowPointers;
};

// count random-looking grey images of rows x columns, reproducible from seed.
Gallery RandomGallery(int count, int rows, int columns, unsigned seed);

// The ORL image s<person>/<image>.pgm (both 1-based) as 112 x 92 grey levels.
std::vector<int> LoadOrlFace(int person, int image);

// Images firstImage..lastImage of ORL people 1..people, person after person.
Gallery OrlGallery(int people, int firstImage, int lastImage);
