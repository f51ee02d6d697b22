// Loading a face database with Qt's image reader.
#include "face_dataset.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

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
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, minimum = 0x80, code = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, minimum = 0x800, code = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, minimum = 0x10000, code = lead & 0x07u;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

std::string DisplayName(const std::string& bytes) {
    std::string shown;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(bytes[i]));
            shown += escaped;
            ++i;
        } else {
            shown.append(bytes, i, length);
            i += length;
        }
    }
    return shown;
}

// Names as the file system's bytes, so that no entry is lost to an encoding;
// hidden entries are skipped, links followed.
std::vector<std::string> SortedEntries(const std::string& folder, bool folders) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().native();
        if (name.empty() || name[0] == '.') continue;
        std::error_code typeError;
        if (folders ? entry.is_directory(typeError) : entry.is_regular_file(typeError))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

namespace {

// The image in bytes as 8-bit grey, of size (or setting size when it is
// empty); opened false says the file could not be opened.
bool DecodeGrey(const QByteArray& bytes, const std::string& shownName, bool opened,
                FaceImage& image, QSize& size, std::string& error) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage picture = reader.read();
    if (picture.isNull()) {
        error = "cannot read image " + shownName + ": " +
                (opened ? reader.errorString().toStdString() : std::string("cannot open the file"));
        return false;
    }
    picture = picture.convertToFormat(QImage::Format_Grayscale8);
    if (size.isEmpty()) size = picture.size();
    if (picture.size() != size) {
        error = "image " + shownName + " is " + std::to_string(picture.width()) + "x" +
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

bool ReadGrey(const std::filesystem::path& path, const std::string& shownName, FaceImage& image,
              QSize& size, std::string& error) {
    // Read by bytes: the path need not be valid in any encoding Qt knows.
    std::ifstream file(path, std::ios::binary);
    QByteArray bytes;
    if (file) {
        const std::string content((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
        bytes = QByteArray(content.data(), static_cast<qsizetype>(content.size()));
    }
    return DecodeGrey(bytes, shownName, static_cast<bool>(file), image, size, error);
}

}  // namespace

bool FaceDataset::IsEnrolled(const std::string& person) const {
    return std::find(enrolled.begin(), enrolled.end(), person) != enrolled.end();
}

bool LoadFaceDataset(const std::string& folder, int trainPerPerson, FaceDataset& dataset,
                     std::string& error, std::optional<OpenSet> openSet, const ReadingStep& step) {
    const std::filesystem::path root(folder);
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) {
        error = "no such folder: " + DisplayName(folder);
        return false;
    }
    dataset = FaceDataset{};
    dataset.perPerson = trainPerPerson;
    dataset.people = SortedEntries(folder, true);
    if (openSet && dataset.people.size() < 2) {
        error = "an open set needs at least two people in " + DisplayName(folder);
        return false;
    }
    // Who is enrolled: every person, or one half of them.
    std::vector<bool> enrols(dataset.people.size(), true);
    if (openSet) {
        std::vector<size_t> order(dataset.people.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        if (openSet->half == OpenSetHalf::Random)
            std::shuffle(order.begin(), order.end(), std::mt19937(openSet->seed));
        const size_t firstEnrolled = openSet->half == OpenSetHalf::Odd ? 1 : 0;
        for (size_t k = 0; k < order.size(); ++k)
            enrols[order[k]] = openSet->half == OpenSetHalf::Random ? k < (order.size() + 1) / 2
                                                                    : k % 2 == firstEnrolled;
    }
    std::vector<std::vector<std::string>> filesOf;
    int total = 0;
    for (const std::string& person : dataset.people) {
        filesOf.push_back(SortedEntries((root / person).string(), false));
        total += static_cast<int>(filesOf.back().size());
    }
    int read = 0;
    QSize size;
    std::vector<FaceImage> strangers;
    for (size_t position = 0; position < dataset.people.size(); ++position) {
        const std::string& person = dataset.people[position];
        const bool enrolled = enrols[position];
        const std::vector<std::string>& files = filesOf[position];
        if (enrolled && (static_cast<int>(files.size()) < trainPerPerson || files.empty())) {
            error = "person " + DisplayName(person) + " has " + std::to_string(files.size()) +
                    " images, fewer than --train " + std::to_string(trainPerPerson);
            return false;
        }
        if (enrolled) dataset.enrolled.push_back(person);
        for (size_t k = 0; k < files.size(); ++k) {
            FaceImage image{person, person + "/" + files[k], {}};
            if (!ReadGrey(root / person / files[k], DisplayName(image.file), image, size, error))
                return false;
            if (step && !step(++read, total)) {
                error = "stopped";
                return false;
            }
            if (!enrolled)
                strangers.push_back(std::move(image));
            else
                (trainPerPerson <= 0 || static_cast<int>(k) < trainPerPerson ? dataset.gallery
                                                                             : dataset.probes)
                    .push_back(std::move(image));
        }
    }
    if (dataset.gallery.empty()) {
        error = "no person folders with images in " + DisplayName(folder);
        return false;
    }
    for (FaceImage& stranger : strangers) dataset.probes.push_back(std::move(stranger));
    dataset.rows = size.height();
    dataset.columns = size.width();
    return true;
}

bool ReadGreyImage(const std::string& file, int& rows, int& columns, std::vector<int>& grey,
                   std::string& error) {
    QSize size(columns, rows);
    FaceImage image;
    if (!ReadGrey(std::filesystem::path(file), DisplayName(file), image, size, error)) return false;
    rows = size.height();
    columns = size.width();
    grey = std::move(image.grey);
    return true;
}

bool WriteFaceDataset(const FaceDataset& dataset, const std::string& folder, std::string& error) {
    for (const auto* images : {&dataset.gallery, &dataset.probes})
        for (const FaceImage& image : *images) {
            const std::filesystem::path file = std::filesystem::path(folder) / image.file;
            std::error_code ec;
            std::filesystem::create_directories(file.parent_path(), ec);
            QImage picture(dataset.columns, dataset.rows, QImage::Format_Grayscale8);
            for (int r = 0; r < dataset.rows; ++r)
                for (int c = 0; c < dataset.columns; ++c)
                    picture.scanLine(r)[c] = static_cast<uchar>(
                        image.grey[static_cast<size_t>(r) * static_cast<size_t>(dataset.columns) +
                                   static_cast<size_t>(c)]);
            if (ec || !picture.save(QString::fromLocal8Bit(file.c_str()))) {
                error = "cannot write " + DisplayName(file.string());
                return false;
            }
        }
    return true;
}

bool GreyImageFromBytes(const std::string& bytes, const std::string& name, int& rows, int& columns,
                        std::vector<int>& grey, std::string& error) {
    QSize size(columns, rows);
    FaceImage image;
    if (!DecodeGrey(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                    DisplayName(name), true, image, size, error))
        return false;
    rows = size.height();
    columns = size.width();
    grey = std::move(image.grey);
    return true;
}
