// morlin-studio's main window: a desktop host of the recognizer. It enrols a
// folder of person folders through libmorlin.so's six exports, recognizes an
// image a person opens, drops or pastes, opens the recognizer's own parameter
// dialog, sets a threshold calibrated for strangers, and evaluates on the
// images it did not enrol.
//
// The recognizer and the studio:
//   - The exports act on the library's one object. Reading and training run
//     on a worker thread, one task at a time; the parameter dialog and
//     recognition run on this thread. While a task runs, nothing else may
//     reach the recognizer, and the window stays responsive.
//   - `parameters` is what the recognizer holds. The studio learns it from the
//     parameter dialog when a user accepts it, and sets it (saved parameters,
//     a calibrated threshold) through the same dialog, kept off the screen.
//   - "Out of date": parameters changed that only training applies (kernel,
//     its parameters, components); the old model goes on recognizing until
//     Retrain. A new threshold or measure applies at once.
//   - Calibration and evaluation train models of their own (the library's
//     class), never the exports' object.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "calibration.h"
#include "face_dataset.h"
#include "plugin/morlin.h"
#include "recognizer_library.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QThread;
class QHBoxLayout;
class QVBoxLayout;

class StudioWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit StudioWindow(QWidget* parent = nullptr);
    ~StudioWindow() override;

    // Reads folder (one folder per person) and enrols the first perPerson
    // images of each (0: all of them), in the background.
    void Enrol(const QString& folder, int perPerson);
    // Recognizes the image in file, or says in the window why it cannot.
    void RecognizeFile(const QString& file);
    void RecognizeImage(const QImage& image, const QString& name);
    // Sets the threshold at which target of strangers get a name, calibrated
    // from the enrolled gallery alone, in the background.
    void CalibrateForStrangers(double target);
    // Evaluates the model on the images not enrolled and shows the plots.
    void EvaluateHeldOut();
    // Whether a background task is running.
    bool Busy() const { return worker != nullptr; }
    // The library could not be loaded: the window says so and does nothing else.
    bool LibraryMissing() const { return !library.Loaded(); }

signals:
    // A background task ended, with any task it went on as: succeeded false
    // when it failed or was cancelled.
    void TaskFinished(bool succeeded);

public slots:
    void OpenGallery();
    void OpenProbe();
    void PasteProbe();
    void EditParameters();
    void Retrain();
    void AskCalibration();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A background task: work runs on a worker thread and reports with
    // progress(done, total, what); then finish runs on this thread.
    using Work = std::function<bool(const Progress& progress)>;
    void RunInBackground(const QString& what, Work work, std::function<void(bool)> finish);
    void ShowProgress(int done, int total, const QString& what);
    // Sets the recognizer's parameters through its dialog, off the screen.
    void ApplyParameters(const PCAParameter& p);
    // Trains on the held gallery (SetSample, the saved parameters, Train).
    void TrainGallery(const QString& what, std::function<void(bool)> finish);
    void ShowMatches(const QImage& probe, const QString& name,
                     const std::vector<foundFace>& matches);
    void ShowError(const QString& text);
    void UpdateState();
    void SaveSettings() const;
    QImage GalleryImage(int index) const;

    RecognizerLibrary library;
    FaceDataset gallery;  // what is enrolled: gallery and held-out images
    QString galleryFolder;
    int perPerson = 0;        // 0: every image enrolled
    bool enrolled = false;    // the recognizer holds a model of gallery
    PCAParameter parameters;  // what the recognizer holds
    bool outOfDate = false;
    std::optional<FpirCalibration> calibration;  // of the threshold in parameters
    // Set while ApplyParameters has a dialog to fill; the next one is filled.
    std::optional<PCAParameter> applying;

    QThread* worker = nullptr;
    std::atomic<bool> cancelled{false};

    QLabel* galleryLine;
    QLabel* modelLine;
    QPushButton* retrainButton;
    QTabWidget* tabs;
    QLabel* probeView;
    QLabel* probeName;
    QLabel* identity;
    QHBoxLayout* nearestStrip;
    QTableWidget* matchTable;
    QLabel* message;
    QWidget* evaluationPage;
    QVBoxLayout* evaluationLayout;
    QProgressBar* progressBar;
    QLabel* progressText;
    QPushButton* cancelButton;
    std::vector<QAction*> recognizerActions;  // disabled while a task runs
};
