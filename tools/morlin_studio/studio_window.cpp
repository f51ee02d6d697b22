// morlin-studio's window: widgets, menus, background tasks, recognition and its display.
#include "studio_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <cmath>
#include <limits>

#include "evaluation.h"
#include "evaluation_charts.h"
#include "folds.h"
#include "identification.h"
#include "parameter_bridge.h"
#include "setting_text.h"
#include "settings_keys.h"

namespace {

constexpr int thumbnailsShown = 6;
constexpr int probeScale = 2;
constexpr int defaultPerPerson = 5;
constexpr double defaultStrangerShare = 0.05;

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

QString Percent(double share) {
    return QString::number(share * 100.0, 'g', 3) + QStringLiteral(" %");
}

// The grey image as the gallery holds images: rows of ints 0..255.
QImage ImageOf(const std::vector<int>& grey, int rows, int columns) {
    QImage image(columns, rows, QImage::Format_Grayscale8);
    for (int r = 0; r < rows; ++r) {
        uchar* line = image.scanLine(r);
        for (int c = 0; c < columns; ++c)
            line[c] = static_cast<uchar>(grey[static_cast<size_t>(r * columns + c)]);
    }
    return image;
}

QPixmap Scaled(const QImage& image, int factor) {
    return QPixmap::fromImage(
        image.scaled(image.size() * factor, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// A rate, or "n/a" where the images cannot give it (no strangers, say).
QString RateText(const std::optional<double>& rate, int decimals) {
    return rate ? QString::number(*rate, 'f', decimals) : QStringLiteral("n/a");
}

QString DescribeModel(const PCAParameter& p) {
    return QString::fromStdString(DescribeSetting(p));
}

}  // namespace

StudioWindow::StudioWindow(QWidget* parent) : QMainWindow(parent) {
    // Widgets.
    galleryLine = new QLabel(tr("No gallery enrolled: open a folder of person folders."));
    galleryLine->setObjectName("galleryLine");
    modelLine = new QLabel;
    modelLine->setObjectName("modelLine");
    modelLine->setWordWrap(true);
    retrainButton = new QPushButton(tr("Retrain"));
    retrainButton->setObjectName("retrain");
    probeView = new QLabel;
    probeView->setObjectName("probe");
    probeView->setAlignment(Qt::AlignCenter);
    probeView->setMinimumSize(200, 240);
    probeView->setFrameShape(QFrame::StyledPanel);
    probeName = new QLabel(tr("Open, drop or paste an image to recognize."));
    probeName->setWordWrap(true);
    identity = new QLabel;
    identity->setObjectName("identity");
    QFont big = identity->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    identity->setFont(big);
    identity->setAlignment(Qt::AlignCenter);
    matchTable = new QTableWidget(0, 4);
    matchTable->setObjectName("matches");
    matchTable->setHorizontalHeaderLabels(
        {tr("Rank"), tr("Person"), tr("Gallery image"), tr("Distance")});
    matchTable->horizontalHeader()->setStretchLastSection(true);
    matchTable->verticalHeader()->hide();
    matchTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    matchTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    message = new QLabel;
    message->setObjectName("message");
    message->setWordWrap(true);
    message->setStyleSheet(QStringLiteral("color: #b00000"));
    evaluationPage = new QWidget;
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
        cancelled = true;
        progressText->setText(tr("Cancelling when the step under way ends..."));
    });
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* openGallery = file->addAction(tr("Open &gallery..."), QKeySequence::Open, this,
                                           &StudioWindow::OpenGallery);
    QAction* openProbe = file->addAction(tr("&Recognize image..."), QKeySequence(tr("Ctrl+R")),
                                         this, &StudioWindow::OpenProbe);
    QAction* paste = file->addAction(tr("Recognize &pasted image"), QKeySequence::Paste, this,
                                     &StudioWindow::PasteProbe);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* recognizer = menuBar()->addMenu(tr("&Recognizer"));
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
        const std::vector<std::string> record = library.Record();
        QMessageBox::about(
            this, tr("About morlin-studio"),
            tr("morlin-studio: enrol a gallery, recognize faces, tune the recognizer.\n\n"
               "Recognizer: %1 %2 by %3\n%4")
                .arg(QString::fromStdString(record[1]), QString::fromStdString(record[3]),
                     QString::fromStdString(record[0]), library.FileName()));
    });
    recognizerActions = {openGallery, openProbe, paste,   editParameters,
                         retrain,     calibrate, evaluate};

    // Layout.
    auto* header = new QHBoxLayout;
    auto* lines = new QVBoxLayout;
    lines->addWidget(galleryLine);
    lines->addWidget(modelLine);
    header->addLayout(lines, 1);
    header->addWidget(retrainButton, 0, Qt::AlignTop);

    auto* probeColumn = new QVBoxLayout;
    probeColumn->addWidget(probeView);
    probeColumn->addWidget(probeName);
    probeColumn->addWidget(identity);
    probeColumn->addStretch();
    auto* nearestBox = new QVBoxLayout;
    nearestBox->addWidget(new QLabel(tr("Nearest gallery images under the threshold:")));
    nearestStrip = new QHBoxLayout;
    nearestStrip->addStretch();
    nearestBox->addLayout(nearestStrip);
    nearestBox->addWidget(new QLabel(tr("Every match the recognizer returns, nearest first:")));
    nearestBox->addWidget(matchTable, 1);
    auto* recognizePage = new QWidget;
    auto* recognizeLayout = new QHBoxLayout(recognizePage);
    recognizeLayout->addLayout(probeColumn);
    recognizeLayout->addLayout(nearestBox, 1);

    evaluationLayout = new QVBoxLayout(evaluationPage);
    auto* evaluationHint = new QLabel(
        tr("Enrol the first K images per person, then Recognizer > Evaluate: the images not "
           "enrolled are recognized, and each person's are also searched as a stranger's."));
    evaluationHint->setWordWrap(true);
    evaluationLayout->addWidget(evaluationHint);

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

    // Title, and what was kept from the last session.
    setWindowTitle(tr("morlin-studio"));
    resize(1000, 720);
    qApp->installEventFilter(this);
    const QSettings settings;
    parameters = LoadParameters(settings);
    galleryFolder = settings.value(settings::galleryFolder).toString();
    perPerson = settings.value(settings::perPerson, defaultPerPerson).toInt();
    if (!library.Loaded()) {
        ShowError(tr("The recognizer module cannot be loaded: %1").arg(library.Problem()));
        for (QAction* action : recognizerActions) action->setEnabled(false);
    } else {
        // The saved parameters go in at once; the component count, which
        // the dialog offers only for a gallery, when one is enrolled.
        QTimer::singleShot(0, this, [this] { ApplyParameters(parameters); });
    }
    UpdateState();
}

