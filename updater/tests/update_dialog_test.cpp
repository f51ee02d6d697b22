
// The update dialog clicked against a real local server and a real catalogue,
// with every message box answered by the test.
#include "ui/update_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "catalog/catalog_file.h"
#include "modal_driver.h"
#include "temp_folder.h"
#include "ui/text_progress_ctrl.h"
#include "update_server.h"
#include "ui/update_dialog_ids.h"

namespace {

const std::string manifest =
    "[Main]\r\nfilecount=1\r\n[File1]\r\nfilename=libface.so\r\nversion=2.0\r\n"
    "moduletype=2\r\nauthor=Dorsk\r\nmodulename=face\r\n";

class UpdateDialogTest : public ::testing::Test {
protected:
    UpdateDialogTest() {
        std::filesystem::create_directories(program());
        server.Put("autoupdate.txt", manifest);
        server.Put("libface.so", std::string(10000, 'f'));
    }

    std::filesystem::path program() const { return folder.Path() / "program"; }

    void Click(UpdateDialog& dialog) {
        dialog.findChild<QPushButton*>(update_dialog_id::checkLatest)->click();
    }

    TempFolder folder;
    UpdateServer server;
};

TEST_F(UpdateDialogTest, TickedBoxInstallsAndCloses) {
    CreateCatalog(program());
    UpdateDialog dialog(server.BaseUrl(), program());
    dialog.show();
    EXPECT_TRUE(dialog.findChild<QCheckBox*>(update_dialog_id::closeWhenDone)->isChecked());
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    Click(dialog);
    EXPECT_EQ(TempFolder::Read(program() / "libface.so"), std::string(10000, 'f'));
    EXPECT_EQ(answerer.Captions(), QStringList{"人脸检测识别系统在线升级"});
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // The last values of the file were shown.
    auto* bar = dialog.findChild<TextProgressCtrl*>(update_dialog_id::progress);
    EXPECT_EQ(bar->Pos(), 9);
    EXPECT_EQ(bar->Upper(), 9);
    EXPECT_EQ(dialog.findChild<QLabel*>(update_dialog_id::size)->text(), "文件已经下载 9.77/9.77K");
    EXPECT_EQ(dialog.findChild<QLabel*>(update_dialog_id::status)->text(),
              "正在下载文件:libface.so");
}

TEST_F(UpdateDialogTest, ClearedBoxShowsTheResultAndStaysForAnotherRun) {
    CreateCatalog(program());
    UpdateDialog dialog(server.BaseUrl(), program());
    dialog.show();
    dialog.findChild<QCheckBox*>(update_dialog_id::closeWhenDone)->setChecked(false);
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    Click(dialog);
    Click(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(answerer.Texts(), (QStringList{"人脸检测识别系统升级程序检测到新版本，是否升级?",
                                             "升级完成", "您的版本是最新的，不必要升级."}));
    EXPECT_EQ(answerer.Captions().last(), "在线升级");
}

TEST_F(UpdateDialogTest, FailedRunShowsTheReasonBelowTheDesignedText) {
    CreateCatalog(program());
    UpdateDialog dialog(server.BaseUrl() + "moved/", program());
    dialog.show();
    dialog.findChild<QCheckBox*>(update_dialog_id::closeWhenDone)->setChecked(false);
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    Click(dialog);
    ASSERT_EQ(answerer.Texts(), QStringList{"下载文件失败，请检查网络"});
    EXPECT_TRUE(answerer.InformativeTexts()[0].endsWith(
        "moved/autoupdate.txt: HTTP status 404 (not found; check the base URL and that the file "
        "is on the site)"))
        << answerer.InformativeTexts()[0].toStdString();
}

TEST_F(UpdateDialogTest, CatalogueErrorIsReportedAndTheDialogStays) {
    UpdateDialog dialog(server.BaseUrl(), program());  // no catalogue made
    dialog.show();
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    Click(dialog);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(answerer.Texts().size(), 1);
    EXPECT_TRUE(answerer.Texts()[0].contains("module.dat")) << answerer.Texts()[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(program() / "libface.so"));
}

TEST_F(UpdateDialogTest, AboutBoxFromContextMenuAndF1) {
    UpdateDialog dialog(server.BaseUrl(), program());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QStringList seen;
    auto closeAbout = [&seen] {
        return WhenModal([&seen](QWidget* about) {
            seen << about->windowTitle();
            about->findChild<QPushButton*>(about_dialog_id::ok)->click();
        });
    };

    auto opened = closeAbout();
    QTest::keyClick(&dialog, Qt::Key_F1);
    QTRY_VERIFY_WITH_TIMEOUT(*opened, 5000);

    WhenModal([&](QWidget* window) {
        auto* menu = qobject_cast<QMenu*>(window);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), "&About Tarvex...");
        opened = closeAbout();
        menu->actions()[0]->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            dialog.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dialog, &event);
    QTRY_VERIFY_WITH_TIMEOUT(*opened, 5000);
    EXPECT_EQ(seen, (QStringList{"人脸检测识别系统自动升级", "人脸检测识别系统自动升级"}));
}

}  // namespace
