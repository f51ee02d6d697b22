// The studio's model: reading folders of people, training, enrolling and
// calibrating in the background, and the model's file.
#include "studio_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "background_task.h"
#include "gallery_faces.h"
#include "studio_settings.h"

namespace {

constexpr char modelFileName[] = "studio.morlin";

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

std::string Bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QImage ImageOf(const uint8_t* grey, int rows, int columns) {
    QImage image(columns, rows, QImage::Format_Grayscale8);
    for (int r = 0; r < rows; ++r)
        std::copy_n(grey + static_cast<size_t>(r) * static_cast<size_t>(columns), columns,
                    image.scanLine(r));
    return image;
}

// The library's progress as the task's, under one heading; false stops it.
morlin::Progress Reporting(const Progress& progress, const BackgroundTask& task,
                           const std::string& what) {
    return [&progress, &task, what](int done, int total) {
        progress(done, total, what);
        return !task.Cancelled();
    };
}

// What a training in the background made, for the window's thread.
struct Trained {
    explicit Trained(const morlin::Settings& next) : identifier(next) {}
    morlin::Identifier identifier;
    FaceDataset crops;  // when the folder was a crop set
    std::vector<QImage> pictures;
    std::vector<std::string> notes;
};

// Runs change here, on the window's thread; false, with error for a person
// to read, when the identifier refused it.
template <class Change>
bool Attempted(Change change, QString& error) {
    try {
        change();
        return true;
    } catch (const morlin::Error& e) {
        error = Shown(e.what());
        return false;
    }
}

}  // namespace

bool NeedsTraining(const morlin::Settings& trained, const morlin::Settings& next) {
    const PCAParameter& a = trained.designed;
    const PCAParameter& b = next.designed;
    const bool designed = next.method == morlin::Method::Designed;
    const bool kernel = a.isKernel != b.isKernel || (b.isKernel && a.kernelType != b.kernelType) ||
                        a.gamma != b.gamma || a.coef0 != b.coef0 || a.degree != b.degree;
    return trained.method != next.method || kernel ||
           (designed && (a.componentNum != b.componentNum || a.distanceType != b.distanceType));
}

StudioModel::StudioModel(BackgroundTask& backgroundTask, StudioSettings& kept, QObject* parent)
    : QObject(parent), task(backgroundTask), settings(kept) {
    file = settings.ModelFile();
    folder = settings.GalleryFolder();
    perPerson = settings.PerPerson();
}

QImage StudioModel::Picture(int image) const {
    return image >= 0 && static_cast<size_t>(image) < pictures.size()
               ? pictures[static_cast<size_t>(image)]
               : QImage();
}

