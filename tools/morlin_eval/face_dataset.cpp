// Loading a face database with Qt's image reader.
#include "face_dataset.h"

#include <QDir>
#include <QImage>
#include <QImageReader>

#include <algorithm>

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA && digitB) {
            size_t endA = i, endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) ++endA;
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) ++endB;
            // Compare by value: strip leading zeros, then the longer run is larger.
            std::string_view runA(a.data() + i, endA - i), runB(b.data() + j, endB - j);
            runA.remove_prefix(std::min(runA.find_first_not_of('0'), runA.size()));
            runB.remove_prefix(std::min(runB.find_first_not_of('0'), runB.size()));
            if (runA.size() != runB.size()) return runA.size() < runB.size();
            if (runA != runB) return runA < runB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

namespace {

std::vector<std::string> SortedEntries(const QDir& dir, QDir::Filters filters) {
    std::vector<std::string> names;
    for (const QString& name : dir.entryList(filters, QDir::NoSort))
        names.push_back(name.toStdString());
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

bool ReadGrey(const QString& path, FaceImage& image, QSize& size, std::string& error) {
    QImageReader reader(path);
    QImage picture = reader.read();
    if (picture.isNull()) {
        error =
            "cannot read image " + path.toStdString() + ": " + reader.errorString().toStdString();
        return false;
    }
    picture = picture.convertToFormat(QImage::Format_Grayscale8);
    if (size.isEmpty()) size = picture.size();
    if (picture.size() != size) {
        error = "image " + path.toStdString() + " is " + std::to_string(picture.width()) + "x" +
                std::to_string(picture.height()) + ", the others are " +
                std::to_string(size.width()) + "x" + std::to_string(size.height());
        return false;
    }
    image.grey.resize(static_cast<size_t>(size.width()) * static_cast<size_t>(size.height()));
    for (int r = 0; r < size.height(); ++r) {
        const uchar* line = picture.constScanLine(r);
        for (int c = 0; c < size.width(); ++c)
            image.grey[static_cast<size_t>(r) * static_cast<size_t>(size.width()) +
                       static_cast<size_t>(c)] = line[c];
    }
    return true;
}

}  // namespace

bool LoadFaceDataset(const std::string& folder, int trainPerPerson, FaceDataset& dataset,
                     std::string& error) {
    const QDir root(QString::fromStdString(folder));
    if (!root.exists()) {
        error = "no such folder: " + folder;
        return false;
    }
    QSize size;
    for (const std::string& person : SortedEntries(root, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir personDir(root.filePath(QString::fromStdString(person)));
        const std::vector<std::string> files = SortedEntries(personDir, QDir::Files);
        if (static_cast<int>(files.size()) < trainPerPerson) {
            error = "person " + person + " has " + std::to_string(files.size()) +
                    " images, fewer than --train " + std::to_string(trainPerPerson);
            return false;
        }
        for (size_t k = 0; k < files.size(); ++k) {
            FaceImage image{person, person + "/" + files[k], {}};
            if (!ReadGrey(personDir.filePath(QString::fromStdString(files[k])), image, size, error))
                return false;
            (static_cast<int>(k) < trainPerPerson ? dataset.gallery : dataset.probes)
                .push_back(std::move(image));
        }
    }
    if (dataset.gallery.empty()) {
        error = "no person folders with images in " + folder;
        return false;
    }
    dataset.rows = size.height();
    dataset.columns = size.width();
    return true;
}
