// morlin-studio's window: widgets and menus, the model's life (train, add,
// remove, open, save, calibrate), recognition and the state lines.
#include "studio_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "evaluation.h"
#include "evaluation_page.h"
#include "folds.h"
#include "identification.h"
#include "match_view.h"
#include "morlin/morlin.h"
#include "setting_text.h"
#include "settings_keys.h"

namespace {

constexpr int defaultPerPerson = 5;
constexpr double defaultStrangerShare = 0.05;
constexpr int candidatesShown = 10;
constexpr char modelFileName[] = "studio.morlin";

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

QString Percent(double share) {
    return QString::number(share * 100.0, 'g', 3) + QStringLiteral(" %");
}

// The grey image as the folder holds images: rows of ints 0..255.
QImage ImageOf(const std::vector<int>& grey, int rows, int columns) {
    QImage image(columns, rows, QImage::Format_Grayscale8);
    for (int r = 0; r < rows; ++r) {
        uchar* line = image.scanLine(r);
        for (int c = 0; c < columns; ++c)
            line[c] = static_cast<uchar>(grey[static_cast<size_t>(r * columns + c)]);
    }
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

// Whether the model trained with trained must be trained again for next.
bool NeedsTraining(const morlin::Settings& trained, const morlin::Settings& next) {
    const PCAParameter& a = trained.designed;
    const PCAParameter& b = next.designed;
    const bool designed = next.method == morlin::Method::Designed;
    const bool kernel = a.isKernel != b.isKernel || (b.isKernel && a.kernelType != b.kernelType) ||
                        a.gamma != b.gamma || a.coef0 != b.coef0 || a.degree != b.degree;
    return trained.method != next.method || kernel ||
           (designed && (a.componentNum != b.componentNum || a.distanceType != b.distanceType));
}

}  // namespace

StudioWindow::StudioWindow(QWidget* parent) : QMainWindow(parent) {
    // Widgets.
    task = new BackgroundTask(this);
    modelLine = new QLabel;
    modelLine->setObjectName("modelLine");
    modelLine->setWordWrap(true);
    peopleLine = new QLabel;
    peopleLine->setObjectName("peopleLine");
    peopleLine->setWordWrap(true);
    retrainButton = new QPushButton(tr("Retrain"));
    retrainButton->setObjectName("retrain");
    matchView = new MatchView;
    evaluationPage = new EvaluationPage;
    message = new QLabel;
    message->setObjectName("message");
    message->setWordWrap(true);
    message->setStyleSheet(QStringLiteral("color: #b00000"));
    progressBar = new QProgressBar;
    progressText = new QLabel;
    cancelButton = new QPushButton(tr("Cancel"));
    cancelButton->setObjectName("cancel");

    // Properties.
    setAcceptDrops(true);
    retrainButton->hide();
    progressBar->hide();
    cancelButton->hide();

    // Connections and menus.
    connect(retrainButton, &QPushButton::clicked, this, &StudioWindow::Retrain);
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        task->Cancel();
        progressText->setText(tr("Cancelling when the step under way ends..."));
    });
    connect(task, &BackgroundTask::Started, this, [this](const QString& what) {
        for (QAction* action : modelActions) action->setEnabled(false);
        retrainButton->setEnabled(false);
        progressBar->setRange(0, 0);
        progressBar->show();
        cancelButton->show();
        progressText->setText(what);
    });
    connect(task, &BackgroundTask::Progressed, this, &StudioWindow::ShowProgress);
    connect(task, &BackgroundTask::Ended, this, [this](bool succeeded) {
        progressBar->hide();
        cancelButton->hide();
        progressText->clear();
        for (QAction* action : modelActions) action->setEnabled(true);
        retrainButton->setEnabled(true);
        UpdateState();
        emit TaskFinished(succeeded);
    });

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* openGallery = file->addAction(tr("&Train on a folder of people..."),
                                           QKeySequence::Open, this, &StudioWindow::OpenGallery);
    QAction* addPerson = file->addAction(tr("&Add person..."), this, &StudioWindow::AskAddPerson);
    QAction* removePerson =
        file->addAction(tr("Re&move person..."), this, &StudioWindow::AskRemovePerson);
    file->addSeparator();
    QAction* openModel = file->addAction(tr("&Open model..."), this, &StudioWindow::AskOpenModel);
    QAction* saveModel = file->addAction(tr("&Save model as..."), QKeySequence::SaveAs, this,
                                         &StudioWindow::AskSaveModel);
    file->addSeparator();
    QAction* openProbe = file->addAction(tr("&Recognize image..."), QKeySequence(tr("Ctrl+R")),
                                         this, &StudioWindow::OpenProbe);
    QAction* paste = file->addAction(tr("Recognize &pasted image"), QKeySequence::Paste, this,
                                     &StudioWindow::PasteProbe);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* recognizer = menuBar()->addMenu(tr("&Recognizer"));
    QMenu* methods = recognizer->addMenu(tr("&Method"));
    for (morlin::Method method : morlin::allMethods) {
        QAction* action = methods->addAction(QString::fromStdString(morlin::MethodName(method)),
                                             this, [this, method] { SetMethod(method); });
        action->setCheckable(true);
        action->setToolTip(QString::fromStdString(morlin::MethodDescription(method)));
        methodActions.push_back(action);
    }
    methods->setToolTipsVisible(true);
    QAction* editParameters = recognizer->addAction(
        tr("&Parameters..."), QKeySequence(tr("Ctrl+P")), this, &StudioWindow::EditParameters);
    editParameters->setObjectName("parameters");
    QAction* retrain = recognizer->addAction(tr("Re&train"), this, &StudioWindow::Retrain);
    QAction* calibrate = recognizer->addAction(tr("&Calibrate for strangers..."), this,
                                               &StudioWindow::AskCalibration);
    QAction* evaluate = recognizer->addAction(tr("&Evaluate on the images not enrolled"), this,
                                              &StudioWindow::EvaluateHeldOut);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About morlin-studio"), this, [this] {
        std::string record[5];
        Recognizer_Version(record);
        QMessageBox::about(
            this, tr("About morlin-studio"),
            tr("morlin-studio: train a face identification model, name the faces in images, "
               "tune and calibrate it.\n\nRecognizer: %1 %2 by %3")
                .arg(QString::fromStdString(record[1]), QString::fromStdString(record[3]),
                     QString::fromStdString(record[0])));
    });
    modelActions = {openGallery, addPerson,      removePerson, openModel, saveModel, openProbe,
                    paste,       editParameters, retrain,      calibrate, evaluate};
    modelActions.insert(modelActions.end(), methodActions.begin(), methodActions.end());
    needModel = {addPerson, removePerson, saveModel, openProbe, paste, calibrate};

    // Layout.
    auto* header = new QHBoxLayout;
    auto* lines = new QVBoxLayout;
    lines->addWidget(modelLine);
    lines->addWidget(peopleLine);
    header->addLayout(lines, 1);
    header->addWidget(retrainButton, 0, Qt::AlignTop);
    tabs = new QTabWidget;
    tabs->addTab(matchView, tr("Recognize"));
    tabs->addTab(evaluationPage, tr("Evaluate"));
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progressText, 1);
    progressRow->addWidget(progressBar, 1);
    progressRow->addWidget(cancelButton);
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(header);
    layout->addWidget(message);
    layout->addWidget(tabs, 1);
    layout->addLayout(progressRow);
    setCentralWidget(central);

    // Title, and what was kept from the last session.
    setWindowTitle(tr("morlin-studio"));
    resize(1000, 720);
    const QSettings saved;
    next = LoadSettings(saved);
    folder = saved.value(settings::galleryFolder).toString();
    perPerson = saved.value(settings::perPerson, defaultPerPerson).toInt();
    modelFile = saved.value(settings::modelFile).toString();
    UpdateState();
}

