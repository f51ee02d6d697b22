// A progress bar that redraws one line of the terminal.
#include "terminal_progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int barWidth = 30;

}  // namespace

Progress TerminalProgress() {
    if (::isatty(STDERR_FILENO) == 0) return {};
    const auto start = std::chrono::steady_clock::now();
    return [start](int done, int total, const std::string& what) {
        const int filled = total > 0 ? done * barWidth / total : barWidth;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string eta;
        if (done > 0 && done < total)
            eta = ", about " +
                  std::to_string(static_cast<int>(elapsed / done * (total - done) + 0.5)) +
                  " s left";
        std::fprintf(stderr, "\r\033[K[%s%s] %3d%% %s%s",
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(barWidth - filled), '.').c_str(),
                     total > 0 ? done * 100 / total : 100, what.c_str(), eta.c_str());
        // At 100 % the line goes, so the report starts on a clean one.
        if (done == total) std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    };
}
