// The size message inside a running QApplication: a modal box with OK.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "gallery.h"
#include "kpca/recognizer_message.h"
#include "morlin/morlin.h"
#include "ui/message_box.h"

namespace {

TEST(RecognitionMessageTest, WrongSizeShowsAModalBoxWithOk) {
    int argc = 1;
    char name[] = "recognition_message_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // What the plug-in layer installs when the library loads.
    SetRecognizerMessageSink(ShowRecognizerMessage);

    Gallery gallery = RandomGallery(3, 4, 4, 1);
    CNolt_PCARecognition recognizer;
    recognizer.SetSample(gallery.Pointers(), 3, 4, 4);
    recognizer.Train();

    QString shown;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        buttons = box->standardButtons();
        box->accept();
    });
    std::vector<foundFace> faces;
    recognizer.Recognition(gallery.RowPointers(0), 2, 4, faces);
    EXPECT_EQ(shown, QString::fromUtf8("图像大小不对，无法识别"));
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(faces.empty());
}

}  // namespace
