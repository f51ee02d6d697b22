// The console owner on a real pseudo-terminal and on a plain file.
#include "console_owner.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// Everything the owner wrote to out, once out is closed.
std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

void Transfer(ConsoleOwner& owner) {
    owner.SetStatusText("正在下载文件:a.so");
    owner.SetProgressRange(0, 4);
    for (uint64_t kib = 1; kib <= 4; ++kib) {
        owner.SetProgressPos(kib);
        owner.SetSizeText("文件已经下载 " + std::to_string(kib) + ".00/4.00K");
        owner.Refresh();
    }
}

TEST(ConsoleOwnerTest, TerminalShowsABarThatEndsAtFullWidth) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* terminal = fdopen(slave, "w");
    {
        ConsoleOwner owner(true, terminal);
        Transfer(owner);
        EXPECT_TRUE(owner.AskYesNo("是否升级?", "在线升级"));
    }
    std::fclose(terminal);
    const std::string shown = Drain(master);
    close(master);
    EXPECT_NE(shown.find("正在下载文件:a.so"), std::string::npos) << shown;
    // The first refresh draws at once, later ones are throttled, the full bar
    // is always drawn.
    EXPECT_NE(shown.find("\r[#######-----------------------] 文件已经下载 1.00/4.00K"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\r[##############################] 文件已经下载 4.00/4.00K"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("在线升级: 是否升级? yes"), std::string::npos) << shown;
}

TEST(ConsoleOwnerTest, LogGetsOneFinalSizeLinePerTransfer) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    {
        ConsoleOwner owner(false, log);
        Transfer(owner);
        EXPECT_FALSE(owner.AskYesNo("是否升级?", "在线升级"));
    }
    std::rewind(log);
    const std::string written = Drain(fileno(log));
    std::fclose(log);
    EXPECT_EQ(written, "正在下载文件:a.so\n文件已经下载 4.00/4.00K\n在线升级: 是否升级? no\n");
}

}  // namespace
