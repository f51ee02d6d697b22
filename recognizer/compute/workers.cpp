// The recognizer's helper threads and the hand-over of a region's pieces.
#include "compute/workers.h"

#include <omp.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Regions come in quick succession (the tiles of a training, the probes of a
// batch): a helper that has just finished one looks for the next this long
// before it sleeps, and a caller waits this long for stragglers before it
// sleeps. Short enough that a helper sharing a core takes little from it.
constexpr auto spinTime = std::chrono::microseconds(50);
constexpr int spinsBetweenClockReads = 64;
// No machine this runs on has more processors worth a helper.
constexpr int maxHelpers = 63;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Spins until done() holds or spinTime has passed; whether it holds.
template <typename Condition>
bool SpinUntil(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + spinTime;
    for (int spins = 1;; ++spins) {
        if (done()) return true;
        Pause();
        if (spins % spinsBetweenClockReads == 0 && std::chrono::steady_clock::now() >= deadline)
            return done();
    }
}

// Processors this process may run on.
int UsableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return std::max(1, CPU_COUNT(&set));
}

}  // namespace

// One region handed to the helpers: a run of pieces, or the other half of a
// pair. Shared with the helpers, so that one that comes late (every piece
// taken) finds it still there and leaves: the caller waits for the pieces,
// never for a helper that has none.
struct Job {
    const Workers::Piece* piece = nullptr;
    const std::function<void()>* other = nullptr;  // a pair's helper half
    int count = 0;
    int helpersWanted = 0;
    std::atomic<int> next{0};      // the next piece to take
    std::atomic<int> finished{0};  // pieces run (or skipped after a failure)
    std::atomic<int> joined{0};    // helpers that took part
    std::atomic<bool> failed{false};
    std::exception_ptr failure;  // written once, by whoever failed first

    // Takes pieces until none is left. After a failure the pieces still
    // taken are skipped, but counted as finished like the others.
    void Work(int slot) noexcept {
        for (;;) {
            const int i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count) return;
            if (!failed.load(std::memory_order_relaxed)) {
                try {
                    if (other != nullptr)
                        (*other)();
                    else
                        (*piece)(i, slot);
                } catch (...) {
                    if (!failed.exchange(true)) failure = std::current_exception();
                }
            }
            if (finished.fetch_add(1, std::memory_order_acq_rel) + 1 == count)
                finished.notify_all();
        }
    }

    // Waits until every piece has run: the caller's part of closing a region.
    void WaitForPieces() {
        const auto done = [this] { return finished.load(std::memory_order_acquire) == count; };
        if (SpinUntil(done)) return;
        for (int seen; (seen = finished.load(std::memory_order_acquire)) != count;)
            finished.wait(seen);
    }
};

// The helper threads and the hand-over. A region is posted by setting
// `current` and counting `posted` up; a helper that sees a new post takes
// its own reference to the job and works on it. The caller closes a region
// once every piece has run, and clears `current`.
struct Workers::Pool {
    explicit Pool(int helpers) : owner(::getpid()) {
        threads.reserve(static_cast<size_t>(helpers));
        for (int slot = 1; slot <= helpers; ++slot)
            threads.emplace_back([this, slot] { Serve(slot); });
    }

    ~Pool() {
        stopping.store(true);
        posted.fetch_add(1);
        posted.notify_all();
        for (std::thread& thread : threads) thread.join();
    }

    int Helpers() const { return static_cast<int>(threads.size()); }

    void Serve(int slot) {
        unsigned seen = 0;
        for (;;) {
            const auto newPost = [&] { return posted.load() != seen; };
            if (!SpinUntil(newPost)) {
                sleepers.fetch_add(1);
                while (!newPost()) posted.wait(seen);
                sleepers.fetch_sub(1);
            }
            if (stopping.load()) return;
            seen = posted.load();
            std::shared_ptr<Job> job;
            {
                std::lock_guard<std::mutex> reading(currentLock);
                job = current;
            }
            if (job && job->joined.fetch_add(1) < job->helpersWanted) job->Work(slot);
        }
    }

    void Post(const std::shared_ptr<Job>& job) {
        {
            std::lock_guard<std::mutex> writing(currentLock);
            current = job;
        }
        posted.fetch_add(1);
        if (sleepers.load() > 0) posted.notify_all();
    }

    // Closes the job once every piece has run; helpers that come later find
    // nothing to take.
    void Close(Job& job) {
        job.WaitForPieces();
        std::lock_guard<std::mutex> writing(currentLock);
        current.reset();
    }

    const pid_t owner;  // the process whose threads these are
    std::vector<std::thread> threads;
    std::mutex currentLock;
    std::shared_ptr<Job> current;
    std::atomic<unsigned> posted{0};
    std::atomic<int> sleepers{0};
    std::atomic<bool> stopping{false};
};

Workers::Workers() = default;

Workers::~Workers() {
    // In a forked child the helpers never existed: nothing to join, and the
    // parent's bookkeeping must not be touched.
    if (pool && pool->owner != ::getpid()) (void)pool.release();
}

int Workers::Slots() const {
    if (pool && pool->owner != ::getpid()) return 1;
    const int limit = std::min({omp_get_max_threads(), UsableProcessors(), maxHelpers + 1});
    return std::max(1, limit);
}

Workers::Pool* Workers::Helpers(int wanted) {
    if (pool && pool->owner != ::getpid()) {
        // Forked: the parent's helpers are not in this process. Forget them
        // without a word (the child runs single-threaded) and never start more.
        (void)pool.release();
        return nullptr;
    }
    if (wanted < 1) return nullptr;
    if (!pool) pool = std::make_unique<Pool>(std::min(UsableProcessors() - 1, maxHelpers));
    return pool->Helpers() > 0 ? pool.get() : nullptr;
}

void Workers::ForEach(int count, bool parallel, const Piece& piece) {
    if (count <= 0) return;
    const int slots = parallel && count > 1 ? Slots() : 1;
    Pool* helpers = slots > 1 ? Helpers(slots - 1) : nullptr;
    if (helpers == nullptr) {
        for (int i = 0; i < count; ++i) piece(i, 0);
        return;
    }
    const auto job = std::make_shared<Job>();
    job->piece = &piece;
    job->count = count;
    job->helpersWanted = std::min(slots - 1, count - 1);
    helpers->Post(job);
    job->Work(0);
    helpers->Close(*job);
    if (job->failure) std::rethrow_exception(job->failure);
}

bool Workers::RunPair(const std::function<void()>& mine, const std::function<void()>& theirs) {
    Pool* helpers = Slots() >= 2 ? Helpers(1) : nullptr;
    if (helpers == nullptr) return false;
    const auto job = std::make_shared<Job>();
    job->other = &theirs;
    job->count = 1;
    job->helpersWanted = 1;
    helpers->Post(job);
    std::exception_ptr mineFailed;
    try {
        mine();
    } catch (...) {
        mineFailed = std::current_exception();
    }
    // The helper half not taken yet (it never waited on mine): run it here.
    job->Work(0);
    helpers->Close(*job);
    if (mineFailed) std::rethrow_exception(mineFailed);
    if (job->failure) std::rethrow_exception(job->failure);
    return true;
}
