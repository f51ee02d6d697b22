// The recognizer's message channel: the installed sink, else standard error.
#include "kpca/recognizer_message.h"

#include <cstdio>

namespace {

void ToStandardError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// The process's one sink; set at library load, before any recognizer runs.
RecognizerMessageSink currentSink = ToStandardError;

}  // namespace

void SetRecognizerMessageSink(RecognizerMessageSink sink) {
    currentSink = sink != nullptr ? sink : ToStandardError;
}

void ReportRecognizerMessage(const std::string& text) {
    currentSink(text);
}
