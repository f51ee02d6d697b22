// The recognizer's one user message: a modal box with an OK button inside a
// running QApplication, standard error otherwise (a host without a GUI).
#pragma once

#include <string>

void ShowRecognizerMessage(const std::string& text);
