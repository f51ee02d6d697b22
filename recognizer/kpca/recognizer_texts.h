// What the recognizer tells its user, in its source language. A window shows
// each translated in the scope "Recognizer"; "%1" stands for the message's
// argument.
#pragma once

#include "text_mark.h"

namespace recognizer_text {

inline constexpr const char* wrongImageSize =
    QT_TRANSLATE_NOOP("Recognizer", "图像大小不对，无法识别");
inline constexpr const char* unknownMeasure =
    QT_TRANSLATE_NOOP("Recognizer", "未知的距离测度 %1，无法识别");
inline constexpr const char* outOfMemory = QT_TRANSLATE_NOOP("Recognizer", "内存不足，操作未执行");
// %1: the megabytes of the matrix that could not be made.
inline constexpr const char* outOfMemoryFor =
    QT_TRANSLATE_NOOP("Recognizer", "内存不足：需要 %1 MB 的矩阵，操作未执行");
inline constexpr const char* nonFiniteKernel =
    QT_TRANSLATE_NOOP("Recognizer", "核矩阵含有无穷大或非数值，请检查核参数；未训练");
inline constexpr const char* uninformative = QT_TRANSLATE_NOOP(
    "Recognizer", "样本之间没有可区分的信息（样本过少、相同或核参数极端）；未训练");
inline constexpr const char* dialogNeedsApplication =
    QT_TRANSLATE_NOOP("Recognizer", "识别算法参数设置需要宿主程序的 QApplication；参数未改变。");
inline constexpr const char* dialogOnOtherThread = QT_TRANSLATE_NOOP(
    "Recognizer", "识别算法参数设置只能在运行 QApplication 的线程上打开；参数未改变。");

}  // namespace recognizer_text
