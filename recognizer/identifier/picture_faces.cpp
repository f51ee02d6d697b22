// The Identifier's calls on pictures: faces found and aligned for a model of
// found faces, a picture taken as the crop it must be for a crop model.
#include <algorithm>

#include "faces/face_geometry.h"
#include "faces/grey_picture.h"
#include "identifier/identifier_impl.h"

namespace morlin {

namespace {

std::string PictureName(size_t index) {
    return "picture " + std::to_string(index + 1);
}

// The largest face of each picture, found.
std::vector<TakenFace> LargestFaces(const FaceFinder& finder, const std::vector<Picture>& pictures,
                                    const Progress& progress) {
    std::vector<TakenFace> taken;
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (progress && !progress(static_cast<int>(i), static_cast<int>(pictures.size())))
            throw Error("cancelled");
        std::vector<Face> faces;
        try {
            faces = finder.Find(pictures[i]);
        } catch (const Error& e) {
            throw Error(PictureName(i) + ": " + e.what());
        }
        if (faces.empty()) throw Error(PictureName(i) + " has no face that could be found");
        taken.push_back({faces.front(), static_cast<int>(faces.size())});
    }
    return taken;
}

std::vector<Face> FacesOf(const std::vector<TakenFace>& taken) {
    std::vector<Face> faces;
    for (const TakenFace& t : taken) faces.push_back(t.face);
    return faces;
}

// Each picture's face aligned to rows x columns.
std::vector<std::vector<uint8_t>> Aligned(const std::vector<Picture>& pictures,
                                          const std::vector<Face>& faces, int rows, int columns) {
    if (pictures.size() != faces.size())
        throw Error(std::to_string(pictures.size()) + " pictures but " +
                    std::to_string(faces.size()) + " faces: give the face of each picture");
    std::vector<std::vector<uint8_t>> crops;
    for (size_t i = 0; i < pictures.size(); ++i) {
        try {
            crops.push_back(AlignFace(pictures[i], faces[i], rows, columns));
        } catch (const Error& e) {
            throw Error(PictureName(i) + ": " + e.what());
        }
    }
    return crops;
}

std::vector<Image> ImagesOf(const std::vector<std::vector<uint8_t>>& crops, int rows, int columns) {
    std::vector<Image> images;
    for (const std::vector<uint8_t>& crop : crops)
        images.push_back({rows, columns, crop.data(), nullptr});
    return images;
}

// The whole picture as a crop of rows x columns, made grey.
std::vector<uint8_t> PictureAsCrop(const Picture& picture, const std::string& what, int rows,
                                   int columns) {
    cv::Mat grey;
    try {
        grey = GreyPicture(picture);
    } catch (const Error& e) {
        throw Error(what + ": " + e.what());
    }
    if (picture.rows != rows || picture.columns != columns)
        throw Error(what + " is " + SizeText(picture.rows, picture.columns) +
                    " pixels; the model's faces are crops of " + SizeText(rows, columns) +
                    " (give crops of that size, or train a model on pictures)");
    return std::vector<uint8_t>(grey.datastart, grey.dataend);
}

}  // namespace

std::vector<TakenFace> Identifier::Train(const std::vector<Picture>& pictures,
                                         const std::vector<std::string>& people,
                                         const Progress& progress) {
    return AsMorlinError([&] {
        if (pictures.size() != people.size())
            throw Error(std::to_string(pictures.size()) + " pictures but " +
                        std::to_string(people.size()) + " person names: give one name per picture");
        const std::vector<TakenFace> taken = LargestFaces(impl->Finder(), pictures, progress);
        Train(pictures, FacesOf(taken), people, progress);
        return taken;
    });
}

void Identifier::Train(const std::vector<Picture>& pictures, const std::vector<Face>& faces,
                       const std::vector<std::string>& people, const Progress& progress) {
    AsMorlinError([&] {
        const int rows = impl->settings.faceRows, columns = impl->settings.faceColumns;
        if (rows < minimumCropSide || columns < minimumCropSide || rows > maximumCropSide ||
            columns > maximumCropSide)
            throw Error("a face size of " + SizeText(rows, columns) + " cannot be made");
        const std::vector<std::vector<uint8_t>> crops = Aligned(pictures, faces, rows, columns);
        TrainOn(ImagesOf(crops, rows, columns), people, progress, FaceSource::Found);
    });
}

