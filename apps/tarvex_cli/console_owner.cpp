// The terminal as the run's owner: lines or a bar on standard error, the question on the terminal.
#include "console_owner.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr int barWidth = 30;

}  // namespace

ConsoleOwner::ConsoleOwner(std::optional<bool> commandLineAnswer, std::FILE* messages)
    : answer(commandLineAnswer), out(messages), terminal(isatty(fileno(messages)) == 1) {}

ConsoleOwner::~ConsoleOwner() {
    EndLine();
    FlushSizeLine();
}

void ConsoleOwner::SetStatusText(const std::string& text) {
    status = text;
}
void ConsoleOwner::SetSizeText(const std::string& text) {
    size = text;
}

void ConsoleOwner::SetProgressRange(uint64_t lower, uint64_t upper) {
    FlushSizeLine();
    rangeLow = lower;
    rangeHigh = upper;
    position = lower;
}

void ConsoleOwner::SetProgressPos(uint64_t pos) {
    position = pos;
}

void ConsoleOwner::Refresh() {
    Draw(false);
}

void ConsoleOwner::EndLine() {
    if (lineOpen) std::fputc('\n', out);
    lineOpen = false;
}

// A log gets each transfer's size line once, as it stood at the end: when the
// next transfer starts, before the question, and at the end of the run.
void ConsoleOwner::FlushSizeLine() {
    if (terminal || size == shownSize) return;
    std::fprintf(out, "%s\n", size.c_str());
    shownSize = size;
}

void ConsoleOwner::Draw(bool force) {
    if (status != shownStatus) {
        EndLine();
        std::fprintf(out, "%s\n", status.c_str());
        shownStatus = status;
        force = true;
    }
    const bool complete = position >= rangeHigh;
    const auto now = std::chrono::steady_clock::now();
    if (!force && !complete && now - lastDraw < std::chrono::milliseconds(redrawIntervalMs)) return;
    lastDraw = now;
    if (!terminal) return;
    const uint64_t span = rangeHigh > rangeLow ? rangeHigh - rangeLow : 0;
    const uint64_t done =
        span == 0 ? barWidth : (std::min(position, rangeHigh) - rangeLow) * barWidth / span;
    std::string bar(static_cast<size_t>(done), '#');
    bar.resize(barWidth, '-');
    std::fprintf(out, "\r[%s] %s", bar.c_str(), size.c_str());
    std::fflush(out);
    lineOpen = true;
    if (complete) EndLine();
}

bool ConsoleOwner::AskYesNo(const std::string& text, const std::string& caption) {
    EndLine();
    FlushSizeLine();
    if (answer) {
        std::fprintf(out, "%s: %s %s\n", caption.c_str(), text.c_str(), *answer ? "yes" : "no");
        return *answer;
    }
    std::fstream tty("/dev/tty", std::ios::in | std::ios::out);
    if (!tty.is_open()) {
        std::fprintf(out, "%s: %s no (no terminal to ask)\n", caption.c_str(), text.c_str());
        return false;
    }
    tty << caption << ": " << text << " [y/N] " << std::flush;
    std::string reply;
    std::getline(tty, reply);
    return !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
}
