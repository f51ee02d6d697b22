// What the update dialog tells the user about a run's result code.
#pragma once

#include <string>

#include "text_mark.h"

// The result texts are shown translated in the scope "Tarvex".
// The caption of the result message box.
inline constexpr const char* resultCaption = QT_TRANSLATE_NOOP("Tarvex", "在线升级");

// "升级完成" for 0, "您的版本是最新的，不必要升级." for 6,
// "升级没有完成，请关闭主程序重试." for 7, otherwise "下载文件失败，请检查网络".
std::string ResultMessage(int result);