void StudioModel::Train(const QString& chosen, int count, const morlin::Settings& next) {
    auto trained = std::make_shared<Trained>(next);
    const std::string path = Bytes(chosen);
    task.Run(
        tr("Reading %1...").arg(chosen),
        [this, trained, path, count](const Progress& progress) {
            const std::vector<PersonFiles> gallery = GalleryFiles(path, count);
            std::vector<std::string> all;
            for (const PersonFiles& person : gallery)
                all.insert(all.end(), person.files.begin(), person.files.end());
            const morlin::FaceFinder finder;
            morlin::Identifier& fresh = trained->identifier;
            if (LooksLikeCropSet(finder, all)) {
                std::string error;
                FaceDataset& crops = trained->crops;
                if (!LoadFaceDataset(path, count, crops, error, std::nullopt,
                                     [&](int done, int total) {
                                         progress(done, total, QT_TR_NOOP("reading images"));
                                         return !task.Cancelled();
                                     }))
                    throw morlin::Error(task.Cancelled() ? "cancelled" : error);
                std::vector<morlin::Image> images;
                std::vector<std::string> names;
                for (FaceImage& face : crops.gallery) {
                    images.push_back({crops.rows, crops.columns, nullptr, face.grey.data()});
                    names.push_back(face.person);
                    std::vector<uint8_t> grey(face.grey.begin(), face.grey.end());
                    trained->pictures.push_back(ImageOf(grey.data(), crops.rows, crops.columns));
                }
                fresh.Train(images, names, Reporting(progress, task, QT_TR_NOOP("training")));
                return;
            }
            const morlin::Settings& given = fresh.Info().settings;
            std::vector<std::vector<uint8_t>> found;
            std::vector<std::string> names;
            int done = 0;
            for (const PersonFiles& person : gallery) {
                AlignedFaces aligned = AlignedFacesOf(
                    finder, person.files, given.faceRows, given.faceColumns, [&](int) {
                        progress(++done, static_cast<int>(all.size()), QT_TR_NOOP("finding faces"));
                    });
                if (task.Cancelled()) throw morlin::Error("cancelled");
                trained->notes.insert(trained->notes.end(), aligned.notes.begin(),
                                      aligned.notes.end());
                for (std::vector<uint8_t>& face : aligned.crops) {
                    trained->pictures.push_back(
                        ImageOf(face.data(), given.faceRows, given.faceColumns));
                    found.push_back(std::move(face));
                    names.push_back(person.person);
                }
            }
            if (found.empty()) throw morlin::Error(path + ": no face found in any image");
            std::vector<morlin::Image> images;
            for (const std::vector<uint8_t>& face : found)
                images.push_back({given.faceRows, given.faceColumns, face.data(), nullptr});
            fresh.TrainOnAligned(images, names, Reporting(progress, task, QT_TR_NOOP("training")));
        },
        [this, trained, chosen, count] {
            folder = chosen;
            perPerson = count;
            settings.SetGallery(folder, perPerson);
            faces = std::move(trained->crops);
            for (const std::string& note : trained->notes) emit Told(Shown(note));
            Adopt(trained->identifier, std::move(trained->pictures));
        },
        tr("Cannot train on %1: %2").arg(chosen, QStringLiteral("%1")),
        tr("Training cancelled; the model is as it was."));
}

void StudioModel::Retrain(const morlin::Settings& next) {
    if (!folder.isEmpty() && QDir(folder).exists())
        Train(folder, perPerson, next);
    else
        emit Told(
            tr("Retraining needs the folder of people the model was trained on: "
               "File > Train on a folder of people."));
}

void StudioModel::Adopt(morlin::Identifier& trained, std::vector<QImage> freshPictures) {
    if (file.isEmpty())
        file = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
               QStringLiteral("/") + QString::fromLatin1(modelFileName);
    QDir().mkpath(QFileInfo(file).absolutePath());
    pictures = std::move(freshPictures);
    try {
        trained.Save(Bytes(file));
        identifier = std::make_shared<morlin::Identifier>(morlin::Identifier::Open(Bytes(file)));
        settings.SetModelFile(file);
    } catch (const morlin::Error& e) {
        identifier = std::make_shared<morlin::Identifier>(std::move(trained));
        emit Told(tr("The model is not saved: %1").arg(Shown(e.what())));
    }
    emit Changed();
}

