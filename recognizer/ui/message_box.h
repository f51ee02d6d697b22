// The recognizer's one user message: a modal box with an OK button inside a
// running QApplication, in the desktop's language; standard error otherwise
// (a host without a GUI), as written.
#pragma once

#include "kpca/recognizer_message.h"

void ShowRecognizerMessage(const RecognizerMessage& message);
