// morlin-studio's model and its life: trained on a folder of people (photos,
// whose faces are found and aligned, or crops), people added and removed,
// calibrated, opened and saved. The model lives in a file, opened for the
// studio's life and shared with other programs: every change is committed to
// it as it is made, and what another program commits shows at the studio's
// next call. The long steps run as background tasks.
//
// State:
//   - identifier: the model, or null before one is trained or opened; shared
//     with the background task that changes it.
//   - file: where the model lives (the user's data folder until saved as).
//   - faces: the folder last read as crops (its held-back images evaluate);
//     empty for photos and for a model opened from a file.
//   - pictures: a picture per enrolled image, in enrolment order, null where
//     the studio has none (a model opened, another program's enrolment).
#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

#include "face_dataset.h"
#include "morlin/identifier.h"

class BackgroundTask;
class StudioSettings;

// Whether a model trained with trained must be trained again to follow next.
bool NeedsTraining(const morlin::Settings& trained, const morlin::Settings& next);

class StudioModel : public QObject {
    Q_OBJECT

public:
    StudioModel(BackgroundTask& task, StudioSettings& settings, QObject* parent = nullptr);

    const std::shared_ptr<morlin::Identifier>& Identifier() const { return identifier; }
    const QString& File() const { return file; }
    const FaceDataset& Faces() const { return faces; }
    const QString& Folder() const { return folder; }
    // The picture of enrolled image image; null when there is none.
    QImage Picture(int image) const;

    // Reads folder (one folder per person; the first perPerson images of each,
    // 0: all) and trains a model with next on it, in the background.
    void Train(const QString& folder, int perPerson, const morlin::Settings& next);
    // Trains again on the folder last read, with next.
    void Retrain(const morlin::Settings& next);
    // Enrols the images of personFolder as the person it is named after, in
    // the background.
    void AddPerson(const QString& personFolder);
    // Removes every image of person; false with error set when it cannot.
    bool RemovePerson(const std::string& person, QString& error);
    // Calibrates for a share target of strangers, in the background.
    void Calibrate(double target);
    // Sets the threshold by hand; false with error set when it cannot.
    bool SetThreshold(double threshold, QString& error);
    // Opens the model in modelFile, in the background.
    void Open(const QString& modelFile);
    // Writes the model to modelFile and lives there from then on; false with
    // error set when it cannot.
    bool SaveAs(const QString& modelFile, QString& error);

signals:
    // A new model, or a change of the one held.
    void Changed();
    // Something a person should know: an image left out, a rough estimate.
    void Told(const QString& message);

private:
    // Puts a model trained in memory in its file, and opens it there.
    void Adopt(morlin::Identifier& trained, std::vector<QImage> freshPictures);

    BackgroundTask& task;
    StudioSettings& settings;
    std::shared_ptr<morlin::Identifier> identifier;
    QString file;
    QString folder;
    int perPerson = 0;
    FaceDataset faces;
    std::vector<QImage> pictures;
};
