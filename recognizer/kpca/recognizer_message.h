// The recognizer's one channel to its user: the size message of recognition and
// the reasons an operation was refused. The numeric core knows no UI; the
// plug-in layer installs the sink when the library loads (a message box in a
// running QApplication, in the desktop's language). Until then, and for hosts
// that link the core alone, messages go to standard error as written.
#pragma once

#include <string>

// One message: a text of recognizer_texts.h and the value of its "%1".
struct RecognizerMessage {
    const char* text;
    std::string argument;

    // The text with its argument in place.
    std::string Plain() const;
};

using RecognizerMessageSink = void (*)(const RecognizerMessage& message);

// Installs sink for every later message; null restores standard error.
void SetRecognizerMessageSink(RecognizerMessageSink sink);
void ReportRecognizerMessage(const char* text, std::string argument = {});
