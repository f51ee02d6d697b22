// Reading a grey image in the portable graymap format (PGM, binary "P5" or
// text "P2", 8-bit), the format of the ORL faces. Enough for this example;
// a real host has its own image library.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct GreyImage {
    int rows = 0;
    int columns = 0;
    std::vector<int> pixels;  // row after row, 0..255
};

// The image in file, or nothing (with error set) when it is not an 8-bit PGM.
std::optional<GreyImage> ReadPgm(const std::string& file, std::string& error);