void Identifier::TrainOnAligned(const std::vector<Image>& faces,
                                const std::vector<std::string>& people, const Progress& progress) {
    AsMorlinError([&] {
        const int rows = impl->settings.faceRows, columns = impl->settings.faceColumns;
        for (size_t i = 0; i < faces.size(); ++i)
            if (faces[i].rows != rows || faces[i].columns != columns)
                throw Error(ImageName(i) + " is " + SizeText(faces[i].rows, faces[i].columns) +
                            " pixels; aligned faces are " + SizeText(rows, columns) +
                            ", the Settings' face size");
        TrainOn(faces, people, progress, FaceSource::Found);
    });
}

std::vector<TakenFace> Identifier::Enrol(const std::vector<Picture>& pictures,
                                         const std::string& person, const Progress& progress) {
    return AsMorlinError([&] {
        BringUpToDate();
        FaceSource faces = FaceSource::Crops;
        int rows = 0, columns = 0;
        {
            std::shared_lock<std::shared_mutex> shared(impl->lock);
            const FaceModel& model = impl->Held();
            faces = model.faces;
            rows = model.Rows();
            columns = model.Columns();
        }
        if (faces == FaceSource::Found) {
            const std::vector<TakenFace> taken = LargestFaces(impl->Finder(), pictures, progress);
            Enrol(pictures, FacesOf(taken), person, progress);
            return taken;
        }
        std::vector<std::vector<uint8_t>> crops;
        std::vector<TakenFace> taken;
        for (size_t i = 0; i < pictures.size(); ++i) {
            crops.push_back(PictureAsCrop(pictures[i], PictureName(i), rows, columns));
            taken.push_back({Face{{0, 0, columns, rows}, {}, {}, 0.0}, 1});
        }
        Enrol(ImagesOf(crops, rows, columns), person, progress);
        return taken;
    });
}

void Identifier::Enrol(const std::vector<Picture>& pictures, const std::vector<Face>& faces,
                       const std::string& person, const Progress& progress) {
    AsMorlinError([&] {
        BringUpToDate();
        int rows = 0, columns = 0;
        {
            std::shared_lock<std::shared_mutex> shared(impl->lock);
            const FaceModel& model = impl->Held();
            if (model.faces != FaceSource::Found)
                throw Error("the model's faces are crops of " +
                            SizeText(model.Rows(), model.Columns()) +
                            ", not faces found in pictures: enrol crops of that size");
            rows = model.Rows();
            columns = model.Columns();
        }
        const std::vector<std::vector<uint8_t>> crops = Aligned(pictures, faces, rows, columns);
        Enrol(ImagesOf(crops, rows, columns), person, progress);
    });
}

std::vector<FaceIdentification> Identifier::IdentifyFaces(const Picture& picture, int top) const {
    return AsMorlinError([&] {
        BringUpToDate();
        FaceSource faces = FaceSource::Crops;
        int rows = 0, columns = 0;
        {
            std::shared_lock<std::shared_mutex> shared(impl->lock);
            const FaceModel& model = impl->Held();
            faces = model.faces;
            rows = model.Rows();
            columns = model.Columns();
        }
        std::vector<FaceIdentification> answers;
        std::vector<std::vector<uint8_t>> crops;
        if (faces == FaceSource::Found) {
            for (const Face& face : impl->Finder().Find(picture)) {
                answers.push_back({face, {}});
                crops.push_back(AlignFace(picture, face, rows, columns));
            }
        } else {
            crops.push_back(PictureAsCrop(picture, "the picture", rows, columns));
            answers.push_back({Face{{0, 0, columns, rows}, {}, {}, 0.0}, {}});
        }
        const std::vector<Identification> named = Identify(ImagesOf(crops, rows, columns), top);
        for (size_t i = 0; i < answers.size(); ++i) answers[i].identification = named[i];
        return answers;
    });
}

}  // namespace morlin
