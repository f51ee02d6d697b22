// The terminal as the owner of an update run: status and size lines on
// standard error (a progress bar when it is a terminal), the question on the
// terminal unless the command line answered it.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>

#include "engine/update_owner.h"

class ConsoleOwner : public UpdateOwner {
public:
    // answer: the command line's answer; nothing means ask the terminal.
    ConsoleOwner(std::optional<bool> answer, std::FILE* messages);
    ~ConsoleOwner() override;

    void SetStatusText(const std::string& text) override;
    void SetSizeText(const std::string& text) override;
    void SetProgressRange(uint64_t lower, uint64_t upper) override;
    void SetProgressPos(uint64_t position) override;
    void Refresh() override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

private:
    // Redraws at most every this many milliseconds, except when at 100 %.
    static constexpr int redrawIntervalMs = 100;

    void Draw(bool force);
    void EndLine();
    void FlushSizeLine();

    std::optional<bool> answer;
    std::FILE* out;
    bool terminal;
    std::string status;
    std::string size;
    std::string shownStatus;
    std::string shownSize;
    uint64_t rangeLow = 0;
    uint64_t rangeHigh = 0;
    uint64_t position = 0;
    bool lineOpen = false;
    std::chrono::steady_clock::time_point lastDraw{};
};
