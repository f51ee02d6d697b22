// Reading photos with Qt's image reader.
#include "photo_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <fstream>
#include <iterator>

#include "face_dataset.h"

namespace {

QByteArray FileBytes(const std::string& file, bool& opened) {
    // Read by bytes: the path need not be valid in any encoding Qt knows.
    std::ifstream in(file, std::ios::binary);
    opened = static_cast<bool>(in);
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    return QByteArray(content.data(), static_cast<qsizetype>(content.size()));
}

bool Decode(QByteArray bytes, const std::string& shownName, bool opened, QImage& photo,
            std::string& error) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(photoMegabytes);
    QImage read = reader.read();
    if (read.isNull()) {
        error = "cannot read image " + shownName + ": " +
                (opened ? reader.errorString().toStdString() : std::string("cannot open the file"));
        return false;
    }
    photo = read.convertToFormat(QImage::Format_RGB888);
    if (photo.isNull()) {
        error = "cannot read image " + shownName + ": not enough memory for its pixels";
        return false;
    }
    return true;
}

}  // namespace

bool ReadPhoto(const std::string& file, QImage& photo, std::string& error) {
    bool opened = false;
    const QByteArray bytes = FileBytes(file, opened);
    return Decode(bytes, DisplayName(file), opened, photo, error);
}

bool PhotoFromBytes(const std::string& bytes, const std::string& name, QImage& photo,
                    std::string& error) {
    return Decode(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), DisplayName(name),
                  true, photo, error);
}

morlin::Picture PictureOf(const QImage& photo) {
    return {photo.height(), photo.width(), 3, static_cast<std::ptrdiff_t>(photo.bytesPerLine()),
            photo.constBits()};
}

std::optional<QSize> StoredImageSize(const std::string& file) {
    bool opened = false;
    QByteArray bytes = FileBytes(file, opened);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!opened || !size.isValid()) return std::nullopt;
    return size;
}
