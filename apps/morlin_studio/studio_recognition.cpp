// morlin-studio's window, recognizing: every face of a photo opened, pasted
// or dropped, named by the model, and a folder dropped enrolled.
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QTabWidget>

#include "face_dataset.h"
#include "identification.h"
#include "photo_file.h"
#include "recognize_page.h"
#include "studio_model.h"
#include "studio_window.h"

namespace {

constexpr int candidatesShown = 10;

QImage GreyImage(const std::vector<uint8_t>& levels, int rows, int columns) {
    QImage image(columns, rows, QImage::Format_Grayscale8);
    for (int r = 0; r < rows; ++r)
        std::copy_n(levels.data() + static_cast<size_t>(r) * static_cast<size_t>(columns), columns,
                    image.scanLine(r));
    return image;
}

}  // namespace

// Recognition ---------------------------------------------------------------

void StudioWindow::OpenProbe() {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Recognize the faces of a photo"), settings.GalleryFolder(),
        tr("Images (*.jpg *.jpeg *.png *.webp *.bmp *.gif *.pgm *.ppm *.tif *.tiff);;All files "
           "(*)"));
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
    QImage photo;
    std::string error;
    if (!ReadPhoto(QFile::encodeName(file).toStdString(), photo, error)) {
        ShowError(QString::fromStdString(error));
        return;
    }
    const QFileInfo info(file);
    RecognizeImage(photo, info.dir().dirName() + "/" + info.fileName());
}

void StudioWindow::RecognizeImage(const QImage& image, const QString& name) {
    const std::shared_ptr<morlin::Identifier>& held = model->Identifier();
    if (!held) {
        ShowError(tr("Train a model first: File > Train on a folder of people, or open one."));
        return;
    }
    const morlin::ModelInfo info = held->Info();
    const QImage photo = image.convertToFormat(QImage::Format_RGB888);
    if (info.faces == morlin::FaceSource::Crops &&
        (photo.width() != info.columns || photo.height() != info.rows)) {
        ShowError(tr("%1 is %2 x %3 pixels; the model's images are %4 x %5. Crop or scale it "
                     "to that size, or train a model on photos.")
                      .arg(name)
                      .arg(photo.width())
                      .arg(photo.height())
                      .arg(info.columns)
                      .arg(info.rows));
        return;
    }
    const morlin::Picture picture = PictureOf(photo);
    std::vector<morlin::FaceIdentification> answers;
    try {
        answers = held->IdentifyFaces(picture, candidatesShown);
    } catch (const morlin::Error& e) {
        ShowError(QString::fromStdString(DisplayName(e.what())));
        return;
    }
    // Each face as the model compared it.
    std::vector<QImage> crops;
    for (const morlin::FaceIdentification& answer : answers)
        crops.push_back(
            info.faces == morlin::FaceSource::Found
                ? GreyImage(morlin::AlignFace(picture, answer.face, info.rows, info.columns),
                            info.rows, info.columns)
                : photo.convertToFormat(QImage::Format_Grayscale8));
    message->clear();
    tabs->setCurrentWidget(recognizePage);
    recognizePage->Show(photo, name, answers, crops, info.settings.designed.threshold,
                        [this](int enrolled) { return model->Picture(enrolled); });
}

// Dropping a file -------------------------------------------------------------

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
            Enrol(path, settings.PerPerson());
        else
            RecognizeFile(path);
    }
    event->acceptProposedAction();
}