StudioWindow::~StudioWindow() {
    task->Wait();
}

// The model's life -------------------------------------------------------

void StudioWindow::OpenGallery() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Train on a folder with one folder of images per person"), folder);
    if (chosen.isEmpty()) return;
    bool ok = false;
    const int count = QInputDialog::getInt(
        this, tr("Train"),
        tr("Images to enrol per person, in name order (0: all of them; the rest are kept "
           "for evaluation):"),
        perPerson, 0, 1000, 1, &ok);
    if (ok) Enrol(chosen, count);
}

void StudioWindow::Enrol(const QString& chosen, int count) {
    if (Busy()) return;
    message->clear();
    auto loaded = std::make_shared<FaceDataset>();
    auto error = std::make_shared<std::string>();
    const std::string path = QFile::encodeName(chosen).toStdString();
    task->Start(
        tr("Reading %1...").arg(chosen),
        [this, loaded, error, path, count](const Progress& progress) {
            return LoadFaceDataset(path, count, *loaded, *error, std::nullopt,
                                   [&](int done, int total) {
                                       progress(done, total, QT_TR_NOOP("reading images"));
                                       return !task->Cancelled();
                                   });
        },
        [this, loaded, error, chosen, count](bool done) {
            if (!done) {
                ShowError(task->Cancelled()
                              ? tr("Reading cancelled; the model is as it was.")
                              : tr("Cannot train on %1: %2")
                                    .arg(chosen, QString::fromStdString(DisplayName(*error))));
                return;
            }
            folderFaces = std::move(*loaded);
            folder = chosen;
            perPerson = count;
            QSettings saved;
            saved.setValue(settings::galleryFolder, folder);
            saved.setValue(settings::perPerson, perPerson);
            TrainFolder(tr("Training on %1 images...").arg(folderFaces.gallery.size()));
        });
}

