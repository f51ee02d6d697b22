// The message for an operation refused for lack of memory.
#include "kpca/refusal.h"

#include <cstdio>

#include "kpca/recognizer_texts.h"

void ReportOutOfMemory(size_t bytes) {
    if (bytes == 0) {
        ReportRecognizerMessage(recognizer_text::outOfMemory);
        return;
    }
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.1f",
                  static_cast<double>(bytes) / (1024.0 * 1024.0));
    ReportRecognizerMessage(recognizer_text::outOfMemoryFor, megabytes);
}
