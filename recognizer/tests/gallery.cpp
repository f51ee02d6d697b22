// Test galleries: random images and the ORL faces read from data/.
#include "gallery.h"

#include <fstream>
#include <random>
#include <stdexcept>

void Gallery::Add(std::vector<int> pixels) {
    if (static_cast<int>(pixels.size()) != rows * columns)
        throw std::invalid_argument("image size differs from the gallery's");
    images.push_back(std::move(pixels));
}

int** Gallery::Pointers() {
    pointers.clear();
    for (auto& image : images) pointers.push_back(image.data());
    return pointers.data();
}

int** Gallery::RowPointers(int index) {
    rowPointers.clear();
    for (int r = 0; r < rows; ++r)
        rowPointers.push_back(images[static_cast<size_t>(index)].data() + r * columns);
    return rowPointers.data();
}

Gallery RandomGallery(int count, int rows, int columns, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(0, 255);
    Gallery gallery(rows, columns);
    for (int j = 0; j < count; ++j) {
        std::vector<int> pixels(static_cast<size_t>(rows * columns));
        for (int& p : pixels) p = level(random);
        gallery.Add(std::move(pixels));
    }
    return gallery;
}

std::vector<int> LoadOrlFace(int person, int image) {
    const std::string path =
        OrlFolder() + "/s" + std::to_string(person) + "/" + std::to_string(image) + ".pgm";
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    in.get();
    if (!in || magic != "P5" || width != 92 || height != 112 || maxval != 255)
        throw std::runtime_error("not an ORL face: " + path);
    std::vector<int> pixels(static_cast<size_t>(width * height));
    for (int& p : pixels) p = in.get();
    if (!in) throw std::runtime_error("short ORL face: " + path);
    return pixels;
}

Gallery OrlGallery(int people, int firstImage, int lastImage) {
    Gallery gallery(112, 92);
    for (int person = 1; person <= people; ++person)
        for (int image = firstImage; image <= lastImage; ++image)
            gallery.Add(LoadOrlFace(person, image));
    return gallery;
}
