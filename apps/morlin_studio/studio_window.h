// morlin-studio's main window: a desktop host of the identifier in
// libmorlin.so. It trains a model on a folder of people (photos or crops),
// adds and removes people without retraining, names every face of a photo a
// person opens, drops or pastes, edits the settings in the recognizer's own
// parameter dialog, calibrates the threshold for strangers and evaluates on
// the images it did not enrol. The model and its life are StudioModel's; the
// window holds the menus, the pages and the state lines.
//
// `next` is what the next training uses (method and parameters). A change of
// method, kernel, components or measure leaves the model "out of date" until
// Retrain; a new threshold applies at once.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <vector>

#include "background_task.h"
#include "morlin/identifier.h"
#include "studio_settings.h"

class EvaluationPage;
class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class RecognizePage;
class StudioModel;

class StudioWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit StudioWindow(QWidget* parent = nullptr);
    ~StudioWindow() override;

    // Reads folder (one folder per person: photos or crops), trains a new
    // model on the first perPerson images of each (0: all of them) and
    // enrols them, in the background.
    void Enrol(const QString& folder, int perPerson);
    // Enrols the images of folder as the person it is named after, without
    // retraining, in the background.
    void AddPerson(const QString& folder);
    // Removes every image of person.
    void RemovePerson(const std::string& person);
    // Names every face in file, or says in the window why it cannot.
    void RecognizeFile(const QString& file);
    void RecognizeImage(const QImage& image, const QString& name);
    // Sets the threshold at which target of strangers get a name, calibrated
    // from the model's own faces, in the background.
    void CalibrateForStrangers(double target);
    // Evaluates the settings on the images not enrolled and shows the charts.
    void EvaluateHeldOut();
    // Writes the model to file, which it lives in from then on.
    void SaveModelAs(const QString& file);
    // Opens the model in file, in the background.
    void OpenModel(const QString& file);
    // Opens the model of the last session, when there is one.
    void ReopenLastModel();
    // Whether a background task is running.
    bool Busy() const { return task->Running(); }

signals:
    // A background task ended, with any task it went on as: succeeded false
    // when it failed or was cancelled.
    void TaskFinished(bool succeeded);

public slots:
    void OpenGallery();
    void AskAddPerson();
    void AskRemovePerson();
    void AskOpenModel();
    void AskSaveModel();
    void OpenProbe();
    void PasteProbe();
    void EditParameters();
    void Retrain();
    void AskCalibration();
    // Shows the model as it is now, another program's changes included.
    void UpdateState();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Connect(QTimer* refresh);
    void MakeMenus();
    void LayOut();
    void SetMethod(morlin::Method method);
    void ShowProgress(int done, int total, const QString& what);
    void ShowError(const QString& text);

    StudioSettings settings;
    BackgroundTask* task;
    StudioModel* model;
    morlin::Settings next;
    bool outOfDate = false;

    QLabel* modelLine;
    QLabel* peopleLine;
    QPushButton* retrainButton;
    QTabWidget* tabs;
    RecognizePage* recognizePage;
    EvaluationPage* evaluationPage;
    QLabel* message;
    QProgressBar* progressBar;
    QLabel* progressText;
    QPushButton* cancelButton;
    std::vector<QAction*> methodActions;
    std::vector<QAction*> modelActions;  // disabled while a task runs
    std::vector<QAction*> needModel;     // disabled without a model
};
