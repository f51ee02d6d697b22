// morlin-studio's window: widgets, the actions a person takes and the state
// lines. The menus are in studio_menus.cpp, recognizing a photo (opened,
// pasted or dropped) in studio_recognition.cpp, the model's life in
// studio_model.cpp.
#include "studio_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "evaluation.h"
#include "evaluation_page.h"
#include "folds.h"
#include "identification.h"
#include "photo_file.h"
#include "recognize_page.h"
#include "setting_text.h"
#include "studio_model.h"

namespace {

// How often the window looks at what other programs committed to the model.
constexpr int stateRefreshMs = 3000;

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

QString Percent(double share) {
    return QString::number(share * 100.0, 'g', 3) + QStringLiteral(" %");
}

}  // namespace

StudioWindow::StudioWindow(QWidget* parent) : QMainWindow(parent) {
    // Widgets.
    task = new BackgroundTask(this);
    model = new StudioModel(*task, settings, this);
    modelLine = new QLabel;
    modelLine->setObjectName("modelLine");
    modelLine->setWordWrap(true);
    peopleLine = new QLabel;
    peopleLine->setObjectName("peopleLine");
    peopleLine->setWordWrap(true);
    retrainButton = new QPushButton(tr("Retrain"));
    retrainButton->setObjectName("retrain");
    recognizePage = new RecognizePage;
    evaluationPage = new EvaluationPage;
    message = new QLabel;
    message->setObjectName("message");
    message->setWordWrap(true);
    message->setStyleSheet(QStringLiteral("color: #b00000"));
    progressBar = new QProgressBar;
    progressText = new QLabel;
    cancelButton = new QPushButton(tr("Cancel"));
    cancelButton->setObjectName("cancel");
    auto* refresh = new QTimer(this);

    // Properties.
    setAcceptDrops(true);
    retrainButton->hide();
    progressBar->hide();
    cancelButton->hide();
    refresh->setInterval(stateRefreshMs);

    // Connections, menus and layout.
    Connect(refresh);
    MakeMenus();

    LayOut();

    // Title, and what was kept from the last session.
    setWindowTitle(tr("morlin-studio"));
    resize(1000, 760);
    next = settings.Next();
    refresh->start();
    UpdateState();
}

// What the buttons, the task, the model and the refresh timer set off.
void StudioWindow::Connect(QTimer* refresh) {
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
    connect(task, &BackgroundTask::Failed, this, &StudioWindow::ShowError);
    connect(task, &BackgroundTask::Ended, this, [this](bool succeeded) {
        progressBar->hide();
        cancelButton->hide();
        progressText->clear();
        for (QAction* action : modelActions) action->setEnabled(true);
        retrainButton->setEnabled(true);
        UpdateState();
        emit TaskFinished(succeeded);
    });
    connect(model, &StudioModel::Told, this, &StudioWindow::ShowError);
    connect(model, &StudioModel::Changed, this, [this] {
        if (model->Identifier())
            outOfDate = NeedsTraining(model->Identifier()->Info().settings, next);
        UpdateState();
    });
    connect(refresh, &QTimer::timeout, this, [this] {
        if (!Busy()) UpdateState();
    });
}

// The model's lines and Retrain above the pages, the task's progress below.
void StudioWindow::LayOut() {
    auto* header = new QHBoxLayout;
    auto* lines = new QVBoxLayout;
    lines->addWidget(modelLine);
    lines->addWidget(peopleLine);
    header->addLayout(lines, 1);
    header->addWidget(retrainButton, 0, Qt::AlignTop);
    tabs = new QTabWidget;
    tabs->addTab(recognizePage, tr("Recognize"));
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
}

StudioWindow::~StudioWindow() {
    task->Wait();
}

// What a person does -------------------------------------------------------

void StudioWindow::OpenGallery() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Train on a folder with one folder of photos per person"),
        settings.GalleryFolder());
    if (chosen.isEmpty()) return;
    bool ok = false;
    const int count = QInputDialog::getInt(
        this, tr("Train"),
        tr("Images to enrol per person, in name order (0: all of them; the rest are kept "
           "for evaluation):"),
        settings.PerPerson(), 0, 1000, 1, &ok);
    if (ok) Enrol(chosen, count);
}

void StudioWindow::Enrol(const QString& folder, int perPerson) {
    if (Busy()) return;
    message->clear();
    model->Train(folder, perPerson, next);
}

void StudioWindow::Retrain() {
    if (Busy()) return;
    message->clear();
    model->Retrain(next);
}

void StudioWindow::AskAddPerson() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Add person: a folder of one person's photos, named after the person"),
        settings.GalleryFolder());
    if (!chosen.isEmpty()) AddPerson(chosen);
}

void StudioWindow::AddPerson(const QString& folder) {
    if (Busy() || !model->Identifier()) return;
    message->clear();
    model->AddPerson(folder);
}

void StudioWindow::AskRemovePerson() {
    if (!model->Identifier()) return;
    const std::vector<morlin::Person> enrolled = model->Identifier()->Info().people;
    QStringList people;
    for (const morlin::Person& p : enrolled) people << Shown(p.name);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        this, tr("Remove person"), tr("Remove every image of:"), people, 0, false, &ok);
    if (ok) RemovePerson(enrolled[static_cast<size_t>(people.indexOf(chosen))].name);
}

void StudioWindow::RemovePerson(const std::string& person) {
    if (Busy()) return;
    QString error;
    if (model->RemovePerson(person, error))
        message->clear();
    else
        ShowError(error);
}

