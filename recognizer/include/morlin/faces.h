// Finding faces in ordinary pictures with libmorlin.so: every frontal face of
// a photo (colour or grey, any size, several people), its box, its eyes when
// they can be seen, and the face turned into an aligned grey crop of a given
// size, the same way for training and for probes. A host needs this header,
// morlin_error.h and morlin_records.h beside it, and the library; C++17 or
// later; no Qt.
//
// How faces are found. A histogram-of-oriented-gradients detector of
// frontal faces (its filters cover faces looking a little aside and faces
// turned in the picture by up to about 20 degrees) proposes boxes; each is
// then verified, because a detector alone puts boxes on hands, ties, walls
// and posters: a box is a face when an eye detector finds a pair of eyes
// where eyes belong in it (each inside its half of the box's upper part, as
// far apart as eyes are in a face of that size, level within 30 degrees), or
// when a second detector of another kind (a cascade of Haar-like features)
// finds a face at the same place; each is tried on the box upright and
// turned 15 degrees either way. A box that passes neither is dropped.
// Faces from about 1/12 of the picture's shorter side (and at least 24
// pixels) up to the whole picture are looked for.
//
// Files. The eye detector and the second detector are cascades that
// Debian's package opencv-data installs; FaceFinder finds them where it puts
// them, or in the folder MORLIN_CASCADES names, and refuses to start without
// them, naming the package.
//
// Threads. Find and AlignFace may run on any number of threads at once, on
// one FaceFinder or several.
//
// Failures. Every failure is a morlin::Error carrying the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "morlin_error.h"
#include "morlin_records.h"

namespace morlin {

// One picture, the host's: rows of columns pixels of channels 8-bit values
// (1: grey; 3: red, green, blue; 4: red, green, blue, alpha, the alpha
// ignored), each row stride bytes after the one before (0: columns *
// channels, rows packed). OpenCV's images are blue, green, red: convert them
// (cv::cvtColor with COLOR_BGR2RGB) first. The library reads them during
// the call and keeps no pointer.
struct Picture {
    int rows = 0;
    int columns = 0;
    int channels = 1;
    std::ptrdiff_t stride = 0;
    const std::uint8_t* pixels = nullptr;
};

// A point in picture pixels: x to the right, y down, from the top left
// corner of the top left pixel.
struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A rectangle in picture pixels: its top left corner, width and height. A
// face's box reaches from the eyebrows to the chin and from cheek to cheek;
// it may reach past the picture's edge for a face cut by it.
struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Face {
    Box box;
    // The centres of the eyes on the picture's left and right, when both
    // were found; the face is then aligned on them.
    std::optional<Point> leftEye;
    std::optional<Point> rightEye;
    // The detector's margin: 0 at its own threshold, higher the surer.
    double confidence = 0.0;
};

// The luma of a red, green, blue pixel (0.299, 0.587, 0.114), rounded: how
// every colour picture is made grey, so a grey picture made this way gives
// the same faces and names as its colour original.
constexpr std::uint8_t Luma(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint8_t>((299u * red + 587u * green + 114u * blue + 500u) / 1000u);
}

class MORLIN_API FaceFinder {
public:
    // Loads the detectors. Error naming the missing file and the package
    // that installs it when a cascade cannot be found or read.
    FaceFinder();
    ~FaceFinder();
    FaceFinder(FaceFinder&&) noexcept;
    FaceFinder& operator=(FaceFinder&&) noexcept;
    FaceFinder(const FaceFinder&) = delete;
    FaceFinder& operator=(const FaceFinder&) = delete;

    // Every verified face of picture, largest first (of equal size, the
    // surer first). Nothing for a picture too small to hold a face. Error
    // for a picture without pixels, sizes or a stride that do not fit, or
    // another number of channels.
    std::vector<Face> Find(const Picture& picture) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The face of picture as a grey crop of rows x columns (row after row): with
// both eyes, turned so they are level and placed where a crop of this size
// has them (their centres 0.354 of the width apart, level with 0.466 of the
// height, evenly either side of the middle); otherwise the box, upright,
// placed where a crop of this size has a face's box. Parts outside the
// picture repeat its edge. Error for a picture AlignFace cannot read (as
// Find) or a size under 8 x 8 or over 4096 x 4096.
MORLIN_API std::vector<std::uint8_t> AlignFace(const Picture& picture, const Face& face, int rows,
                                               int columns);

}  // namespace morlin
