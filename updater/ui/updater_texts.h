// Texts and resources of the updater's windows. The texts are the source
// texts of the scope "Tarvex"; a window shows each through Shown().
#pragma once

#include <QCoreApplication>
#include <QString>

inline constexpr const char* updateDialogTitle =
    QT_TRANSLATE_NOOP("Tarvex", "自动人脸检测识别系统在线升级");
inline constexpr const char* checkButtonText = QT_TRANSLATE_NOOP("Tarvex", "检查最新版本");
inline constexpr const char* closeWhenDoneText =
    QT_TRANSLATE_NOOP("Tarvex", "下载完成后关闭对话框");
// The template's texts of the status and size lines, replaced by the empty
// members when the dialog starts.
inline constexpr const char* statusTemplateText = QT_TRANSLATE_NOOP("Tarvex", "下载文件");
inline constexpr const char* sizeTemplateText = QT_TRANSLATE_NOOP("Tarvex", "文件大小");
inline constexpr const char* aboutDialogTitle =
    QT_TRANSLATE_NOOP("Tarvex", "人脸检测识别系统自动升级");
inline constexpr const char* aboutText =
    QT_TRANSLATE_NOOP("Tarvex", "自动人脸检测识别系统自动升级系统 V1.0");
inline constexpr const char* aboutMenuText = QT_TRANSLATE_NOOP("Tarvex", "&About Tarvex...");
inline constexpr const char* programIconPath = ":/tarvex/tarvex.png";
inline constexpr const char* smallProgramIconPath = ":/tarvex/tarvex-16.png";

// One of the updater's texts in the desktop's language.
inline QString Shown(const char* text) {
    return QCoreApplication::translate("Tarvex", text);
}