StudioWindow::~StudioWindow() {
    qApp->removeEventFilter(this);
    if (worker != nullptr) worker->wait();
}

// Background work --------------------------------------------------------

void StudioWindow::RunInBackground(const QString& what, Work work,
                                   std::function<void(bool)> finish) {
    cancelled = false;
    for (QAction* action : recognizerActions) action->setEnabled(false);
    retrainButton->setEnabled(false);
    progressBar->setRange(0, 0);
    progressBar->show();
    cancelButton->show();
    progressText->setText(what);
    auto succeeded = std::make_shared<bool>(false);
    const Progress progress = [this](int done, int total, const std::string& step) {
        QMetaObject::invokeMethod(
            this,
            [this, done, total, step] { ShowProgress(done, total, QString::fromStdString(step)); },
            Qt::QueuedConnection);
    };
    worker = QThread::create(
        [work = std::move(work), progress, succeeded] { *succeeded = work(progress); });
    connect(worker, &QThread::finished, this, [this, succeeded, finish = std::move(finish)] {
        worker->deleteLater();
        worker = nullptr;
        progressBar->hide();
        cancelButton->hide();
        progressText->clear();
        for (QAction* action : recognizerActions) action->setEnabled(library.Loaded());
        retrainButton->setEnabled(true);
        const bool done = *succeeded && !cancelled;
        finish(done);
        UpdateState();
        // A task that goes on as another (reading, then training) ends once.
        if (worker == nullptr) emit TaskFinished(done);
    });
    worker->start();
}

