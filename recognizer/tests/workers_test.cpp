// The recognizer's helper threads: every piece exactly once, failures back on
// the caller, the host's thread limit honoured, and a forked child that
// works on its own thread.
#include "compute/workers.h"

#include <gtest/gtest.h>
#include <omp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Runs count pieces in many regions in a row; every piece of every region
// must have run exactly once, whichever thread took it.
void ExpectEveryPieceOnce(Workers& workers, int regions, int count) {
    std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
    for (int region = 0; region < regions; ++region) {
        for (auto& r : runs) r.store(0);
        workers.ForEach(count, true, [&](int piece, int slot) {
            ASSERT_GE(slot, 0);
            ASSERT_LT(slot, workers.Slots());
            runs[static_cast<size_t>(piece)].fetch_add(1);
        });
        for (int piece = 0; piece < count; ++piece)
            ASSERT_EQ(runs[static_cast<size_t>(piece)].load(), 1)
                << "region " << region << ", piece " << piece;
    }
}

TEST(WorkersTest, EveryPieceRunsExactlyOnceInEveryRegion) {
    Workers workers;
    ExpectEveryPieceOnce(workers, 2000, 7);
    ExpectEveryPieceOnce(workers, 50, 1000);
}

TEST(WorkersTest, AFailingPieceEndsTheRegionOnTheCaller) {
    Workers workers;
    std::atomic<int> ran{0};
    // Every piece from 3 on fails: the first failure, on whichever thread,
    // ends the region with at most one piece per thread still under way.
    EXPECT_THROW(workers.ForEach(10000, true,
                                 [&](int piece, int) {
                                     ran.fetch_add(1);
                                     if (piece >= 3) throw std::runtime_error("piece failed");
                                 }),
                 std::runtime_error);
    EXPECT_LE(ran.load(), 3 + workers.Slots());
    // The workers go on serving.
    ExpectEveryPieceOnce(workers, 10, 100);
}

TEST(WorkersTest, HostThreadLimitOfOneKeepsEverythingOnTheCaller) {
    const int previous = omp_get_max_threads();
    omp_set_num_threads(1);
    Workers workers;
    EXPECT_EQ(workers.Slots(), 1);
    std::vector<int> order;
    workers.ForEach(50, true, [&](int piece, int slot) {
        EXPECT_EQ(slot, 0);
        order.push_back(piece);
    });
    EXPECT_FALSE(workers.RunPair([] {}, [] {}));
    omp_set_num_threads(previous);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(WorkersTest, PairHalvesRunAtTheSameTime) {
    Workers workers;
    if (workers.Slots() < 2) GTEST_SKIP() << "one processor: no helper to pair with";
    // Each half waits for the other to have started: only two threads at
    // once get through.
    std::atomic<int> started{0};
    const auto half = [&] {
        started.fetch_add(1);
        while (started.load() < 2) std::this_thread::yield();
    };
    for (int round = 0; round < 100; ++round) {
        started.store(0);
        ASSERT_TRUE(workers.RunPair(half, half));
    }
}

TEST(WorkersTest, ForkedChildWorksOnItsOwnThread) {
    Workers workers;
    ExpectEveryPieceOnce(workers, 10, 100);  // the helpers are running now
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20);  // a hang ends the child, and the test fails
        bool ok = workers.Slots() == 1;
        int pieces = 0;
        workers.ForEach(100, true, [&](int, int slot) {
            ok = ok && slot == 0;
            ++pieces;
        });
        _exit(ok && pieces == 100 && !workers.RunPair([] {}, [] {}) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ExpectEveryPieceOnce(workers, 10, 100);
}

}  // namespace