void StudioWindow::TrainFolder(const QString& what) {
    auto images = std::make_shared<std::vector<std::vector<int>>>();
    auto names = std::make_shared<std::vector<std::string>>();
    std::vector<QImage> freshPictures;
    for (const FaceImage& face : folderFaces.gallery) {
        images->push_back(face.grey);
        names->push_back(face.person);
        freshPictures.push_back(ImageOf(face.grey, folderFaces.rows, folderFaces.columns));
    }
    const int rows = folderFaces.rows, columns = folderFaces.columns;
    auto fresh = std::make_shared<morlin::Identifier>(next);
    auto error = std::make_shared<std::string>();
    task->Start(
        what,
        [this, images, names, rows, columns, fresh, error](const Progress& progress) {
            std::vector<morlin::Image> faces;
            for (const std::vector<int>& grey : *images)
                faces.push_back({rows, columns, nullptr, grey.data()});
            try {
                fresh->Train(faces, *names, Reporting(progress, *task, QT_TR_NOOP("training")));
                return true;
            } catch (const morlin::Error& e) {
                *error = e.what();
                return false;
            }
        },
        [this, fresh, error, freshPictures = std::move(freshPictures)](bool done) mutable {
            if (!done) {
                ShowError(task->Cancelled() ? tr("Training cancelled; the model is as it was.")
                                            : tr("Cannot train: %1").arg(Shown(*error)));
                return;
            }
            Adopt(fresh, std::move(freshPictures));
        });
}

void StudioWindow::Retrain() {
    if (Busy()) return;
    if (!folderFaces.gallery.empty()) {
        TrainFolder(tr("Retraining with the new settings..."));
    } else if (!folder.isEmpty() && QDir(folder).exists()) {
        Enrol(folder, perPerson);
    } else {
        ShowError(
            tr("Retraining needs the folder of people the model was trained on: "
               "File > Train on a folder of people."));
    }
}

void StudioWindow::AskAddPerson() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Add person: a folder of one person's images, named after the person"), folder);
    if (!chosen.isEmpty()) AddPerson(chosen);
}

