// Pictures of morlin-studio: ORL enrolled but for five people, a recognized
// probe, one of the five shown as unknown at a calibrated threshold, the
// parameter dialog over the window, and the evaluation tab.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

#include <opencv2/imgcodecs.hpp>

#include "modal_driver.h"
#include "photo_scenes.h"
#include "screenshots.h"
#include "studio_window.h"
#include "ui/parameter_dialog_ids.h"

namespace {

// Waits for the window's background task to end.
bool WaitForTask(StudioWindow& window) {
    QEventLoop loop;
    bool succeeded = false;
    QObject::connect(&window, &StudioWindow::TaskFinished, &loop, [&](bool done) {
        succeeded = done;
        loop.quit();
    });
    if (window.Busy()) loop.exec();
    return succeeded;
}

// The window at the size it was given.
void SaveStudio(QWidget& window, const QString& file) {
    QApplication::processEvents();
    if (window.grab().save(file))
        std::printf("%s\n", qPrintable(file));
    else
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

}  // namespace

// A session of its own: the person's own settings and model stay untouched.
void SeparateSession() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("MorlinScreenshots"));
    QCoreApplication::setApplicationName(QStringLiteral("morlin-studio"));
    QSettings().clear();
}

void StudioModelScreenshot(const QString& folder, const QString& model, const QString& orl) {
    SeparateSession();
    StudioWindow window;
    window.resize(1100, 760);
    window.show();
    window.OpenModel(model);
    if (!WaitForTask(window)) {
        std::fprintf(stderr, "morlin-studio could not open %s: %s\n", qPrintable(model),
                     qPrintable(window.findChild<QLabel*>("message")->text()));
        return;
    }
    window.RecognizeFile(orl + "/s5/3.pgm");
    SaveStudio(window, folder + "/studio-model.png");
}

void StudioScreenshots(const QString& folder, const QString& orlFolder) {
    SeparateSession();
    const QString orl = QDir(orlFolder).absolutePath();
    // ORL but for its last five people, who stay strangers.
    const QString gallery = QDir::tempPath() + "/morlin-studio-shots";
    QDir(gallery).removeRecursively();
    QDir().mkpath(gallery);
    for (int person = 1; person <= 35; ++person)
        QFile::link(QStringLiteral("%1/s%2").arg(orl).arg(person),
                    QStringLiteral("%1/s%2").arg(gallery).arg(person));

    StudioWindow window;
    window.resize(1100, 760);
    window.show();
    window.Enrol(gallery, 5);
    if (!WaitForTask(window)) {
        std::fprintf(stderr, "morlin-studio could not enrol %s: %s\n", qPrintable(gallery),
                     qPrintable(window.findChild<QLabel*>("message")->text()));
        return;
    }
    window.RecognizeFile(orl + "/s12/8.pgm");
    SaveStudio(window, folder + "/studio-recognized.png");

    window.CalibrateForStrangers(0.05);
    WaitForTask(window);
    window.RecognizeFile(orl + "/s38/1.pgm");
    SaveStudio(window, folder + "/studio-stranger.png");

    // The parameter dialog drawn over the window, where a window manager
    // would centre it.
    WhenModal([&](QWidget* dialog) {
        QPixmap picture = window.grab();
        {
            QPainter painter(&picture);
            const QPixmap box = dialog->grab();
            painter.drawPixmap((picture.width() - box.width()) / 2,
                               (picture.height() - box.height()) / 2, box);
        }
        const QString file = folder + "/studio-parameters.png";
        if (picture.save(file)) std::printf("%s\n", qPrintable(file));
        dialog->findChild<QPushButton*>(parameter_dialog_id::cancel)->click();
    });
    window.EditParameters();

    window.EvaluateHeldOut();
    WaitForTask(window);
    SaveStudio(window, folder + "/studio-evaluation.png");
    QDir(gallery).removeRecursively();
    StudioPhotoScreenshot(folder, orl);
}

void StudioPhotoScreenshot(const QString& folder, const QString& orl) {
    SeparateSession();
    // Ten people, three photos each, and a group of four: three of them and
    // a stranger.
    const QString photos = QDir::tempPath() + "/morlin-studio-photos";
    QDir(photos).removeRecursively();
    SceneComposer composer({}, 8);
    const auto face = [&](int person, int image) {
        return SceneFaceSource{
            "", QStringLiteral("%1/s%2/%3.pgm").arg(orl).arg(person).arg(image).toStdString()};
    };
    for (int person = 1; person <= 10; ++person)
        for (int image = 1; image <= 3; ++image) {
            const QString file = QStringLiteral("%1/s%2/%3.jpg").arg(photos).arg(person).arg(image);
            QDir().mkpath(QFileInfo(file).absolutePath());
            cv::imwrite(file.toStdString(),
                        composer.Compose({800, 600}, {face(person, image)}, 5.0).bgr);
        }
    const QString group = photos + "/group.jpg";
    cv::imwrite(
        group.toStdString(),
        composer.Compose({1280, 800}, {face(3, 9), face(7, 8), face(9, 10), face(30, 2)}, 8.0).bgr);
    StudioWindow window;
    window.resize(1100, 760);
    window.show();
    window.Enrol(photos, 0);
    if (!WaitForTask(window)) {
        std::fprintf(stderr, "morlin-studio could not train on %s: %s\n", qPrintable(photos),
                     qPrintable(window.findChild<QLabel*>("message")->text()));
        return;
    }
    window.RecognizeFile(group);
    SaveStudio(window, folder + "/studio-photo.png");
    QDir(photos).removeRecursively();
}
