// The texts a run shows its owner, in the program's source language. An
// owner shows each in its own language (UpdateOwner::Translate); the marks
// let the translation tools find them.
#pragma once

#include "text_mark.h"

namespace engine_text {

// The one question before anything is installed, and its caption.
inline constexpr const char* question =
    QT_TRANSLATE_NOOP("UpdateEngine", "人脸检测识别系统升级程序检测到新版本，是否升级?");
inline constexpr const char* questionCaption =
    QT_TRANSLATE_NOOP("UpdateEngine", "人脸检测识别系统在线升级");
// The status line while a file is fetched; the file name follows.
inline constexpr const char* downloading = QT_TRANSLATE_NOOP("UpdateEngine", "正在下载文件:");
// The size line; " received/totalK" follows.
inline constexpr const char* sizeLine = QT_TRANSLATE_NOOP("UpdateEngine", "文件已经下载");

}  // namespace engine_text