void StudioWindow::ShowProgress(int done, int total, const QString& what) {
    progressBar->setRange(0, total);
    progressBar->setValue(done);
    if (!cancelled) progressText->setText(what);
}

// Enrolment --------------------------------------------------------------

void StudioWindow::OpenGallery() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Gallery: a folder with one folder of images per person"), galleryFolder);
    if (folder.isEmpty()) return;
    bool ok = false;
    const int count = QInputDialog::getInt(
        this, tr("Enrol"),
        tr("Images to enrol per person, in name order (0: all of them; the rest are kept "
           "for evaluation):"),
        perPerson == 0 && !enrolled ? defaultPerPerson : perPerson, 0, 1000, 1, &ok);
    if (ok) Enrol(folder, count);
}

void StudioWindow::Enrol(const QString& folder, int count) {
    if (Busy() || !library.Loaded()) return;
    message->clear();
    auto loaded = std::make_shared<FaceDataset>();
    auto error = std::make_shared<std::string>();
    const std::string path = QFile::encodeName(folder).toStdString();
    RunInBackground(
        tr("Reading %1...").arg(folder),
        [this, loaded, error, path, count](const Progress& progress) {
            return LoadFaceDataset(path, count, *loaded, *error, std::nullopt,
                                   [&](int done, int total) {
                                       progress(done, total, "reading images");
                                       return !cancelled;
                                   });
        },
        [this, loaded, error, folder, count](bool done) {
            if (!done) {
                ShowError(
                    cancelled
                        ? tr("Enrolment cancelled; the gallery is as it was.")
                        : tr("Cannot enrol %1: %2").arg(folder, QString::fromStdString(*error)));
                return;
            }
            gallery = std::move(*loaded);
            galleryFolder = folder;
            perPerson = count;
            calibration.reset();
            TrainGallery(tr("Training on %1 images...").arg(gallery.gallery.size()),
                         [this](bool trained) {
                             if (trained) SaveSettings();
                         });
        });
}

void StudioWindow::TrainGallery(const QString& what, std::function<void(bool)> finish) {
    // SetSample here, so the parameters can go in through the dialog (whose
    // component list needs the gallery) before training starts.
    std::vector<int*> images;
    for (FaceImage& image : gallery.gallery) images.push_back(image.grey.data());
    library.SetSample(images.data(), static_cast<int>(images.size()), gallery.rows,
                      gallery.columns);
    enrolled = false;
    ApplyParameters(parameters);
    RunInBackground(
        what,
        [this](const Progress& progress) {
            progress(0, 0, "training");
            library.Train();
            return true;
        },
        [this, finish = std::move(finish)](bool done) {
            if (!done && cancelled) {
                // Training cannot be interrupted; a second Train in a row
                // empties the recognizer, which is what cancelling asks.
                library.Train();
                enrolled = false;
                gallery = FaceDataset{};
                ShowError(tr("Enrolment cancelled; nothing is enrolled."));
            } else {
                enrolled = done;
                outOfDate = false;
            }
            finish(done);
        });
}

void StudioWindow::Retrain() {
    if (Busy() || gallery.gallery.empty()) return;
    TrainGallery(tr("Retraining with the new parameters..."), [this](bool) {});
}

// Parameters -------------------------------------------------------------

void StudioWindow::EditParameters() {
    if (Busy()) return;
    library.ParaSet();
}

void StudioWindow::ApplyParameters(const PCAParameter& p) {
    applying = p;
    library.ParaSet();
    applying.reset();
}

