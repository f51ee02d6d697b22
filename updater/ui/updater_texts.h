// Texts and resources of the updater's windows.
#pragma once

inline constexpr const char* updateDialogTitle = "自动人脸检测识别系统在线升级";
inline constexpr const char* checkButtonText = "检查最新版本";
inline constexpr const char* closeWhenDoneText = "下载完成后关闭对话框";
inline constexpr const char* aboutDialogTitle = "人脸检测识别系统自动升级";
inline constexpr const char* aboutText = "自动人脸检测识别系统自动升级系统 V1.0";
inline constexpr const char* aboutMenuText = "&About Tarvex...";
inline constexpr const char* programIconPath = ":/tarvex/tarvex.png";
inline constexpr const char* smallProgramIconPath = ":/tarvex/tarvex-16.png";