void StudioWindow::AddPerson(const QString& personFolder) {
    if (Busy() || !model) return;
    message->clear();
    const morlin::ModelInfo info = model->Info();
    const std::string path = QFile::encodeName(personFolder).toStdString();
    const std::string person = QFile::encodeName(QFileInfo(personFolder).fileName()).toStdString();
    auto faces = std::make_shared<std::vector<std::vector<int>>>();
    auto problems = std::make_shared<std::string>();
    std::shared_ptr<morlin::Identifier> held = model;
    task->Start(
        tr("Adding %1...").arg(Shown(person)),
        [this, info, path, person, faces, problems, held](const Progress& progress) {
            const std::vector<std::string> files = SortedEntries(path, false);
            for (size_t k = 0; k < files.size() && !task->Cancelled(); ++k) {
                progress(static_cast<int>(k), static_cast<int>(files.size()),
                         QT_TR_NOOP("reading images"));
                int rows = info.rows, columns = info.columns;
                std::vector<int> grey;
                std::string error;
                if (ReadGreyImage(path + "/" + files[k], rows, columns, grey, error))
                    faces->push_back(std::move(grey));
                else
                    *problems += (problems->empty() ? "" : "; ") + error;
            }
            if (faces->empty()) {
                if (problems->empty())
                    *problems = tr("no images in %1").arg(Shown(path)).toStdString();
                return false;
            }
            std::vector<morlin::Image> images;
            for (const std::vector<int>& grey : *faces)
                images.push_back({info.rows, info.columns, nullptr, grey.data()});
            try {
                held->Enrol(images, person, Reporting(progress, *task, QT_TR_NOOP("enrolling")));
                return true;
            } catch (const morlin::Error& e) {
                *problems = e.what();
                return false;
            }
        },
        [this, info, faces, problems, person](bool done) {
            if (!done) {
                ShowError(task->Cancelled()
                              ? tr("Adding cancelled; nobody was added.")
                              : tr("Cannot add %1: %2").arg(Shown(person), Shown(*problems)));
                return;
            }
            for (const std::vector<int>& grey : *faces)
                pictures.push_back(ImageOf(grey, info.rows, info.columns));
            // Some images may have been left out: say which.
            if (!problems->empty()) ShowError(tr("Left out: %1").arg(Shown(*problems)));
            Persist();
        });
}

void StudioWindow::AskRemovePerson() {
    if (!model) return;
    QStringList people;
    for (const morlin::Person& p : model->Info().people) people << Shown(p.name);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        this, tr("Remove person"), tr("Remove every image of:"), people, 0, false, &ok);
    if (!ok) return;
    const std::vector<morlin::Person> enrolled = model->Info().people;
    RemovePerson(enrolled[static_cast<size_t>(people.indexOf(chosen))].name);
}

void StudioWindow::RemovePerson(const std::string& person) {
    if (Busy() || !model) return;
    const morlin::ModelInfo before = model->Info();
    try {
        model->Remove(person);
    } catch (const morlin::Error& e) {
        ShowError(Shown(e.what()));
        return;
    }
    // The identifier keeps the others' images in their order: so do the pictures.
    std::vector<QImage> kept;
    for (size_t i = 0; i < before.imagePeople.size() && i < pictures.size(); ++i)
        if (before.people[static_cast<size_t>(before.imagePeople[i])].name != person)
            kept.push_back(pictures[i]);
    pictures = std::move(kept);
    message->clear();
    Persist();
    UpdateState();
}

void StudioWindow::AskOpenModel() {
    const QString file =
        QFileDialog::getOpenFileName(this, tr("Open a model"), QFileInfo(modelFile).absolutePath(),
                                     tr("Models (*.morlin);;All files (*)"));
    if (!file.isEmpty()) OpenModel(file);
}

void StudioWindow::AskSaveModel() {
    const QString file = QFileDialog::getSaveFileName(this, tr("Save the model as"),
                                                      QFileInfo(modelFile).absolutePath(),
                                                      tr("Models (*.morlin);;All files (*)"));
    if (!file.isEmpty()) SaveModelAs(file);
}

