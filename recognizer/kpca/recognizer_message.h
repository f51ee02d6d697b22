// The recognizer's one channel to its user: the size message of recognition and
// the reasons an operation was refused. The numeric core knows no UI; the
// plug-in layer installs the sink when the library loads (a message box in a
// running QApplication). Until then, and for hosts that link the core alone,
// messages go to standard error.
#pragma once

#include <string>

using RecognizerMessageSink = void (*)(const std::string& text);

// Installs sink for every later message; null restores standard error.
void SetRecognizerMessageSink(RecognizerMessageSink sink);
void ReportRecognizerMessage(const std::string& text);
