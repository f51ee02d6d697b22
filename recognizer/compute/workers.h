// The recognizer's own worker threads. A caller hands out independent pieces
// of work and takes part itself, so a region never waits for a helper the
// scheduler has not run yet: on a busy machine the caller simply does the
// pieces no helper came for. The helpers belong to their Workers object,
// start on first use and are joined when it goes (a library can be unloaded
// after any call). A process forked from the owner runs every region on the
// calling thread: the helpers do not exist there.
//
// Invariants:
//   1. A piece runs exactly once, on the caller or on one helper.
//   2. ForEach and RunPair return as soon as every piece has run, so the
//      region's data may change then; they never wait for a helper that has
//      no piece (one the scheduler ran late finds them all taken and touches
//      nothing of the caller's). A helper whose core is busy holds a region
//      up by the piece it took, at most.
//   3. An exception thrown by a piece ends the region (pieces not yet run
//      are skipped) and is thrown again on the caller; nothing escapes a helper.
//   4. The helpers honour the host's thread limit (omp_get_max_threads,
//      OMP_NUM_THREADS) and the processors the process may run on, read at
//      every region.
// One Workers object serves one calling thread at a time.
#pragma once

#include <functional>
#include <memory>

class Workers {
public:
    // A piece: its number (0 .. count-1) and the slot of the thread running it
    // (0 .. Slots()-1), for scratch space prepared per slot before the region.
    using Piece = std::function<void(int piece, int slot)>;

    Workers();
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Threads a region may use now, the caller included: at least 1.
    int Slots() const;
    // Runs piece for 0 .. count-1; with parallel false, or one slot, all on
    // this thread in order.
    void ForEach(int count, bool parallel, const Piece& piece);
    // Runs mine here and theirs on a helper at the same time, and returns true
    // when both are done; false, running neither, when no helper can be had.
    // For work whose two halves wait on each other, such as a producer and
    // its consumer.
    bool RunPair(const std::function<void()>& mine, const std::function<void()>& theirs);

private:
    struct Pool;
    // The started helpers; null before the first parallel region.
    Pool* Helpers(int wanted);

    std::unique_ptr<Pool> pool;
};

// ForEach on workers when the caller has them; without (a caller that runs
// on one thread only), every piece here in order on slot 0.
inline void ForEachPiece(Workers* workers, int count, bool parallel, const Workers::Piece& piece) {
    if (workers != nullptr) {
        workers->ForEach(count, parallel, piece);
        return;
    }
    for (int i = 0; i < count; ++i) piece(i, 0);
}
