// What the update run needs from whoever shows it: the status and size lines,
// the progress bar, a refresh of the display and the one Yes/No question. The
// desktop dialog, the console front end and the tests implement it.
#pragma once

#include <cstdint>
#include <string>

class UpdateOwner {
public:
    virtual ~UpdateOwner() = default;

    // The status line ("正在下载文件:" and the file name during an install).
    virtual void SetStatusText(const std::string& text) = 0;
    // The size line ("文件已经下载 X/YK").
    virtual void SetSizeText(const std::string& text) = 0;
    // Progress range and position, in KiB received.
    virtual void SetProgressRange(uint64_t lower, uint64_t upper) = 0;
    virtual void SetProgressPos(uint64_t position) = 0;
    // Shows the status and size lines as they stand now.
    virtual void Refresh() = 0;
    // Asks the question once; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // One of the run's texts (engine_texts.h) in the owner's language; the
    // text as it stands by default.
    virtual std::string Translate(const char* text) { return text; }
};
