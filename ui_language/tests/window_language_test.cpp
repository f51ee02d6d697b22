// Every window of both deliverables in the language of the locale it starts
// under, as a person meets it: a fresh process with LANG set, the program's
// own set-up, the window built or opened the way its program opens it, and
// the texts it shows read back. English shows English; C.UTF-8 shows each
// program's source texts; Chinese shows Chinese.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/engine_texts.h"
#include "engine/update_result.h"
#include "modal_driver.h"
#include "morlin/morlin.h"
#include "run_command.h"
#include "studio_application.h"
#include "studio_window.h"
#include "temp_folder.h"
#include "ui/about_dialog.h"
#include "ui/result_message.h"
#include "ui/tarvex_application.h"
#include "ui/update_dialog.h"
#include "ui/updater_texts.h"

namespace {

// Every text window shows: its title and its labels, buttons, boxes, menus
// and tabs, one per line.
void PrintTexts(QWidget* window) {
    std::printf("%s\n", qPrintable(window->windowTitle()));
    for (const QLabel* label : window->findChildren<QLabel*>())
        std::printf("%s\n", qPrintable(label->text()));
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        std::printf("%s\n", qPrintable(button->text()));
    for (const QGroupBox* box : window->findChildren<QGroupBox*>())
        std::printf("%s\n", qPrintable(box->title()));
    for (const QMenuBar* bar : window->findChildren<QMenuBar*>())
        for (const QAction* menu : bar->actions()) std::printf("%s\n", qPrintable(menu->text()));
    for (const QTabWidget* tabs : window->findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i) std::printf("%s\n", qPrintable(tabs->tabText(i)));
}

// The update dialog, with the question and the result texts it would show.
void ShowTarvex() {
    PrepareTarvexApplication();
    TempFolder folder;
    UpdateDialog dialog("http://127.0.0.1:9/update/", folder.Path());
    PrintTexts(&dialog);
    std::printf("%s\n", dialog.Translate(engine_text::question).c_str());
    std::printf("%s\n", dialog.Translate(engine_text::downloading).c_str());
    for (int result : {UpdateSucceeded, UpdateUpToDate, UpdateNotCompleted, UpdateRequestFailed})
        std::printf("%s\n", qPrintable(Shown(ResultMessage(result).c_str())));
}

void ShowTarvexAbout() {
    PrepareTarvexApplication();
    AboutDialog about;
    PrintTexts(&about);
}

// The recognizer module in a host that brings no translation of its own:
// its parameter dialog, and its message for a probe of the wrong size.
void ShowRecognizer() {
    auto opened = WhenModal([](QWidget* dialog) {
        PrintTexts(dialog);
        dialog->close();
    });
    MessageBoxAnswerer answerer;
    Recognizer_ParaSet();
    std::vector<std::vector<int>> images(3, std::vector<int>(12));
    std::vector<int*> pointers;
    for (size_t j = 0; j < images.size(); ++j) {
        for (size_t k = 0; k < images[j].size(); ++k)
            images[j][k] = static_cast<int>((j * j * 53 + k * k * 29 + j * k * 17) % 256);
        pointers.push_back(images[j].data());
    }
    Recognizer_SetSample(pointers.data(), 3, 4, 3);
    Recognizer_Train();
    std::vector<int> row(5);
    int* rows[] = {row.data()};
    std::vector<foundFace> found;
    Recognizer_Recognize(rows, 1, 5, found);
    for (const QString& text : answerer.Texts()) std::printf("%s\n", qPrintable(text));
    if (!*opened) std::printf("(the parameter dialog did not open)\n");
}

void ShowStudio() {
    PrepareStudioApplication();
    StudioWindow window;
    PrintTexts(&window);
}

struct WindowCase {
    const char* window;
    const char* locale;
    std::vector<std::string> shown;  // each must be among the window's texts
};

std::ostream& operator<<(std::ostream& out, const WindowCase& c) {
    return out << c.window << " under " << c.locale;
}

class WindowLanguageTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowLanguageTest, ShowsTheLanguageOfTheLocale) {
    const WindowCase& c = GetParam();
    TempFolder home;
    // Only LANG speaks; the settings and models of the person running the
    // tests stay out of it.
    const std::string command =
        "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=" + std::string(c.locale) +
        " QT_QPA_PLATFORM=offscreen" + " XDG_CONFIG_HOME=" + home.Path().string() +
        " XDG_DATA_HOME=" + home.Path().string() + " " + WINDOW_LANGUAGE_TEST_PATH + " --window " +
        c.window + " 2>/dev/null";
    const CommandResult shown = RunCommand(command);
    ASSERT_EQ(shown.status, 0) << shown.out;
    for (const std::string& text : c.shown)
        EXPECT_NE(shown.out.find(text + "\n"), std::string::npos)
            << "\"" << text << "\" is not among:\n"
            << shown.out;
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowLanguageTest,
    ::testing::Values(
        WindowCase{"tarvex",
                   "en_US.UTF-8",
                   {"Face Detection and Recognition System Online Update", "Check for Updates",
                    "Close this window when the download is done",
                    "The updater of the face detection and recognition system has found a new "
                    "version. Update now?",
                    "Downloading: ", "The update is complete.",
                    "Your version is the latest; there is nothing to update.",
                    "A file could not be downloaded. Check the network."}},
        WindowCase{"tarvex",
                   "C.UTF-8",
                   {"自动人脸检测识别系统在线升级", "检查最新版本", "下载完成后关闭对话框",
                    "人脸检测识别系统升级程序检测到新版本，是否升级?", "正在下载文件:", "升级完成",
                    "您的版本是最新的，不必要升级.", "下载文件失败，请检查网络"}},
        WindowCase{"tarvex", "zh_CN.UTF-8", {"检查最新版本", "升级完成"}},
        WindowCase{"tarvex-about",
                   "en_US.UTF-8",
                   {"Face Recognition System Updater", "Face recognition system updater V1.0"}},
        WindowCase{"tarvex-about",
                   "C.UTF-8",
                   {"人脸检测识别系统自动升级", "自动人脸检测识别系统自动升级系统 V1.0"}},
        WindowCase{"recognizer",
                   "en_US.UTF-8",
                   {"Recognizer Parameters", "KPCA parameters", "Kernel", "PCs", "Distance",
                    "Threshold", "OK", "Cancel",
                    "The image is not the size of the gallery's images; it cannot be "
                    "recognized."}},
        WindowCase{"recognizer",
                   "C.UTF-8",
                   {"识别算法参数设置", "KPCA参数", "核类型", "主成分数", "距离测度", "距离阈值",
                    "确定", "取消", "图像大小不对，无法识别"}},
        WindowCase{"recognizer", "zh_CN.UTF-8", {"识别算法参数设置", "图像大小不对，无法识别"}},
        WindowCase{
            "studio",
            "zh_CN.UTF-8",
            {"morlin-studio", "文件(&F)", "识别器(&R)", "帮助(&H)", "识别", "评估", "重新训练"}},
        WindowCase{
            "studio",
            "C.UTF-8",
            {"morlin-studio", "&File", "&Recognizer", "&Help", "Recognize", "Evaluate", "Retrain"}},
        WindowCase{"studio", "en_US.UTF-8", {"&File", "Recognize"}}),
    [](const auto& row) {
        std::string name = std::string(row.param.window) + "_" + row.param.locale;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--window") {
        QApplication app(argc, argv);
        const std::string window = argv[2];
        if (window == "tarvex")
            ShowTarvex();
        else if (window == "tarvex-about")
            ShowTarvexAbout();
        else if (window == "recognizer")
            ShowRecognizer();
        else if (window == "studio")
            ShowStudio();
        else
            return 64;
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