void StudioWindow::SaveModelAs(const QString& file) {
    if (!model) return;
    try {
        model->Save(QFile::encodeName(file).toStdString());
    } catch (const morlin::Error& e) {
        ShowError(Shown(e.what()));
        return;
    }
    modelFile = file;
    QSettings().setValue(settings::modelFile, modelFile);
    message->clear();
    UpdateState();
}

void StudioWindow::OpenModel(const QString& file) {
    if (Busy()) return;
    auto loaded = std::make_shared<std::optional<morlin::Identifier>>();
    auto error = std::make_shared<std::string>();
    const std::string path = QFile::encodeName(file).toStdString();
    task->Start(
        tr("Opening %1...").arg(file),
        [loaded, error, path](const Progress&) {
            try {
                loaded->emplace(morlin::Identifier::Load(path));
                return true;
            } catch (const morlin::Error& e) {
                *error = e.what();
                return false;
            }
        },
        [this, loaded, error, file](bool done) {
            if (!done) {
                ShowError(tr("Cannot open the model: %1").arg(Shown(*error)));
                return;
            }
            model = std::make_shared<morlin::Identifier>(std::move(**loaded));
            const morlin::ModelInfo info = model->Info();
            // No pictures come with a model; the folder read before is another model's.
            pictures.assign(static_cast<size_t>(info.enrolledImages), QImage());
            folderFaces = FaceDataset{};
            next = info.settings;
            outOfDate = false;
            modelFile = file;
            QSettings saved;
            saved.setValue(settings::modelFile, modelFile);
            SaveSettings(saved, next);
            message->clear();
        });
}

void StudioWindow::ReopenLastModel() {
    if (!modelFile.isEmpty() && QFileInfo(modelFile).isFile()) OpenModel(modelFile);
}

void StudioWindow::Adopt(std::shared_ptr<morlin::Identifier> fresh,
                         std::vector<QImage> freshPictures) {
    model = std::move(fresh);
    pictures = std::move(freshPictures);
    outOfDate = false;
    if (modelFile.isEmpty())
        modelFile = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                    QStringLiteral("/") + QString::fromLatin1(modelFileName);
    QSettings saved;
    saved.setValue(settings::modelFile, modelFile);
    SaveSettings(saved, next);
    Persist();
}

void StudioWindow::Persist() {
    if (!model) return;
    QDir().mkpath(QFileInfo(modelFile).absolutePath());
    try {
        model->Save(QFile::encodeName(modelFile).toStdString());
    } catch (const morlin::Error& e) {
        ShowError(tr("The model is not saved: %1").arg(Shown(e.what())));
    }
}

// Settings -------------------------------------------------------------

void StudioWindow::SetMethod(morlin::Method method) {
    next.method = method;
    outOfDate = model && NeedsTraining(model->Info().settings, next);
    QSettings saved;
    SaveSettings(saved, next);
    UpdateState();
}

void StudioWindow::EditParameters() {
    if (Busy()) return;
    PCAParameter edited = next.designed;
    int choices = static_cast<int>(folderFaces.gallery.size());
    if (model) {
        const morlin::ModelInfo info = model->Info();
        edited.threshold = info.settings.designed.threshold;
        if (choices == 0) choices = info.basisImages;
    }
    if (!morlin::EditParameters(edited, choices)) return;
    const double threshold = edited.threshold;
    next.designed = edited;
    if (model) {
        if (threshold != model->Info().settings.designed.threshold) {
            // A new threshold applies at once; only training applies the rest.
            model->SetThreshold(threshold);
            Persist();
        }
        outOfDate = NeedsTraining(model->Info().settings, next);
    }
    QSettings saved;
    SaveSettings(saved, next);
    UpdateState();
}

// Calibration and evaluation ---------------------------------------------

void StudioWindow::AskCalibration() {
    if (Busy() || !model) {
        ShowError(tr("Train a model first."));
        return;
    }
    bool ok = false;
    const double percent = QInputDialog::getDouble(
        this, tr("Calibrate for strangers"),
        tr("Share of strangers that may be given a name, in %:\n(the threshold comes from "
           "the model's own faces: each person is left out in turn and searched as a stranger)"),
        QSettings().value(settings::strangerShare, defaultStrangerShare).toDouble() * 100.0, 0.1,
        50.0, 1, &ok);
    if (ok) CalibrateForStrangers(percent / 100.0);
}

