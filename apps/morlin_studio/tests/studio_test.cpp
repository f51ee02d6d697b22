// morlin-studio's real window, offscreen, on ten ORL people: a held-out
// image of an enrolled person gets the right name, a person not enrolled is
// unknown at a calibrated threshold, the parameter dialog's OK marks the
// model out of date and its Cancel changes nothing, an image of the wrong
// size is refused in the window, a person added later is named and a removed
// one is not, and the model is there again at the next start.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QSettings>
#include <QPushButton>
#include <QStandardPaths>
#include <QHeaderView>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "ui/parameter_dialog_ids.h"
#include "face_data.h"
#include "modal_driver.h"
#include "photo_scenes.h"
#include "photo_view.h"
#include "run_command.h"
#include "studio_window.h"
#include "temp_folder.h"

namespace {

// Every test starts as a first session: nothing kept, no model file. Made
// before the window, which reads what is kept. Each test process keeps its
// own settings, so that tests run side by side never read each other's.
struct FirstSession {
    FirstSession() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("MorlinStudioTest"));
        QCoreApplication::setApplicationName(
            QStringLiteral("morlin-studio-test-%1").arg(QCoreApplication::applicationPid()));
        Forget();
    }
    ~FirstSession() { Forget(); }
    FirstSession(const FirstSession&) = delete;
    FirstSession& operator=(const FirstSession&) = delete;

    static void Forget() {
        QSettings kept;
        kept.clear();
        kept.sync();
        QFile::remove(kept.fileName());
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }
};

class StudioTest : public ::testing::Test {
protected:
    StudioTest() {
        // Ten people enrolled; the rest of ORL are strangers to this gallery.
        for (int person = 1; person <= 10; ++person)
            QFile::link(OrlPerson(person), Folder() + QStringLiteral("/s%1").arg(person));
    }

    static QString OrlPerson(int person) {
        return QStringLiteral("%1/s%2").arg(QString::fromStdString(OrlFolder())).arg(person);
    }
    static QString Orl(int person, int image) {
        return OrlPerson(person) + QStringLiteral("/%1.pgm").arg(image);
    }
    QString Folder() const { return QString::fromStdString(folder.Path().string()); }

    // Runs what and waits for the background task it starts on shown.
    static bool Finished(StudioWindow& shown, const std::function<void()>& what) {
        QEventLoop loop;
        bool succeeded = false;
        QObject::connect(&shown, &StudioWindow::TaskFinished, &loop, [&](bool done) {
            succeeded = done;
            loop.quit();
        });
        what();
        if (shown.Busy()) loop.exec();
        return succeeded;
    }
    bool Finished(const std::function<void()>& what) { return Finished(window, what); }

    static QString Identity(const StudioWindow& shown) {
        return shown.findChild<QLabel*>("identity")->text();
    }
    QString Identity() const { return Identity(window); }
    QString Message() const { return window.findChild<QLabel*>("message")->text(); }

    FirstSession firstSession;
    TempFolder folder;
    StudioWindow window;
};

TEST_F(StudioTest, NamesTheEnrolledAndCallsAStrangerUnknownOnceCalibrated) {
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); })) << Message().toStdString();
    window.RecognizeFile(Orl(2, 8));
    EXPECT_EQ(Identity(), "s2");
    EXPECT_EQ(window.findChild<QTableWidget*>("candidates")->rowCount(), 10);

    ASSERT_TRUE(Finished([&] { window.CalibrateForStrangers(0.1); })) << Message().toStdString();
    EXPECT_TRUE(window.findChild<QLabel*>("modelLine")->text().contains("calibrated for 10 %"));
    window.RecognizeFile(Orl(25, 1));
    EXPECT_EQ(Identity(), "unknown");
    EXPECT_TRUE(window.findChild<QLabel*>("strangerRate")->text().contains("of strangers come"));
    // A second answer on the laid-out window: the columns still fill the table.
    QCoreApplication::processEvents();
    window.RecognizeFile(Orl(2, 8));
    EXPECT_EQ(Identity(), "s2");
    QCoreApplication::processEvents();
    const QHeaderView* header = window.findChild<QTableWidget*>("candidates")->horizontalHeader();
    EXPECT_EQ(header->length(), header->viewport()->width());
    EXPECT_GT(header->sectionSize(2), header->sectionSize(0) + header->sectionSize(1));
}

