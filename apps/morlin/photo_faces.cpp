// Photos to aligned faces, and the crop-set rule.
#include "photo_faces.h"

#include <QSize>

#include <algorithm>
#include <optional>

#include "commands.h"
#include "face_dataset.h"
#include "photo_file.h"

using namespace morlin_command;

AlignedFaces AlignedFacesOf(const morlin::FaceFinder& finder, const std::vector<std::string>& files,
                            int rows, int columns, const std::function<void(int done)>& step) {
    AlignedFaces aligned;
    for (size_t k = 0; k < files.size(); ++k) {
        const std::string& file = files[k];
        QImage photo;
        std::string error;
        if (!ReadPhoto(file, photo, error)) {
            Tell(error);
            ++aligned.unreadable;
        } else {
            const morlin::Picture picture = PictureOf(photo);
            const std::vector<morlin::Face> faces = finder.Find(picture);
            if (faces.empty()) {
                Tell(DisplayName(file) + ": no face found; left out");
                ++aligned.faceless;
            } else {
                const morlin::Box& b = faces.front().box;
                if (faces.size() > 1)
                    Tell(DisplayName(file) + ": " + std::to_string(faces.size()) +
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
