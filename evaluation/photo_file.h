// A photo as the programs read one for the face finder: Qt's image reader
// over the file's bytes, turned upright by its EXIF orientation (a phone's
// sideways photo stands), colour kept as red, green, blue.
#pragma once

#include <QImage>
#include <QSize>

#include <optional>
#include <string>

#include "morlin/faces.h"

// The largest photo read, in megabytes of decoded pixels: a 10,000 x 10,000
// colour photo fits; a file claiming more is refused, not allocated.
inline constexpr int photoMegabytes = 1024;

// The photo in file, 8-bit red, green, blue; false with error set (naming
// the file) when it cannot be read.
bool ReadPhoto(const std::string& file, QImage& photo, std::string& error);
// The same from bytes already read, named name in messages.
bool PhotoFromBytes(const std::string& bytes, const std::string& name, QImage& photo,
                    std::string& error);

// photo (as ReadPhoto gives it) as the library's picture, sharing its pixels.
morlin::Picture PictureOf(const QImage& photo);

// The size the file's header gives (before any EXIF turn), without reading
// its pixels; nothing when it is no image Qt reads.
std::optional<QSize> StoredImageSize(const std::string& file);
