// Reading a host's picture: its shape checked first, then each row read once.
#include "faces/grey_picture.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace {

std::string Shape(const morlin::Picture& picture) {
    return std::to_string(picture.columns) + "x" + std::to_string(picture.rows) + " pixels of " +
           std::to_string(picture.channels) + " channels";
}

}  // namespace

cv::Mat GreyPicture(const morlin::Picture& picture) {
    return GreyPicture(picture,
                       cv::Rect(0, 0, std::max(picture.columns, 0), std::max(picture.rows, 0)));
}

cv::Mat GreyPicture(const morlin::Picture& picture, const cv::Rect& part) {
    if (picture.pixels == nullptr) throw morlin::Error("the picture has no pixels");
    if (picture.rows < 1 || picture.columns < 1)
        throw morlin::Error("the picture has no usable size (" + std::to_string(picture.rows) +
                            " rows, " + std::to_string(picture.columns) + " columns)");
    if (picture.channels != 1 && picture.channels != 3 && picture.channels != 4)
        throw morlin::Error(
            "a picture has 1 (grey), 3 (red, green, blue) or 4 (and alpha) "
            "channels, not " +
            std::to_string(picture.channels));
    const int64_t rowBytes = int64_t{picture.columns} * picture.channels;
    const int64_t stride = picture.stride == 0 ? rowBytes : int64_t{picture.stride};
    if (stride < rowBytes)
        throw morlin::Error("the picture's rows are " + std::to_string(stride) +
                            " bytes apart, less than a row of " + Shape(picture) + " holds");
    // OpenCV's sizes are ints; every offset into the picture must fit as well.
    if (int64_t{picture.rows} * stride > std::numeric_limits<int64_t>::max() / 2 ||
        picture.columns > std::numeric_limits<int>::max() / 4)
        throw morlin::Error("the picture is too large: " + Shape(picture));

    cv::Mat grey(part.height, part.width, CV_8UC1);
    for (int r = 0; r < part.height; ++r) {
        const uint8_t* in =
            picture.pixels + int64_t{part.y + r} * stride + int64_t{part.x} * picture.channels;
        uint8_t* out = grey.ptr<uint8_t>(r);
        if (picture.channels == 1) {
            std::copy(in, in + part.width, out);
            continue;
        }
        for (int c = 0; c < part.width; ++c, in += picture.channels)
            out[c] = morlin::Luma(in[0], in[1], in[2]);
    }
    return grey;
}