void StudioModel::AddPerson(const QString& personFolder) {
    if (!identifier) return;
    const std::string path = Bytes(personFolder);
    auto added = std::make_shared<std::vector<std::vector<uint8_t>>>();
    auto notes = std::make_shared<std::vector<std::string>>();
    auto size = std::make_shared<std::pair<int, int>>();
    std::shared_ptr<morlin::Identifier> held = identifier;
    const PersonFiles person = PersonFolder(path);
    task.Run(
        tr("Adding %1...").arg(Shown(person.person)),
        [this, held, person, added, notes, size](const Progress& progress) {
            const morlin::ModelInfo info = held->Info();
            *size = {info.rows, info.columns};
            if (info.faces == morlin::FaceSource::Found) {
                const morlin::FaceFinder finder;
                AlignedFaces aligned =
                    AlignedFacesOf(finder, person.files, info.rows, info.columns, [&](int done) {
                        progress(done, static_cast<int>(person.files.size()),
                                 QT_TR_NOOP("finding faces"));
                    });
                *added = std::move(aligned.crops);
                *notes = std::move(aligned.notes);
            } else {
                for (const std::string& image : person.files) {
                    int rows = info.rows, columns = info.columns;
                    std::vector<int> grey;
                    std::string error;
                    if (ReadGreyImage(image, rows, columns, grey, error))
                        added->emplace_back(grey.begin(), grey.end());
                    else
                        notes->push_back(error);
                }
            }
            if (added->empty())
                throw morlin::Error(notes->empty() ? "no image of " + DisplayName(person.person)
                                                   : notes->front());
            std::vector<morlin::Image> images;
            for (const std::vector<uint8_t>& face : *added)
                images.push_back({info.rows, info.columns, face.data(), nullptr});
            held->Enrol(images, person.person, Reporting(progress, task, QT_TR_NOOP("enrolling")));
        },
        [this, added, notes, size] {
            for (const std::vector<uint8_t>& face : *added)
                pictures.push_back(ImageOf(face.data(), size->first, size->second));
            for (const std::string& note : *notes) emit Told(tr("Left out: %1").arg(Shown(note)));
            emit Changed();
        },
        tr("Cannot add %1: %2").arg(Shown(person.person), QStringLiteral("%1")),
        tr("Adding cancelled; nobody was added."));
}

bool StudioModel::RemovePerson(const std::string& person, QString& error) {
    if (!identifier) return false;
    const morlin::ModelInfo before = identifier->Info();
    if (!Attempted([&] { identifier->Remove(person); }, error)) return false;
    // The identifier keeps the others' images in their order: so do the pictures.
    std::vector<QImage> kept;
    for (size_t i = 0; i < before.imagePeople.size() && i < pictures.size(); ++i)
        if (before.people[static_cast<size_t>(before.imagePeople[i])].name != person)
            kept.push_back(pictures[i]);
    pictures = std::move(kept);
    emit Changed();
    return true;
}

void StudioModel::Calibrate(double target) {
    if (!identifier) return;
    std::shared_ptr<morlin::Identifier> held = identifier;
    auto result = std::make_shared<morlin::Calibration>();
    task.Run(
        tr("Calibrating for %1 % of strangers named...").arg(target * 100.0, 0, 'g', 3),
        [this, held, result, target](const Progress& progress) {
            *result =
                held->Calibrate(target, Reporting(progress, task, QT_TR_NOOP("people left out")));
        },
        [this, result, target] {
            if (!result->warning.empty()) emit Told(Shown(result->warning));
            settings.SetStrangerShare(target);
            emit Changed();
        },
        QStringLiteral("%1"), tr("Calibration cancelled; the threshold is as it was."));
}

bool StudioModel::SetThreshold(double threshold, QString& error) {
    if (!identifier) return false;
    if (!Attempted([&] { identifier->SetThreshold(threshold); }, error)) return false;
    emit Changed();
    return true;
}

void StudioModel::Open(const QString& modelFile) {
    auto opened = std::make_shared<std::optional<morlin::Identifier>>();
    const std::string path = Bytes(modelFile);
    task.Run(
        tr("Opening %1...").arg(modelFile),
        [opened, path](const Progress&) { opened->emplace(morlin::Identifier::Open(path)); },
        [this, opened, modelFile] {
            identifier = std::make_shared<morlin::Identifier>(std::move(**opened));
            // No pictures come with a model; the folder read before is another model's.
            pictures.assign(static_cast<size_t>(identifier->Info().enrolledImages), QImage());
            faces = FaceDataset{};
            file = modelFile;
            settings.SetModelFile(file);
            emit Changed();
        },
        tr("Cannot open the model: %1"), tr("Opening cancelled."));
}

bool StudioModel::SaveAs(const QString& modelFile, QString& error) {
    if (!identifier) return false;
    const bool saved = Attempted(
        [&] {
            identifier->Save(Bytes(modelFile));
            identifier =
                std::make_shared<morlin::Identifier>(morlin::Identifier::Open(Bytes(modelFile)));
        },
        error);
    if (!saved) return false;
    file = modelFile;
    settings.SetModelFile(file);
    emit Changed();
    return true;
}
