// The recognizer when memory runs out: Recognizer_Train, Recognizer_Recognize
// and the identifier's calls with the N-th allocation of the call failing,
// for every N the call makes. Each call either completes or refuses (the
// exports with their message, the identifier with morlin::Error); the
// process goes on; what a refused call leaves is what was there; and the
// same call with memory back gives the answer it gives undisturbed.
//
// This program replaces malloc and its kin for the whole process, libmorlin.so
// included (release builds only: the sanitizers bring allocators of their own).
#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "gallery.h"
#include "morlin/identifier.h"
#include "morlin/morlin.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

namespace {

// While counting, each allocation counts; while armed, the countdown-th fails.
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> countdown{0};

bool Fails() {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (countdown.load(std::memory_order_relaxed) <= 0) return false;
    return countdown.fetch_sub(1, std::memory_order_relaxed) == 1;
}

}  // namespace

extern "C" {
void* malloc(size_t size) {
    if (Fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    if (Fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    if (Fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
    if (Fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    if (Fails()) return ENOMEM;
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : ENOMEM;
}
void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}
void free(void* p) {
    __libc_free(p);
}
}

namespace {

// How many allocations call makes undisturbed.
long AllocationsOf(const std::function<void()>& call) {
    allocations = 0;
    counting = true;
    call();
    counting = false;
    return allocations;
}

// Runs call with its n-th allocation failing; whether it did fail one.
bool WithFailure(long n, const std::function<void()>& call) {
    countdown = n;
    call();
    const bool failed = countdown.load() <= 0;
    countdown = 0;
    return failed;
}

// Runs call with its n-th allocation failing, catching what the recognizer
// tells the user on standard error; whether an allocation did fail.
bool RefusedAt(long n, const std::function<void()>& call, std::string& told) {
    ::testing::internal::CaptureStderr();
    const bool failed = WithFailure(n, call);
    told = ::testing::internal::GetCapturedStderr();
    return failed;
}

TEST(MemoryPressureTest, ExportsRefuseAndRecoverAtEveryAllocation) {
    Gallery gallery = RandomGallery(12, 16, 12, 5);
    Gallery probes = RandomGallery(2, 16, 12, 9);
    const auto train = [&] {
        Recognizer_SetSample(gallery.Pointers(), gallery.Count(), 16, 12);
        Recognizer_Train();
    };
    const auto recognize = [&] {
        std::vector<foundFace> faces;
        Recognizer_Recognize(probes.RowPointers(0), 16, 12, faces);
        return faces;
    };
    train();
    const std::vector<foundFace> reference = recognize();
    ASSERT_FALSE(reference.empty());
    const auto same = [&](const std::vector<foundFace>& faces) {
        if (faces.size() != reference.size()) return false;
        for (size_t i = 0; i < faces.size(); ++i)
            if (faces[i].index != reference[i].index || faces[i].distance != reference[i].distance)
                return false;
        return true;
    };

    long tried = 0;
    const long trainAllocations = AllocationsOf([&] {
        Recognizer_SetSample(gallery.Pointers(), gallery.Count(), 16, 12);
        Recognizer_Train();
    });
    for (long n = 1; n <= trainAllocations; ++n) {
        Recognizer_SetSample(gallery.Pointers(), gallery.Count(), 16, 12);
        std::string told;
        if (!RefusedAt(
                n, [] { Recognizer_Train(); }, told))
            continue;
        ++tried;
        EXPECT_NE(told.find("内存不足"), std::string::npos)
            << "Train said nothing of memory at failure " << n << ": " << told;
        // Trained or not, the next training with memory back gives the reference.
        train();
        EXPECT_TRUE(same(recognize())) << "after the failed allocation " << n << " of Train";
    }
    const long recognizeAllocations = AllocationsOf([&] { recognize(); });
    for (long n = 1; n <= recognizeAllocations; ++n) {
        std::vector<foundFace> faces{{99, -1.0}};
        std::string told;
        if (!RefusedAt(
                n, [&] { Recognizer_Recognize(probes.RowPointers(0), 16, 12, faces); }, told))
            continue;
        ++tried;
        EXPECT_NE(told.find("内存不足"), std::string::npos)
            << "Recognize said nothing of memory at failure " << n << ": " << told;
        // The host's vector: untouched, or the whole answer beside its element.
        EXPECT_TRUE(faces.size() == 1 || faces.size() == reference.size() + 1)
            << "half an answer after the failed allocation " << n;
        EXPECT_TRUE(same(recognize())) << "after the failed allocation " << n << " of Recognize";
    }
    std::printf("allocation failures tried on the exports: %ld (Train %ld, Recognize %ld)\n", tried,
                trainAllocations, recognizeAllocations);
    EXPECT_GT(tried, 20);
}

struct IdentifierCase {
    const char* name;
    morlin::Method method;
};

class IdentifierPressureTest : public ::testing::TestWithParam<IdentifierCase> {};

TEST_P(IdentifierPressureTest, RefusesWithErrorAndChangesNothingAtEveryAllocation) {
    Gallery faces = OrlGallery(4, 1, 3);
    Gallery probes = OrlGallery(4, 9, 9);
    std::vector<morlin::Image> images, probeImages;
    std::vector<std::string> names;
    for (int i = 0; i < faces.Count(); ++i) {
        images.push_back({112, 92, nullptr, faces.Image(i).data()});
        names.push_back("p" + std::to_string(i / 3));
    }
    for (int i = 0; i < probes.Count(); ++i)
        probeImages.push_back({112, 92, nullptr, probes.Image(i).data()});
    morlin::Settings settings;
    settings.method = GetParam().method;
    morlin::Identifier reference(settings);
    reference.Train(images, names);
    const std::vector<morlin::Identification> expected = reference.Identify(probeImages, 3);
    const auto answersSame = [&](const morlin::Identifier& identifier) {
        const std::vector<morlin::Identification> got = identifier.Identify(probeImages, 3);
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i].person != expected[i].person || got[i].score != expected[i].score)
                return false;
        return true;
    };

    // Arguments made beforehand: only the call's own allocations fail.
    const std::vector<morlin::Image> newcomer{probeImages[0]};
    const std::string person = "p0";
    const std::string file = ::testing::TempDir() + "pressure-" + GetParam().name + ".morlin";
    reference.Save(file);
    // Each call under test, on an identifier trained with memory to spare;
    // after a refusal the identifier must answer as before the call.
    struct Call {
        const char* name;
        std::function<void(morlin::Identifier&)> run;
        bool changes;  // a completed call changes the answers
    };
    const std::vector<Call> calls = {
        {"Train", [&](morlin::Identifier& id) { id.Train(images, names); }, false},
        {"Identify", [&](morlin::Identifier& id) { id.Identify(probeImages, 3); }, false},
        {"Enrol", [&](morlin::Identifier& id) { id.Enrol(newcomer, person); }, true},
        {"Calibrate", [&](morlin::Identifier& id) { id.Calibrate(0.3); }, false},
        {"Save", [&](morlin::Identifier& id) { id.Save(file); }, false},
        {"Load", [&](morlin::Identifier& id) { id = morlin::Identifier::Load(file); }, false},
    };
    long tried = 0;
    for (const Call& call : calls) {
        morlin::Identifier counted(settings);
        counted.Train(images, names);
        const long total = AllocationsOf([&] { call.run(counted); });
        for (long n = 1; n <= total; ++n) {
            morlin::Identifier identifier(settings);
            identifier.Train(images, names);
            bool refused = false;
            const bool failed = WithFailure(n, [&] {
                try {
                    call.run(identifier);
                } catch (const morlin::Error& e) {
                    refused = std::string(e.what()).find("memory") != std::string::npos;
                }
            });
            if (!failed) continue;
            ++tried;
            if (refused || !call.changes) {
                EXPECT_TRUE(answersSame(identifier))
                    << call.name << ": changed by the failed allocation " << n;
            }
            // With memory back, the call completes.
            EXPECT_NO_THROW(call.run(identifier)) << call.name << " after failure " << n;
        }
    }
    // A save that failed leaves no staged copy beside the model.
    const std::string stagedPrefix = std::filesystem::path(file).filename().string() + ".";
    for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir()))
        EXPECT_NE(entry.path().filename().string().rfind(stagedPrefix, 0), 0u)
            << entry.path() << " was left behind by a failed save";
    std::remove(file.c_str());
    std::printf("allocation failures tried on the identifier (%s): %ld\n", GetParam().name, tried);
    EXPECT_GT(tried, 50);
}

INSTANTIATE_TEST_SUITE_P(Methods, IdentifierPressureTest,
                         ::testing::Values(IdentifierCase{"Designed", morlin::Method::Designed},
                                           IdentifierCase{"LbpDiscriminant",
                                                          morlin::Method::LbpDiscriminant}),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
