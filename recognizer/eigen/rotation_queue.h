// A single-producer, single-consumer ring of plane rotations: the solver's
// thread produces them in order while a second thread applies them, in the
// same order, to the elements the solver does not read until a sweep ends.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>

struct PlaneRotation {
    int p = 0, q = 0;
    double cn = 1.0, sn = 0.0;

    // The pair (x, z), of row or column p and q, rotated in double precision.
    __attribute__((always_inline)) void Apply(float& x, float& z) const {
        const double xv = x, zv = z;
        x = static_cast<float>(xv * cn - zv * sn);
        z = static_cast<float>(xv * sn + zv * cn);
    }
};

// One side's wake-up call. The other side spins a little while it finds
// nothing to do and then sleeps: when the two share a core (a loaded machine,
// a thread limit of the host's), spinning would take the time the side it
// waits for needs. Ringing costs one read-modify-write while nobody sleeps.
//
// Both sides meet on `sleeping` with read-modify-writes: if the ringer's
// comes first, the waiter's, reading it, sees everything the ringer changed
// before (and ready() holds); if the waiter's comes first, the ringer reads
// that it sleeps and wakes it. (Read-modify-writes rather than fences, which
// the thread sanitizer cannot follow.)
class Doorbell {
public:
    // Waiter: returns once ready() holds.
    template <class Ready>
    void WaitUntil(Ready ready) {
        for (int spins = 0; spins < spinLimit; ++spins) {
            if (ready()) return;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        while (!ready()) {
            const unsigned seen = rings.load(std::memory_order_acquire);
            sleeping.exchange(1, std::memory_order_acq_rel);
            if (!ready()) rings.wait(seen, std::memory_order_acquire);
            sleeping.store(0, std::memory_order_relaxed);
        }
    }

    // Whether the waiter has stopped spinning and sleeps (or is about to):
    // what a test waits for to reach the wake-up path.
    bool Sleeping() const {
        return sleeping.load(std::memory_order_acquire) != 0;
    }

    // Ringer: after a change that may make the waiter ready.
    void Ring() {
        if (sleeping.fetch_add(0, std::memory_order_acq_rel) == 0) return;
        rings.fetch_add(1, std::memory_order_release);
        rings.notify_one();
    }

private:
    static constexpr int spinLimit = 4096;

    std::atomic<unsigned> rings{0};
    std::atomic<int> sleeping{0};
};

class RotationQueue {
public:
    // Rotations the ring holds before the producer waits for the consumer.
    static constexpr size_t capacity = 1024;  // a power of two

    // Producer: appends one rotation, waiting while the ring is full. The
    // consumer sees rotations a batch at a time, so the shared counter's cache
    // line does not travel once per rotation.
    void Push(const PlaneRotation& rotation) {
        if (head - consumed.load(std::memory_order_acquire) >= capacity)
            toProducer.WaitUntil(
                [&] { return head - consumed.load(std::memory_order_acquire) < capacity; });
        ring[head & mask] = rotation;
        if (++head % batch == 0) Flush();
    }

    // Producer: makes every rotation pushed so far visible.
    void Flush() {
        published.store(head, std::memory_order_release);
        toConsumer.Ring();
    }

    // Producer: returns once every rotation pushed so far has been applied.
    void WaitUntilApplied() {
        Flush();
        toProducer.WaitUntil([&] { return consumed.load(std::memory_order_acquire) == head; });
    }

    // Producer: no rotation follows.
    void Close() {
        published.store(head, std::memory_order_release);
        closed.store(true, std::memory_order_release);
        toConsumer.Ring();
    }

    // Consumer: calls apply(first, count) on the rotations in order, as many
    // at once as are published and contiguous in the ring, until the producer
    // has closed the queue and all are applied.
    template <class Apply>
    void Drain(Apply&& apply) {
        size_t tail = 0;
        for (;;) {
            bool last = false;
            size_t end = tail;
            toConsumer.WaitUntil([&] {
                last = closed.load(std::memory_order_acquire);
                end = published.load(std::memory_order_acquire);
                return last || end != tail;
            });
            if (end == tail) return;  // closed, and everything applied
            while (tail != end) {
                const size_t start = tail & mask;
                const size_t count = std::min(end - tail, capacity - start);
                apply(static_cast<const PlaneRotation*>(ring + start), count);
                tail += count;
            }
            consumed.store(tail, std::memory_order_release);
            toProducer.Ring();
        }
    }

    // Whether the consumer, finding nothing published, sleeps; whether the
    // producer, at a full ring or waiting for the rotations to be applied, does.
    bool ConsumerSleeps() const { return toConsumer.Sleeping(); }
    bool ProducerSleeps() const { return toProducer.Sleeping(); }

private:
    static constexpr size_t mask = capacity - 1;
    static constexpr size_t batch = 64;  // divides capacity

    PlaneRotation ring[capacity];
    size_t head = 0;  // the producer's own count
    alignas(64) std::atomic<size_t> published{0};
    alignas(64) std::atomic<size_t> consumed{0};
    alignas(64) std::atomic<bool> closed{false};
    alignas(64) Doorbell toConsumer;
    alignas(64) Doorbell toProducer;
};
