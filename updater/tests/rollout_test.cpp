// Staged rollout: shares read strictly and grown by the day, desktops spread
// evenly and drawn afresh for each release, and whole runs in which only a
// scheduled run outside the share waits, a halt stops every run, and a
// malformed share fails closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "catalog/update_state.h"
#include "catalogue_fixture.h"
#include "manifest/ini_file.h"
#include "trust/manifest_stamp.h"
#include "trust/rollout.h"
#include "update_server.h"

namespace {

TEST(RolloutTest, SharesAreReadStrictly) {
    const struct {
        const char* text;
        std::optional<int> hundredths;
    } cases[] = {{"25", 2500}, {"0", 0},          {"100", 10000}, {"12.5", 1250},
                 {"0.01", 1},  {"100.00", 10000}, {"100.01", {}}, {"101", {}},
                 {"-5", {}},   {"5.", {}},        {".5", {}},     {"5.123", {}},
                 {"25 %", {}}, {"", {}},          {"1e2", {}},    {"0025", {}}};
    for (const auto& c : cases) EXPECT_EQ(ParsePercent(c.text), c.hundredths) << c.text;
    EXPECT_EQ(FormatPercent(1250), "12.5 %");
    EXPECT_EQ(FormatPercent(1205), "12.05 %");
    EXPECT_EQ(FormatPercent(2500), "25 %");
}

TEST(RolloutTest, SharesGrowByTheDayFromTheirStart) {
    const std::time_t start = *ParseExpiry("2027-01-01T00:00:00Z");
    const Rollout rollout{1000, start, 2000};
    EXPECT_EQ(ShareAt(rollout, start - 1), 0);
    EXPECT_EQ(ShareAt(rollout, start), 1000);
    EXPECT_EQ(ShareAt(rollout, start + 86399), 1000);
    EXPECT_EQ(ShareAt(rollout, start + 3 * 86400), 7000);
    EXPECT_EQ(ShareAt(rollout, start + 30 * 86400), 10000);
    EXPECT_EQ(ShareAt(Rollout{2500, {}, 0}, start), 2500);

    for (const auto& [manifest, says] : std::vector<std::pair<std::string, std::string>>{
             {"rollout=half", "rollout \"half\" is not a share"},
             {"rollout=25\nrollout-daily=5", "rollout-daily needs a rollout-start"},
             {"rollout-start=2027-02-30T00:00:00Z", "rollout-start \"2027-02-30T00:00:00Z\""},
             {"rollout=10\nrollout-start=2027-01-01T00:00:00Z\nrollout-daily=x",
              "rollout-daily \"x\""}}) {
        IniFile ini("");
        ini.LoadText("[Main]\n" + manifest + "\n");
        std::string error;
        EXPECT_FALSE(ReadRollout(ini, error)) << manifest;
        EXPECT_NE(error.find(says), std::string::npos) << error;
    }
}

// Over 10,000 desktops, a 25 % share takes 25 +- 1.5 % of them, and the next
// release takes mostly others first.
TEST(RolloutTest, DesktopsSpreadEvenlyAndEachReleaseDrawsAfresh) {
    constexpr int desktops = 10000;
    std::set<int> first;
    std::set<int> next;
    for (int i = 0; i < desktops; ++i) {
        char id[33];
        std::snprintf(id, sizeof id, "%032x", i * 2654435761u);
        if (RolloutPlace(id, 1800000000) < 2500) first.insert(i);
        if (RolloutPlace(id, 1800000001) < 2500) next.insert(i);
    }
    EXPECT_NEAR(static_cast<double>(first.size()) / desktops, 0.25, 0.015);
    EXPECT_NEAR(static_cast<double>(next.size()) / desktops, 0.25, 0.015);
    size_t both = 0;
    for (const int i : first) both += next.count(i);
    // Independent draws share a quarter of a quarter, not the same desktops.
    EXPECT_NEAR(static_cast<double>(both) / desktops, 0.0625, 0.015);
}

class RolloutRunTest : public CatalogueFixture {
public:
    // A release of x.so 2.0 with serial and rollout, run as scheduled or asked.
    RunOutcome Run(const std::string& rollout, bool scheduled) {
        server.Put("autoupdate.txt", "[Main]\nfilecount=1\nserial=" + std::to_string(serial) +
                                         "\n" + rollout +
                                         "\n[File1]\nfilename=x.so\nversion=2.0\nmoduletype=1\n");
        server.Put("x.so", "version 2.0");
        environment.scheduled = scheduled;
        RecordingOwner owner(true);
        return RunAgainst(server.BaseUrl(), owner);
    }
    // "rollout=P" with P in hundredths written as a per cent.
    static std::string Share(int hundredths) {
        char text[32];
        std::snprintf(text, sizeof text, "rollout=%d.%02d", hundredths / 100, hundredths % 100);
        return text;
    }
    bool Installed() { return std::filesystem::exists(program() / "x.so"); }

    static constexpr long long serial = 1800000000;
    UpdateServer server;
};

TEST_F(RolloutRunTest, OnlyAScheduledRunOutsideTheShareWaits) {
    const int place = RolloutPlace(InstallId(program()), serial);
    if (place == 0) GTEST_SKIP() << "this desktop is first for every share";
    EXPECT_EQ(Run(Share(place), true), UpdateUpToDate)
        << "place " << place << " is outside " << place;
    EXPECT_FALSE(Installed());
    EXPECT_EQ(Run(Share(place), false), UpdateSucceeded) << "asked for, it installs at once";
    EXPECT_TRUE(Installed());
}

TEST_F(RolloutRunTest, AScheduledRunInsideTheShareInstalls) {
    const int place = RolloutPlace(InstallId(program()), serial);
    EXPECT_EQ(Run(Share(place + 1), true), UpdateSucceeded);
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ReadInstallId(program()), InstallId(program())) << "drawn once, kept";
}

TEST_F(RolloutRunTest, AHaltStopsEveryRunAndAMalformedShareFailsClosed) {
    EXPECT_EQ(Run("rollout=0", false), UpdateUpToDate);
    EXPECT_EQ(Run("rollout=0", true), UpdateUpToDate);
    EXPECT_TRUE(
        EndedWith(Run("rollout=25%", false), UpdateManifestFailed, "is not a share from 0 to 100"));
    EXPECT_EQ(Run("rollout=100\nrollout-start=2099-01-01T00:00:00Z", false), UpdateUpToDate)
        << "before its start, no desktop takes part";
    EXPECT_FALSE(Installed());
}

}  // namespace