void StudioWindow::CalibrateForStrangers(double target) {
    if (Busy() || !model) return;
    message->clear();
    std::shared_ptr<morlin::Identifier> held = model;
    auto result = std::make_shared<morlin::Calibration>();
    auto error = std::make_shared<std::string>();
    task->Start(
        tr("Calibrating for %1 of strangers named...").arg(Percent(target)),
        [this, held, result, error, target](const Progress& progress) {
            try {
                *result = held->Calibrate(
                    target, Reporting(progress, *task, QT_TR_NOOP("people left out")));
                return true;
            } catch (const morlin::Error& e) {
                *error = e.what();
                return false;
            }
        },
        [this, result, error, target](bool done) {
            if (!done) {
                if (!task->Cancelled()) ShowError(Shown(*error));
                return;
            }
            if (!result->warning.empty()) ShowError(Shown(result->warning));
            QSettings().setValue(settings::strangerShare, target);
            Persist();
        });
}

void StudioWindow::EvaluateHeldOut() {
    if (Busy() || !model) {
        ShowError(tr("Train a model first."));
        return;
    }
    if (folderFaces.probes.empty()) {
        ShowError(
            tr("Evaluation needs images that were not enrolled: train on the first K "
               "images per person to keep the others for it."));
        return;
    }
    message->clear();
    auto faces = std::make_shared<FaceDataset>(folderFaces);
    auto result = std::make_shared<StudioEvaluation>();
    result->settings = model->Info().settings;
    task->Start(
        tr("Evaluating on %1 images not enrolled...").arg(folderFaces.probes.size()),
        [faces, result](const Progress& progress) {
            const Evaluation evaluation = Evaluate(*faces, result->settings);
            result->rank1 = evaluation.rank1;
            result->verification = SortedComparisons(ProbeComparisons(*faces, evaluation));
            std::vector<Search> searches = SearchesOf(*faces, evaluation);
            const std::vector<Search> strangers =
                LeftOutProbeSearches(*faces, result->settings, progress);
            searches.insert(searches.end(), strangers.begin(), strangers.end());
            result->identification = OpenSetSearches(searches);
            return true;
        },
        [this, result](bool done) {
            if (!done) return;
            evaluationPage->Show(*result);
            tabs->setCurrentWidget(evaluationPage);
        });
}

// Recognition ------------------------------------------------------------

void StudioWindow::OpenProbe() {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Recognize an image"), folder,
        tr("Images (*.pgm *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;All files (*)"));
    if (!file.isEmpty()) RecognizeFile(file);
}

void StudioWindow::PasteProbe() {
    const QImage image = QApplication::clipboard()->image();
    if (image.isNull()) {
        ShowError(tr("The clipboard holds no image."));
        return;
    }
    RecognizeImage(image, tr("pasted image"));
}

void StudioWindow::RecognizeFile(const QString& file) {
    int rows = 0, columns = 0;
    std::vector<int> grey;
    std::string error;
    if (!ReadGreyImage(QFile::encodeName(file).toStdString(), rows, columns, grey, error)) {
        ShowError(QString::fromStdString(error));
        return;
    }
    const QFileInfo info(file);
    RecognizeImage(ImageOf(grey, rows, columns), info.dir().dirName() + "/" + info.fileName());
}

