// What a run tells about itself: a failure's reason, kept for the owner and
// written to standard error, and notes about what it leaves out.
#pragma once

#include <string>

class RunLog {
public:
    // A failure's reason on standard error, kept as Reason().
    void Complain(const std::string& text);
    // A note on standard error about something the run leaves out.
    static void Warn(const std::string& text);
    // Why the run failed; empty when it has not.
    const std::string& Reason() const { return reason; }
    void Clear() { reason.clear(); }

private:
    std::string reason;
};