TEST_F(StudioTest, ParameterDialogOkMarksTheModelOutOfDateAndCancelChangesNothing) {
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); }));
    auto* retrain = window.findChild<QPushButton*>("retrain");
    const QString before = window.findChild<QLabel*>("modelLine")->text();

    // The rbf kernel, cancelled, then accepted.
    const auto chooseRbf = [](QWidget* dialog) {
        dialog->findChild<QCheckBox*>(parameter_dialog_id::kernelOn)->click();
        dialog->findChild<QComboBox*>(parameter_dialog_id::kernel)->setCurrentIndex(2);
    };
    WhenModal([&](QWidget* dialog) {
        chooseRbf(dialog);
        dialog->findChild<QPushButton*>(parameter_dialog_id::cancel)->click();
    });
    window.EditParameters();
    EXPECT_EQ(window.findChild<QLabel*>("modelLine")->text(), before);
    EXPECT_FALSE(retrain->isVisible());

    WhenModal([&](QWidget* dialog) {
        chooseRbf(dialog);
        dialog->findChild<QLineEdit*>(parameter_dialog_id::gamma)->setText("0.0001");
        dialog->findChild<QPushButton*>(parameter_dialog_id::ok)->click();
    });
    window.EditParameters();
    EXPECT_TRUE(retrain->isVisible());
    EXPECT_TRUE(
        window.findChild<QLabel*>("modelLine")->text().contains("uses lbp-discriminant, rbf"))
        << window.findChild<QLabel*>("modelLine")->text().toStdString();
    EXPECT_TRUE(window.findChild<QLabel*>("modelLine")->text().contains("out of date"));

    ASSERT_TRUE(Finished([&] { retrain->click(); }));
    EXPECT_FALSE(retrain->isVisible());
    window.RecognizeFile(Orl(2, 8));
    EXPECT_EQ(Identity(), "s2");
}

TEST_F(StudioTest, ImagesThatCannotBeRecognizedAreRefusedInTheWindow) {
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); }));
    QImage wrongSize(40, 30, QImage::Format_Grayscale8);
    wrongSize.fill(100);
    window.RecognizeImage(wrongSize, QStringLiteral("small.png"));
    EXPECT_TRUE(Message().contains("small.png is 40 x 30 pixels; the model's images are 92 x 112"))
        << Message().toStdString();
    window.RecognizeFile(Folder() + "/no-such-image.png");
    EXPECT_TRUE(Message().contains("cannot read image")) << Message().toStdString();
}

TEST_F(StudioTest, PeopleComeAndGoAndTheModelLastsAcrossSessions) {
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); }));
    TempFolder later;
    const QString newcomer = QString::fromStdString((later.Path() / "s11").string());
    ASSERT_TRUE(QFile::link(OrlPerson(11), newcomer));
    ASSERT_TRUE(Finished([&] { window.AddPerson(newcomer); })) << Message().toStdString();
    window.RecognizeFile(Orl(11, 9));
    EXPECT_EQ(Identity(), "s11");
    window.RemovePerson("s11");
    window.RecognizeFile(Orl(11, 9));
    EXPECT_NE(Identity(), "s11");
    EXPECT_TRUE(window.findChild<QLabel*>("peopleLine")->text().startsWith("10 people, 50 images"));

    // The next start finds the model where this one left it.
    {
        StudioWindow nextSession;
        nextSession.show();
        ASSERT_TRUE(Finished(nextSession, [&] { nextSession.ReopenLastModel(); }));
        nextSession.RecognizeFile(Orl(2, 8));
        EXPECT_EQ(Identity(nextSession), "s2");
        EXPECT_TRUE(nextSession.findChild<QLabel*>("peopleLine")
                        ->text()
                        .startsWith("10 people, 50 images"));
    }
    // Saved elsewhere and opened from there.
    const QString saved = QString::fromStdString((later.Path() / "kept.morlin").string());
    window.SaveModelAs(saved);
    ASSERT_TRUE(QFileInfo(saved).isFile()) << Message().toStdString();
    ASSERT_TRUE(Finished([&] { window.OpenModel(saved); }));
    window.RecognizeFile(Orl(3, 9));
    EXPECT_EQ(Identity(), "s3");
    ASSERT_FALSE(Finished([&] { window.OpenModel(Folder() + "/missing.morlin"); }));
    EXPECT_TRUE(Message().startsWith("Cannot open the model")) << Message().toStdString();
}

