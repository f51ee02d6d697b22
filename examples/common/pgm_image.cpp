// The PGM reader of the example host: header, then 8-bit pixels.
#include "pgm_image.h"

#include <cctype>
#include <fstream>

namespace {

// The next number of the header, skipping blanks and # comments.
bool ReadHeaderNumber(std::istream& in, int& value) {
    for (int c = in.peek(); in && (std::isspace(c) || c == '#'); c = in.peek()) {
        if (c == '#')
            in.ignore(1 << 20, '\n');
        else
            in.get();
    }
    return static_cast<bool>(in >> value);
}

}  // namespace

std::optional<GreyImage> ReadPgm(const std::string& file, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    GreyImage image;
    int maximum = 0;
    if (!in || !(in >> magic) || (magic != "P5" && magic != "P2") ||
        !ReadHeaderNumber(in, image.columns) || !ReadHeaderNumber(in, image.rows) ||
        !ReadHeaderNumber(in, maximum) || image.rows <= 0 || image.columns <= 0 || maximum <= 0 ||
        maximum > 255) {
        error = file + ": not an 8-bit PGM image";
        return std::nullopt;
    }
    image.pixels.resize(static_cast<size_t>(image.rows) * static_cast<size_t>(image.columns));
    if (magic == "P5") {
        in.get();  // the one blank after the header
        std::vector<unsigned char> bytes(image.pixels.size());
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
            error = file + ": the image is cut short";
            return std::nullopt;
        }
        for (size_t i = 0; i < bytes.size(); ++i) image.pixels[i] = bytes[i] * 255 / maximum;
    } else {
        for (int& pixel : image.pixels) {
            if (!(in >> pixel)) {
                error = file + ": the image is cut short";
                return std::nullopt;
            }
            pixel = pixel * 255 / maximum;
        }
    }
    return image;
}