void StudioWindow::AskOpenModel() {
    const QString file = QFileDialog::getOpenFileName(this, tr("Open a model"),
                                                      QFileInfo(model->File()).absolutePath(),
                                                      tr("Models (*.morlin);;All files (*)"));
    if (!file.isEmpty()) OpenModel(file);
}

void StudioWindow::AskSaveModel() {
    const QString file = QFileDialog::getSaveFileName(this, tr("Save the model as"),
                                                      QFileInfo(model->File()).absolutePath(),
                                                      tr("Models (*.morlin);;All files (*)"));
    if (!file.isEmpty()) SaveModelAs(file);
}

void StudioWindow::SaveModelAs(const QString& file) {
    QString error;
    if (model->SaveAs(file, error))
        message->clear();
    else
        ShowError(error);
}

void StudioWindow::OpenModel(const QString& file) {
    if (Busy()) return;
    message->clear();
    model->Open(file);
}

void StudioWindow::ReopenLastModel() {
    const QString file = settings.ModelFile();
    if (!file.isEmpty() && QFileInfo(file).isFile()) OpenModel(file);
}

void StudioWindow::SetMethod(morlin::Method method) {
    next.method = method;
    outOfDate = model->Identifier() && NeedsTraining(model->Identifier()->Info().settings, next);
    settings.SetNext(next);
    UpdateState();
}

void StudioWindow::EditParameters() {
    if (Busy()) return;
    PCAParameter edited = next.designed;
    int choices = static_cast<int>(model->Faces().gallery.size());
    const std::shared_ptr<morlin::Identifier>& held = model->Identifier();
    if (held) {
        const morlin::ModelInfo info = held->Info();
        edited.threshold = info.settings.designed.threshold;
        if (choices == 0) choices = info.basisImages;
    }
    if (!morlin::EditParameters(edited, choices)) return;
    next.designed = edited;
    // A new threshold applies at once; only training applies the rest.
    QString error;
    if (held && edited.threshold != held->Info().settings.designed.threshold &&
        !model->SetThreshold(edited.threshold, error))
        ShowError(error);
    outOfDate = held && NeedsTraining(held->Info().settings, next);
    settings.SetNext(next);
    UpdateState();
}

void StudioWindow::AskCalibration() {
    if (Busy() || !model->Identifier()) {
        ShowError(tr("Train a model first."));
        return;
    }
    bool ok = false;
    const double percent = QInputDialog::getDouble(
        this, tr("Calibrate for strangers"),
        tr("Share of strangers that may be given a name, in %:\n(the threshold comes from "
           "the model's own faces: each person is left out in turn and searched as a stranger)"),
        settings.StrangerShare() * 100.0, 0.1, 50.0, 1, &ok);
    if (ok) CalibrateForStrangers(percent / 100.0);
}

void StudioWindow::CalibrateForStrangers(double target) {
    if (Busy() || !model->Identifier()) return;
    message->clear();
    model->Calibrate(target);
}

void StudioWindow::EvaluateHeldOut() {
    if (Busy() || !model->Identifier()) {
        ShowError(tr("Train a model first."));
        return;
    }
    const FaceDataset& faces = model->Faces();
    if (faces.probes.empty()) {
        ShowError(
            tr("Evaluation needs a folder of crops with images that were not enrolled: train "
               "on the first K images per person to keep the others for it."));
        return;
    }
    message->clear();
    auto held = std::make_shared<FaceDataset>(faces);
    auto result = std::make_shared<StudioEvaluation>();
    result->settings = model->Identifier()->Info().settings;
    task->Run(
        tr("Evaluating on %1 images not enrolled...").arg(faces.probes.size()),
        [held, result](const Progress& progress) {
            const Evaluation evaluation = Evaluate(*held, result->settings);
            result->rank1 = evaluation.rank1;
            result->verification = SortedComparisons(ProbeComparisons(*held, evaluation));
            std::vector<Search> searches = SearchesOf(*held, evaluation);
            const std::vector<Search> strangers =
                LeftOutProbeSearches(*held, result->settings, progress);
            searches.insert(searches.end(), strangers.begin(), strangers.end());
            result->identification = OpenSetSearches(searches);
        },
        [this, result] {
            evaluationPage->Show(*result);
            tabs->setCurrentWidget(evaluationPage);
        },
        tr("Cannot evaluate: %1"), tr("Evaluation cancelled."));
}

// State -----------------------------------------------------------------------

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
    const std::shared_ptr<morlin::Identifier>& held = model->Identifier();
    for (QAction* action : needModel) action->setEnabled(held != nullptr && !Busy());
    if (!held) {
        modelLine->setText(tr("No model: File > Train on a folder of people, or File > Open model. "
                              "The next training uses %1.")
                               .arg(QString::fromStdString(DescribeSetting(next))));
        peopleLine->clear();
        retrainButton->hide();
        return;
    }
    const morlin::ModelInfo info = held->Info();
    const double threshold = info.settings.designed.threshold;
    QString line = tr("Model: %1, on %2 of %3 x %4 pixels. A name needs a score under %5")
                       .arg(QString::fromStdString(DescribeSetting(info.settings)))
                       .arg(info.faces == morlin::FaceSource::Found ? tr("faces found in photos")
                                                                    : tr("crops"))
                       .arg(info.columns)
                       .arg(info.rows)
                       .arg(threshold, 0, 'g', 4);
    if (info.thresholdOrigin == morlin::ThresholdOrigin::Calibrated && info.calibration)
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
                         .arg(model->File());
    if (!model->Faces().probes.empty())
        people += tr(" %1 images of %2 held back for evaluation.")
                      .arg(model->Faces().probes.size())
                      .arg(model->Folder());
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
