// The recognizer's message channel: the installed sink, else standard error.
#include "kpca/recognizer_message.h"

#include <cstdio>

namespace {

void ToStandardError(const RecognizerMessage& message) {
    std::fprintf(stderr, "%s\n", message.Plain().c_str());
    std::fflush(stderr);
}

// The process's one sink; set at library load, before any recognizer runs.
RecognizerMessageSink currentSink = ToStandardError;

}  // namespace

void SetRecognizerMessageSink(RecognizerMessageSink sink) {
    currentSink = sink != nullptr ? sink : ToStandardError;
}

std::string RecognizerMessage::Plain() const {
    std::string plain = text;
    const size_t at = plain.find("%1");
    if (at != std::string::npos) plain.replace(at, 2, argument);
    return plain;
}

void ReportRecognizerMessage(const char* text, std::string argument) {
    currentSink(RecognizerMessage{text, std::move(argument)});
}
