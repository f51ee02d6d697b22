// morlin-studio's real window, offscreen, on ten ORL people: a held-out
// image of an enrolled person gets the right name, a person not enrolled is
// unknown at a calibrated threshold, the parameter dialog's OK marks the
// model out of date and its Cancel changes nothing, and an image of the
// wrong size is refused in the window.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>

#include <gtest/gtest.h>

#include "modal_driver.h"
#include "studio_window.h"
#include "temp_folder.h"

namespace {

class StudioTest : public ::testing::Test {
protected:
    StudioTest() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("MorlinStudioTest"));
        // Ten people enrolled; the rest of ORL are strangers to this gallery.
        for (int person = 1; person <= 10; ++person)
            QFile::link(OrlPerson(person), Folder() + QStringLiteral("/s%1").arg(person));
    }

    static QString OrlPerson(int person) {
        return QStringLiteral("%1/data/faces/orl/s%2")
            .arg(QStringLiteral(MORLIN_SOURCE_DIR))
            .arg(person);
    }
    static QString Orl(int person, int image) {
        return OrlPerson(person) + QStringLiteral("/%1.pgm").arg(image);
    }
    QString Folder() const { return QString::fromStdString(folder.Path().string()); }

    // Runs what and waits for the background task it starts.
    bool Finished(const std::function<void()>& what) {
        QEventLoop loop;
        bool succeeded = false;
        QObject::connect(&window, &StudioWindow::TaskFinished, &loop, [&](bool done) {
            succeeded = done;
            loop.quit();
        });
        what();
        if (window.Busy()) loop.exec();
        return succeeded;
    }

    QString Identity() const { return window.findChild<QLabel*>("identity")->text(); }
    QString Message() const { return window.findChild<QLabel*>("message")->text(); }

    TempFolder folder;
    StudioWindow window;
};

TEST_F(StudioTest, NamesTheEnrolledAndCallsAStrangerUnknownOnceCalibrated) {
    ASSERT_FALSE(window.LibraryMissing()) << Message().toStdString();
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); })) << Message().toStdString();
    window.RecognizeFile(Orl(2, 8));
    EXPECT_EQ(Identity(), "s2");
    EXPECT_GT(window.findChild<QTableWidget*>("matches")->rowCount(), 0);

    ASSERT_TRUE(Finished([&] { window.CalibrateForStrangers(0.1); })) << Message().toStdString();
    EXPECT_TRUE(window.findChild<QLabel*>("modelLine")->text().contains("calibrated for 10 %"));
    window.RecognizeFile(Orl(25, 1));
    EXPECT_EQ(Identity(), "unknown");
    EXPECT_EQ(window.findChild<QTableWidget*>("matches")->rowCount(), 0);
    window.RecognizeFile(Orl(2, 8));
    EXPECT_EQ(Identity(), "s2");
}

TEST_F(StudioTest, ParameterDialogOkMarksTheModelOutOfDateAndCancelChangesNothing) {
    window.show();
    ASSERT_TRUE(Finished([&] { window.Enrol(Folder(), 5); }));
    auto* retrain = window.findChild<QPushButton*>("retrain");
    const QString before = window.findChild<QLabel*>("modelLine")->text();

    WhenModal([](QWidget* dialog) {
        dialog->findChild<QComboBox*>("1011")->setCurrentIndex(19);  // 20 components
        dialog->findChild<QPushButton*>("2")->click();
    });
    window.EditParameters();
    EXPECT_EQ(window.findChild<QLabel*>("modelLine")->text(), before);
    EXPECT_FALSE(retrain->isVisible());

    WhenModal([](QWidget* dialog) {
        dialog->findChild<QComboBox*>("1011")->setCurrentIndex(19);
        dialog->findChild<QPushButton*>("1")->click();
    });
    window.EditParameters();
    EXPECT_TRUE(retrain->isVisible());
    EXPECT_TRUE(window.findChild<QLabel*>("modelLine")->text().contains("components=20"));
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
    EXPECT_TRUE(
        Message().contains("small.png is 40 x 30 pixels; the gallery's images are 92 x 112"))
        << Message().toStdString();
    window.RecognizeFile(Folder() + "/no-such-image.png");
    EXPECT_TRUE(Message().contains("cannot read image")) << Message().toStdString();
}

}  // namespace
