// libmorlin.so the way real hosts treat it: loaded and unloaded again and
// again, forked after training, and called from several threads at once.
// Galleries are large enough that training and recognition use the helper
// threads.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "gallery.h"
#include "library_exports.h"

namespace {

// 20 people with 4 images each: 80 gallery images, enough for the solver's
// second thread; the probes are images 9 and 10 of each person.
constexpr int people = 20;
constexpr int imagesPerPerson = 4;

class HostLifecycleTest : public ::testing::Test {
protected:
    HostLifecycleTest()
        : gallery(OrlGallery(people, 1, imagesPerPerson)), probes(OrlGallery(people, 9, 10)) {}

    static int PersonOf(int galleryIndex) { return galleryIndex / imagesPerPerson; }

    // Probes whose nearest gallery image is of the right person.
    int RightAnswers(LibraryExports& module) {
        int right = 0;
        for (int p = 0; p < probes.Count(); ++p) {
            std::vector<foundFace> faces;
            module.Recognize(probes.RowPointers(p), 112, 92, faces);
            if (!faces.empty() && PersonOf(faces.front().index) == p / 2) ++right;
        }
        return right;
    }

    void Enrol(LibraryExports& module) {
        module.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
        module.Train();
    }

    Gallery gallery;
    Gallery probes;
};

TEST_F(HostLifecycleTest, FiftyLoadTrainRecognizeUnloadCycles) {
    int firstRun = -1;
    for (int cycle = 0; cycle < 50; ++cycle) {
        LibraryExports module;
        ASSERT_TRUE(module.Loaded()) << dlerror();
        Enrol(module);
        const int right = RightAnswers(module);
        if (firstRun < 0) firstRun = right;
        ASSERT_EQ(right, firstRun) << "cycle " << cycle;
    }
    EXPECT_GE(firstRun, probes.Count() * 3 / 4);
}

TEST_F(HostLifecycleTest, ChildForkedAfterTrainingRecognizesAndTrains) {
    LibraryExports module;
    Enrol(module);
    const int right = RightAnswers(module);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60);  // a hang ends the child, and the test fails
        const bool recognized = RightAnswers(module) == right;
        Enrol(module);
        const bool retrained = RightAnswers(module) == right;
        _exit(recognized && retrained ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(RightAnswers(module), right);
}

TEST_F(HostLifecycleTest, FourThreadsOnTheExportsGetTheSequentialResults) {
    LibraryExports module;
    Enrol(module);
    std::vector<std::vector<foundFace>> sequential(static_cast<size_t>(probes.Count()));
    for (int p = 0; p < probes.Count(); ++p)
        module.Recognize(probes.RowPointers(p), 112, 92, sequential[static_cast<size_t>(p)]);

    // Row pointers of their own for every probe: the threads share nothing
    // but the module.
    std::vector<std::vector<int*>> probeRows;
    for (int p = 0; p < probes.Count(); ++p) {
        int** rows = probes.RowPointers(p);
        probeRows.emplace_back(rows, rows + 112);
    }
    std::atomic<int> differing{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (int i = 0; i < probes.Count(); ++i) {
                    const int p = (i + t * 7) % probes.Count();
                    std::vector<foundFace> faces;
                    module.Recognize(probeRows[static_cast<size_t>(p)].data(), 112, 92, faces);
                    const auto& expected = sequential[static_cast<size_t>(p)];
                    bool same = faces.size() == expected.size();
                    for (size_t k = 0; same && k < faces.size(); ++k)
                        same = faces[k].index == expected[k].index &&
                               faces[k].distance == expected[k].distance;
                    if (!same) differing.fetch_add(1);
                }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(differing.load(), 0);
}

}  // namespace
