// An update owner that records everything the run shows and answers the
// question as told.
#pragma once

#include <string>
#include <vector>

#include "engine/update_owner.h"

class RecordingOwner : public UpdateOwner {
public:
    explicit RecordingOwner(bool yes = true) : answer(yes) {}

    void SetStatusText(const std::string& text) override { statusLines.push_back(text); }
    void SetSizeText(const std::string& text) override { sizeLines.push_back(text); }
    void SetProgressRange(uint64_t lower, uint64_t upper) override {
        rangeLow = lower;
        rangeHigh = upper;
    }
    void SetProgressPos(uint64_t position) override { positions.push_back(position); }
    void Refresh() override { ++refreshes; }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back(caption + "|" + text);
        return answer;
    }

    bool answer;
    std::vector<std::string> statusLines;
    std::vector<std::string> sizeLines;
    std::vector<uint64_t> positions;
    std::vector<std::string> questions;
    uint64_t rangeLow = 99;
    uint64_t rangeHigh = 99;
    int refreshes = 0;
};
