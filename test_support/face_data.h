// Where the tests find the face images of this checkout.
#pragma once

#include <string>

// The ORL faces: one folder per person, s1 to s40, ten PGM images each.
inline std::string OrlFolder() {
    return FACE_DATA_DIR "/orl";
}