void StudioWindow::RecognizeImage(const QImage& picture, const QString& name) {
    if (!model) {
        ShowError(tr("Train a model first: File > Train on a folder of people, or open one."));
        return;
    }
    const morlin::ModelInfo info = model->Info();
    const QImage probe = picture.convertToFormat(QImage::Format_Grayscale8);
    if (probe.width() != info.columns || probe.height() != info.rows) {
        ShowError(tr("%1 is %2 x %3 pixels; the model's images are %4 x %5. Crop or scale it "
                     "to that size.")
                      .arg(name)
                      .arg(probe.width())
                      .arg(probe.height())
                      .arg(info.columns)
                      .arg(info.rows));
        return;
    }
    message->clear();
    std::vector<uint8_t> pixels(static_cast<size_t>(info.rows) * static_cast<size_t>(info.columns));
    for (int r = 0; r < info.rows; ++r)
        std::copy_n(probe.constScanLine(r), info.columns,
                    pixels.begin() + static_cast<ptrdiff_t>(r) * info.columns);
    const morlin::Identification answer =
        model->Identify({info.rows, info.columns, pixels.data(), nullptr}, candidatesShown);
    tabs->setCurrentWidget(matchView);
    matchView->ShowAnswer(probe, name, answer, info.settings.designed.threshold,
                          [this](int image) { return Picture(image); });
}

QImage StudioWindow::Picture(int image) const {
    return image >= 0 && static_cast<size_t>(image) < pictures.size()
               ? pictures[static_cast<size_t>(image)]
               : QImage();
}

// Dropping a file -------------------------------------------------------

void StudioWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() || event->mimeData()->hasImage())
        event->acceptProposedAction();
}

void StudioWindow::dropEvent(QDropEvent* event) {
    const QMimeData* dropped = event->mimeData();
    if (dropped->hasImage()) {
        RecognizeImage(qvariant_cast<QImage>(dropped->imageData()), tr("dropped image"));
    } else if (dropped->hasUrls() && dropped->urls().first().isLocalFile()) {
        const QString path = dropped->urls().first().toLocalFile();
        if (QFileInfo(path).isDir())
            Enrol(path, perPerson);
        else
            RecognizeFile(path);
    }
    event->acceptProposedAction();
}

// State -----------------------------------------------------------------

void StudioWindow::ShowProgress(int done, int total, const QString& what) {
    progressBar->setRange(0, total);
    progressBar->setValue(done);
    if (!task->Cancelled()) progressText->setText(tr(what.toUtf8().constData()));
}

void StudioWindow::ShowError(const QString& text) {
    message->setText(text);
}

void StudioWindow::UpdateState() {
    for (size_t k = 0; k < methodActions.size(); ++k)
        methodActions[k]->setChecked(morlin::allMethods[k] == next.method);
    for (QAction* action : needModel) action->setEnabled(model != nullptr && !Busy());
    if (!model) {
        modelLine->setText(tr("No model: File > Train on a folder of people, or File > Open model. "
                              "The next training uses %1.")
                               .arg(QString::fromStdString(DescribeSetting(next))));
        peopleLine->clear();
        retrainButton->hide();
        return;
    }
    const morlin::ModelInfo info = model->Info();
    const double threshold = info.settings.designed.threshold;
    QString line = tr("Model: %1. A name needs a score under %2")
                       .arg(QString::fromStdString(DescribeSetting(info.settings)))
                       .arg(threshold, 0, 'g', 4);
    if (info.calibration && info.calibration->threshold == threshold)
        line += tr(", calibrated for %1 of strangers named").arg(Percent(info.calibration->target));
    line += tr(".", "the end of the model's sentence");
    if (outOfDate)
        line += tr(" The model is out of date: the next training uses %1; the model recognizes "
                   "until you retrain.")
                    .arg(QString::fromStdString(DescribeSetting(next)));
    modelLine->setText(line);
    QString people = tr("%1 people, %2 images enrolled; kept in %3.")
                         .arg(info.people.size())
                         .arg(info.enrolledImages)
                         .arg(modelFile);
    if (!folderFaces.probes.empty())
        people += tr(" %1 images of %2 held back for evaluation.")
                      .arg(folderFaces.probes.size())
                      .arg(folder);
    peopleLine->setText(people);
    retrainButton->setVisible(outOfDate);
}

void StudioWindow::closeEvent(QCloseEvent* event) {
    if (Busy()) {
        task->Cancel();
        progressText->setText(tr("Finishing the step under way before closing..."));
        task->Wait();
    }
    QMainWindow::closeEvent(event);
}