bool StudioWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && IsParameterDialog(watched)) {
        auto* dialog = static_cast<QWidget*>(watched);
        if (applying) {
            // Filled and accepted where nobody sees it, once the dialog has
            // set itself up.
            dialog->setAttribute(Qt::WA_DontShowOnScreen);
            const PCAParameter p = *applying;
            QTimer::singleShot(0, dialog, [dialog, p] { AcceptWith(dialog, p); });
        } else {
            connect(static_cast<QDialog*>(dialog), &QDialog::finished, this,
                    [this, dialog](int result) {
                        if (result != QDialog::Accepted) return;
                        const PCAParameter before = parameters;
                        parameters = ParametersOf(dialog, before);
                        // Only training applies the kernel and the components.
                        outOfDate = outOfDate || parameters.isKernel != before.isKernel ||
                                    parameters.kernelType != before.kernelType ||
                                    parameters.gamma != before.gamma ||
                                    parameters.coef0 != before.coef0 ||
                                    parameters.degree != before.degree ||
                                    parameters.componentNum != before.componentNum;
                        if (parameters.threshold != before.threshold ||
                            parameters.distanceType != before.distanceType)
                            calibration.reset();
                        SaveSettings();
                        UpdateState();
                    });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// Calibration and evaluation ---------------------------------------------

void StudioWindow::AskCalibration() {
    if (Busy() || !enrolled) {
        ShowError(tr("Enrol a gallery first."));
        return;
    }
    bool ok = false;
    const double percent = QInputDialog::getDouble(
        this, tr("Calibrate for strangers"),
        tr("Share of strangers that may be given a name, in %:\n(the threshold comes from "
           "the gallery alone: each person is left out in turn and searched as a stranger)"),
        QSettings().value(settings::strangerShare, defaultStrangerShare).toDouble() * 100.0, 0.1,
        50.0, 1, &ok);
    if (ok) CalibrateForStrangers(percent / 100.0);
}

void StudioWindow::CalibrateForStrangers(double target) {
    if (Busy() || !enrolled) return;
    message->clear();
    auto result = std::make_shared<FpirCalibration>();
    auto enrolledFaces = std::make_shared<FaceDataset>(gallery);
    const PCAParameter setting = parameters;
    RunInBackground(
        tr("Calibrating for %1 of strangers named...").arg(Percent(target)),
        [result, enrolledFaces, setting, target](const Progress& progress) {
            *result = CalibrateFpir(*enrolledFaces, DesignedSettings(setting), target, progress);
            return true;
        },
        [this, result, target](bool done) {
            if (!done) return;
            if (!result->threshold) {
                ShowError(QString::fromStdString(result->note));
                return;
            }
            // Four significant digits: as good a threshold, and one a person
            // can read in the parameter dialog.
            PCAParameter calibrated = parameters;
            calibrated.threshold = QString::number(*result->threshold, 'g', 4).toDouble();
            ApplyParameters(calibrated);
            parameters = calibrated;
            calibration = *result;
            QSettings().setValue(settings::strangerShare, target);
            SaveSettings();
        });
}

void StudioWindow::EvaluateHeldOut() {
    if (Busy() || !enrolled) {
        ShowError(tr("Enrol a gallery first."));
        return;
    }
    if (gallery.probes.empty()) {
        ShowError(
            tr("Every image is enrolled: enrol the first K images per person to keep "
               "the others for evaluation."));
        return;
    }
    message->clear();
    auto enrolledFaces = std::make_shared<FaceDataset>(gallery);
    auto verification = std::make_shared<SortedComparisons>(Comparisons{});
    auto identification = std::make_shared<OpenSetSearches>(std::vector<Search>{});
    auto rank1 = std::make_shared<double>(0.0);
    const PCAParameter setting = parameters;
    RunInBackground(
        tr("Evaluating on %1 images not enrolled...").arg(gallery.probes.size()),
        [enrolledFaces, verification, identification, rank1, setting](const Progress& progress) {
            const Evaluation evaluation = Evaluate(*enrolledFaces, DesignedSettings(setting));
            *rank1 = evaluation.rank1;
            *verification = SortedComparisons(ProbeComparisons(*enrolledFaces, evaluation));
            std::vector<Search> searches = SearchesOf(*enrolledFaces, evaluation);
            const std::vector<Search> strangers =
                LeftOutProbeSearches(*enrolledFaces, DesignedSettings(setting), progress);
            searches.insert(searches.end(), strangers.begin(), strangers.end());
            *identification = OpenSetSearches(searches);
            return true;
        },
        [this, verification, identification, rank1, setting](bool done) {
            if (!done) return;
            while (evaluationLayout->count() > 1) {
                QLayoutItem* item = evaluationLayout->takeAt(1);
                delete item->widget();
                delete item;
            }
            const ErrorRates at = verification->At(setting.threshold);
            const IdentificationRates named = identification->At(setting.threshold);
            auto* summary = new QLabel(
                tr("%1, threshold %2.\n\nRank-1 %3 on the %4 images not enrolled.\n\n"
                   "Verification, per comparison: FMR %5, FNMR %6.\n\n"
                   "Identification: FPIR %7 (each person's images searched as a stranger's "
                   "among the others), FNIR %8.")
                    .arg(DescribeModel(setting))
                    .arg(setting.threshold, 0, 'g', 4)
                    .arg(*rank1, 0, 'f', 3)
                    .arg(identification->Mated())
                    .arg(RateText(at.fmr, 4), RateText(at.fnmr, 4), RateText(named.fpir, 3),
                         RateText(named.fnir, 3)));
            summary->setWordWrap(true);
            summary->setObjectName("evaluationSummary");
            summary->setAlignment(Qt::AlignTop | Qt::AlignLeft);
            // Two across, so that each chart's legend has room.
            auto* charts = new QWidget;
            auto* grid = new QGridLayout(charts);
            int place = 0;
            for (QChart* chart : {DistanceHistogramChart(*verification, setting.threshold),
                                  DetChart(*verification, setting.threshold),
                                  IdentificationChart(*identification, setting.threshold)}) {
                chart->legend()->setAlignment(Qt::AlignBottom);
                auto* view = new QChartView(chart);
                view->setRenderHint(QPainter::Antialiasing);
                view->setMinimumSize(320, 240);
                grid->addWidget(view, place / 2, place % 2);
                ++place;
            }
            grid->addWidget(summary, 1, 1);
            evaluationLayout->addWidget(charts, 1);
            tabs->setCurrentWidget(evaluationPage);
        });
}

// Recognition ------------------------------------------------------------

void StudioWindow::OpenProbe() {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Recognize an image"), galleryFolder,
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
    if (Busy()) return;
    if (!enrolled) {
        ShowError(tr("Enrol a gallery first: File > Open gallery."));
        return;
    }
    const QImage probe = picture.convertToFormat(QImage::Format_Grayscale8);
    if (probe.width() != gallery.columns || probe.height() != gallery.rows) {
        ShowError(tr("%1 is %2 x %3 pixels; the gallery's images are %4 x %5. Crop or scale it "
                     "to that size.")
                      .arg(name)
                      .arg(probe.width())
                      .arg(probe.height())
                      .arg(gallery.columns)
                      .arg(gallery.rows));
        return;
    }
    message->clear();
    std::vector<int> pixels(static_cast<size_t>(gallery.rows) * gallery.columns);
    std::vector<int*> rowPointers;
    for (int r = 0; r < gallery.rows; ++r) {
        const uchar* line = probe.constScanLine(r);
        for (int c = 0; c < gallery.columns; ++c)
            pixels[static_cast<size_t>(r * gallery.columns + c)] = line[c];
        rowPointers.push_back(pixels.data() + static_cast<ptrdiff_t>(r) * gallery.columns);
    }
    std::vector<foundFace> matches;
    library.Recognize(rowPointers.data(), gallery.rows, gallery.columns, matches);
    ShowMatches(probe, name, matches);
}

void StudioWindow::ShowMatches(const QImage& probe, const QString& name,
                               const std::vector<foundFace>& matches) {
    tabs->setCurrentIndex(0);
    while (nearestStrip->count() > 1) {
        QLayoutItem* item = nearestStrip->takeAt(0);
        delete item->widget();
        delete item;
    }
    probeView->setPixmap(Scaled(probe, probeScale));
    probeName->setText(name);
    if (matches.empty()) {
        auto* none = new QLabel(
            tr("No gallery image is nearer than the threshold %1: this face gets no name.")
                .arg(parameters.threshold, 0, 'g', 4));
        none->setWordWrap(true);
        nearestStrip->insertWidget(0, none, 1);
        identity->setText(tr("unknown"));
        identity->setStyleSheet(QStringLiteral("color: #707070"));
        identity->setToolTip(
            tr("No gallery image is nearer than the threshold %1").arg(parameters.threshold));
    } else {
        identity->setText(
            Shown(gallery.gallery[static_cast<size_t>(matches.front().index)].person));
        identity->setStyleSheet(QStringLiteral("color: #107030"));
        identity->setToolTip(tr("the nearest gallery image, at %1").arg(matches.front().distance));
    }
    for (size_t k = 0; k < matches.size() && k < thumbnailsShown; ++k) {
        const FaceImage& image = gallery.gallery[static_cast<size_t>(matches[k].index)];
        auto* tile = new QLabel;
        tile->setPixmap(QPixmap::fromImage(GalleryImage(matches[k].index)));
        auto* box = new QWidget;
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->addWidget(tile, 0, Qt::AlignCenter);
        auto* caption = new QLabel(QStringLiteral("%1%2\n%3")
                                       .arg(k == 0 ? QStringLiteral("★ ") : QString())
                                       .arg(Shown(image.person))
                                       .arg(matches[k].distance, 0, 'g', 4));
        caption->setAlignment(Qt::AlignCenter);
        boxLayout->addWidget(caption);
        nearestStrip->insertWidget(static_cast<int>(k), box);
    }
    matchTable->setRowCount(static_cast<int>(matches.size()));
    for (size_t k = 0; k < matches.size(); ++k) {
        const FaceImage& image = gallery.gallery[static_cast<size_t>(matches[k].index)];
        const QStringList cells{QString::number(k + 1), Shown(image.person), Shown(image.file),
                                QString::number(matches[k].distance, 'g', 6)};
        for (int c = 0; c < cells.size(); ++c)
            matchTable->setItem(static_cast<int>(k), c, new QTableWidgetItem(cells[c]));
    }
    matchTable->resizeColumnsToContents();
}

QImage StudioWindow::GalleryImage(int index) const {
    return ImageOf(gallery.gallery[static_cast<size_t>(index)].grey, gallery.rows, gallery.columns);
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

void StudioWindow::ShowError(const QString& text) {
    message->setText(text);
}

void StudioWindow::UpdateState() {
    if (!enrolled || gallery.gallery.empty()) {
        modelLine->setText(tr("Recognizer: %1, threshold %2.")
                               .arg(DescribeModel(parameters))
                               .arg(parameters.threshold, 0, 'g', 4));
        retrainButton->hide();
        return;
    }
    galleryLine->setText(
        tr("Gallery %1: %2 images of %3 people (%4), %5 not enrolled.")
            .arg(galleryFolder)
            .arg(gallery.gallery.size())
            .arg(gallery.enrolled.size())
            .arg(perPerson > 0 ? tr("the first %1 of each").arg(perPerson) : tr("all of them"))
            .arg(gallery.probes.size()));
    QString model = tr("Model: %1. A name needs a distance under %2")
                        .arg(DescribeModel(parameters))
                        .arg(parameters.threshold, 0, 'g', 4);
    if (calibration)
        model += tr(", calibrated for %1 of strangers named (expected FNIR %2)")
                     .arg(Percent(calibration->target))
                     .arg(calibration->expected.fnir ? Percent(*calibration->expected.fnir)
                                                     : tr("unknown"));
    model += QStringLiteral(".");
    if (outOfDate)
        model += tr(" The model is out of date: the old one recognizes until you retrain.");
    modelLine->setText(model);
    retrainButton->setVisible(outOfDate);
}

void StudioWindow::SaveSettings() const {
    QSettings settings;
    settings.setValue(settings::galleryFolder, galleryFolder);
    settings.setValue(settings::perPerson, perPerson);
    SaveParameters(settings, parameters);
}

void StudioWindow::closeEvent(QCloseEvent* event) {
    if (worker != nullptr) {
        cancelled = true;
        progressText->setText(tr("Finishing the step under way before closing..."));
        worker->wait();
    }
    QMainWindow::closeEvent(event);
}
