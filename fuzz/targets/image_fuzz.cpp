// An image file as morlin-eval, morlin and morlin-studio read one: Qt's image
// reader over any bytes, then turned into grey levels (a crop), and as a
// photo (upright by its EXIF orientation, colour kept) for the face finder.
#include <QCoreApplication>

#include <cstdint>
#include <string>
#include <vector>

#include "face_dataset.h"
#include "photo_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Image plugins are found through the application.
    static int argc = 1;
    static char name[] = "image_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    int rows = 0, columns = 0;
    std::vector<int> grey;
    std::string error;
    if (GreyImageFromBytes(bytes, "fuzz", rows, columns, grey, error) &&
        grey.size() != static_cast<size_t>(rows) * static_cast<size_t>(columns))
        __builtin_trap();
    QImage photo;
    if (PhotoFromBytes(bytes, "fuzz", photo, error)) {
        const morlin::Picture picture = PictureOf(photo);
        if (picture.rows < 1 || picture.columns < 1 || picture.stride < picture.columns * 3)
            __builtin_trap();
    }
    return 0;
}