// A folder of photos, one face each, trains; every face of a group photo is
// boxed and named, a click chooses the face whose candidates show.
TEST_F(StudioTest, PhotoFolderTrainsAndEveryFaceOfAGroupPhotoIsNamed) {
    SceneComposer composer({}, 21);
    const auto write = [](const std::filesystem::path& file, const Scene& scene) {
        std::filesystem::create_directories(file.parent_path());
        cv::imwrite(file.string(), scene.bgr);
    };
    const std::filesystem::path photos = folder.Path() / "photos";
    for (int person = 1; person <= 6; ++person)
        for (int image = 1; image <= 4; ++image)
            write(photos / ("s" + std::to_string(person)) / (std::to_string(image) + ".jpg"),
                  composer.Compose({800, 600}, {{"", Orl(person, image).toStdString()}}, 5.0));
    const Scene group = composer.Compose(
        {1280, 960}, {{"s2", Orl(2, 9).toStdString()}, {"s5", Orl(5, 8).toStdString()}}, 5.0);
    write(folder.Path() / "group.jpg", group);

    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(QString::fromStdString(photos.string()), 0); }))
        << Message().toStdString();
    EXPECT_TRUE(window.findChild<QLabel*>("modelLine")
                    ->text()
                    .contains("faces found in photos of 92 x 112 pixels"))
        << window.findChild<QLabel*>("modelLine")->text().toStdString();
    window.RecognizeFile(QString::fromStdString((folder.Path() / "group.jpg").string()));
    auto* photo = window.findChild<PhotoView*>("photo");
    ASSERT_EQ(photo->Faces(), 2) << Message().toStdString();
    EXPECT_TRUE(window.findChild<QLabel*>("facesLine")->text().contains("2 faces"))
        << window.findChild<QLabel*>("facesLine")->text().toStdString();
    QStringList nearest;
    for (int face = 0; face < 2; ++face) {
        photo->Choose(face);
        nearest << window.findChild<QTableWidget*>("candidates")->item(0, 1)->text();
    }
    nearest.sort();
    EXPECT_EQ(nearest, QStringList({"s2", "s5"}));
}

// The model is shared: another program's enrolment shows in the window at
// its next look, and is named.
TEST_F(StudioTest, AnotherProgramsEnrolmentShowsAtTheNextCall) {
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); }));
    TempFolder later;
    ASSERT_TRUE(
        QFile::link(OrlPerson(11), QString::fromStdString((later.Path() / "s11").string())));
    const QString file = QSettings().value("model/file").toString();
    const CommandResult enrolled =
        RunCommand(std::string(MORLIN_PATH) + " enrol --model " + file.toStdString() + " " +
                   (later.Path() / "s11").string() + " 2>&1");
    ASSERT_EQ(enrolled.status, 0) << enrolled.out;
    window.UpdateState();
    EXPECT_TRUE(window.findChild<QLabel*>("peopleLine")->text().startsWith("11 people, 60 images"))
        << window.findChild<QLabel*>("peopleLine")->text().toStdString();
    window.RecognizeFile(Orl(11, 9));
    EXPECT_EQ(Identity(), "s11");
}

}  // namespace
