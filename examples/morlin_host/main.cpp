// morlin-host: a console host of libmorlin.so, the smallest program that uses
// the recognizer as a host does. It enrols the first K images of every person
// of a face folder, trains, recognizes every other image and prints rank-1:
// the share of those probes whose nearest gallery image shows the same person.
//
//   morlin-host [--train K] DATASET      (--help for this text)
//
// DATASET holds one folder per person (s1, s2, ...), the images in PGM files
// (1.pgm, 2.pgm, ...); both are taken in natural order, so s2 comes before s10.
#include <morlin/morlin.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pgm_image.h"

namespace fs = std::filesystem;

namespace {

// Natural order: runs of digits compare as numbers ("s2" < "s10"), of any length.
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            while (i + 1 < a.size() && a[i] == '0' && digit(a[i + 1])) ++i;
            while (j + 1 < b.size() && b[j] == '0' && digit(b[j + 1])) ++j;
            size_t iEnd = i, jEnd = j;
            while (iEnd < a.size() && digit(a[iEnd])) ++iEnd;
            while (jEnd < b.size() && digit(b[jEnd])) ++jEnd;
            // Without leading zeros, the longer run is the larger number.
            if (iEnd - i != jEnd - j) return iEnd - i < jEnd - j;
            const int order = a.compare(i, iEnd - i, b, j, jEnd - j);
            if (order != 0) return order < 0;
            i = iEnd;
            j = jEnd;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// The person folders (folders true) or the PGM files of folder, in natural
// order; an unreadable folder sets error.
std::vector<fs::path> SortedEntries(const fs::path& folder, bool folders, std::error_code& error) {
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (folders ? it->is_directory(error) : it->path().extension() == ".pgm")
            entries.push_back(it->path());
    std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
        return NaturalLess(a.filename().string(), b.filename().string());
    });
    return entries;
}

struct Face {
    GreyImage image;
    int person;
};

constexpr const char* usage = "usage: morlin-host [--train K] DATASET\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "morlin-host: %s\n%s", problem.c_str(), usage);
    return 2;
}

// A whole number of 1 or more, the whole text.
std::optional<int> PositiveCount(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 1 || value > 1000000) return {};
    return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
    int perPerson = 5;
    std::string dataset;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const char* count = nullptr;
        if (word == "--help") {
            std::printf(
                "%sEnrols the first K images (default 5) of every person folder of DATASET,\n"
                "trains libmorlin, recognizes the other images and prints rank-1.\n",
                usage);
            return 0;
        } else if (word == "--train") {
            if (i + 1 == argc) return Usage("--train needs a value");
            count = argv[++i];
        } else if (word.rfind("--train=", 0) == 0) {
            count = argv[i] + 8;
        } else if (dataset.empty() && word.rfind("--", 0) != 0) {
            dataset = word;
            continue;
        } else {
            return Usage("unexpected argument " + word);
        }
        const std::optional<int> value = PositiveCount(count);
        if (!value)
            return Usage("--train needs a whole number of 1 or more, not \"" + std::string(count) +
                         "\"");
        perPerson = *value;
    }
    if (dataset.empty()) return Usage("no DATASET given");

    // The gallery: the first perPerson images of every person; the probes: the rest.
    std::vector<Face> gallery, probes;
    std::error_code ec;
    if (!fs::is_directory(dataset, ec)) return Usage(dataset + " is not a folder");
    const std::vector<fs::path> people = SortedEntries(dataset, true, ec);
    if (ec) return Usage("cannot read " + dataset + ": " + ec.message());
    for (size_t person = 0; person < people.size(); ++person) {
        const std::vector<fs::path> files = SortedEntries(people[person], false, ec);
        if (ec) return Usage("cannot read " + people[person].string() + ": " + ec.message());
        for (size_t k = 0; k < files.size(); ++k) {
            std::string error;
            std::optional<GreyImage> image = ReadPgm(files[k].string(), error);
            if (!image) return Usage(error);
            const Face face{std::move(*image), static_cast<int>(person)};
            (static_cast<int>(k) < perPerson ? gallery : probes).push_back(face);
        }
    }
    if (gallery.empty() || probes.empty()) return Usage("need images to enrol and to recognize");
    const int rows = gallery.front().image.rows;
    const int columns = gallery.front().image.columns;
    for (const auto* faces : {&gallery, &probes})
        for (const Face& face : *faces)
            if (face.image.rows != rows || face.image.columns != columns)
                return Usage("the images differ in size");

    Recognizer_Init();
    std::string record[5];
    Recognizer_Version(record);
    std::printf("%s %s by %s\n", record[1].c_str(), record[3].c_str(), record[0].c_str());

    // The gallery: one pointer per image, each to its pixels row after row.
    std::vector<int*> images;
    for (Face& face : gallery) images.push_back(face.image.pixels.data());
    Recognizer_SetSample(images.data(), static_cast<int>(images.size()), rows, columns);
    Recognizer_Train();

    // A probe: one pointer per row.
    int right = 0;
    for (Face& probe : probes) {
        std::vector<int*> rowPointers;
        for (int r = 0; r < rows; ++r)
            rowPointers.push_back(probe.image.pixels.data() + r * columns);
        std::vector<foundFace> matches;
        Recognizer_Recognize(rowPointers.data(), rows, columns, matches);
        // Nearest first; nothing under the threshold means "unknown".
        if (!matches.empty() &&
            gallery[static_cast<size_t>(matches.front().index)].person == probe.person)
            ++right;
    }
    std::printf("gallery: %zu images of %zu people; probes: %zu; rank-1 %.3f\n", gallery.size(),
                people.size(), probes.size(), static_cast<double>(right) / probes.size());
    return 0;
}
