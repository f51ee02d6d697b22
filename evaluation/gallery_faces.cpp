// Person folders, photos to aligned faces, and the crop-set rule.
#include "gallery_faces.h"

#include <QSize>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "face_dataset.h"
#include "photo_file.h"

std::vector<PersonFiles> GalleryFiles(const std::string& folder, int perPerson) {
    std::vector<PersonFiles> gallery;
    for (const std::string& person : SortedEntries(folder, true)) {
        PersonFiles files{person, {}};
        for (const std::string& file : SortedEntries(folder + "/" + person, false)) {
            if (perPerson > 0 && static_cast<int>(files.files.size()) == perPerson) break;
            files.files.push_back(folder + "/" + person + "/" + file);
        }
        gallery.push_back(std::move(files));
    }
    return gallery;
}

PersonFiles PersonFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    PersonFiles files{std::filesystem::path(folder).filename().string(), {}};
    for (const std::string& file : SortedEntries(folder, false))
        files.files.push_back(folder + "/" + file);
    return files;
}

AlignedFaces AlignedFacesOf(const morlin::FaceFinder& finder, const std::vector<std::string>& files,
                            int rows, int columns, const std::function<void(int done)>& step) {
    AlignedFaces aligned;
    for (size_t k = 0; k < files.size(); ++k) {
        const std::string& file = files[k];
        QImage photo;
        std::string error;
        if (!ReadPhoto(file, photo, error)) {
            aligned.notes.push_back(error);
            ++aligned.unreadable;
        } else {
            const morlin::Picture picture = PictureOf(photo);
            const std::vector<morlin::Face> faces = finder.Find(picture);
            if (faces.empty()) {
                aligned.notes.push_back(DisplayName(file) + ": no face found; left out");
                ++aligned.faceless;
            } else {
                const morlin::Box& b = faces.front().box;
                if (faces.size() > 1)
                    aligned.notes.push_back(
                        DisplayName(file) + ": " + std::to_string(faces.size()) +
                        " faces; took the largest, at " + std::to_string(b.x) + "," +
                        std::to_string(b.y) + "," + std::to_string(b.width) + "," +
                        std::to_string(b.height));
                aligned.crops.push_back(morlin::AlignFace(picture, faces.front(), rows, columns));
            }
        }
        if (step) step(static_cast<int>(k + 1));
    }
    return aligned;
}

bool LooksLikeCropSet(const morlin::FaceFinder& finder, const std::vector<std::string>& files) {
    std::optional<QSize> size;
    for (const std::string& file : files) {
        const std::optional<QSize> own = StoredImageSize(file);
        if (!own) continue;  // not an image: told when it is read
        if (!size) size = own;
        if (*own != *size) return false;
    }
    if (!size || size->width() > cropSetSide || size->height() > cropSetSide) return false;
    const double shorter = std::min(size->width(), size->height());
    for (size_t k = 0; k < files.size() && k < static_cast<size_t>(cropSetSample); ++k) {
        QImage photo;
        std::string error;
        if (!ReadPhoto(files[k], photo, error)) continue;
        const std::vector<morlin::Face> faces = finder.Find(PictureOf(photo));
        if (!faces.empty() && faces.front().box.width < cropSetShare * shorter) return false;
    }
    return true;
}
