// A single-producer, single-consumer ring of plane rotations: the solver's
// thread produces them in order while a second thread applies them, in the
// same order, to the elements the solver does not read until a sweep ends.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

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

class RotationQueue {
public:
    // Producer: appends one rotation, waiting while the ring is full. The
    // consumer sees rotations a batch at a time, so the shared counter's cache
    // line does not travel once per rotation.
    void Push(const PlaneRotation& rotation) {
        for (int spins = 0; head - consumed.load(std::memory_order_acquire) >= capacity;)
            Relax(spins);
        ring[head & mask] = rotation;
        if (++head % batch == 0) Flush();
    }

    // Producer: makes every rotation pushed so far visible.
    void Flush() { published.store(head, std::memory_order_release); }

    // Producer: returns once every rotation pushed so far has been applied.
    void WaitUntilApplied() {
        Flush();
        for (int spins = 0; consumed.load(std::memory_order_acquire) != head;) Relax(spins);
    }

    // Producer: no rotation follows.
    void Close() {
        Flush();
        closed.store(true, std::memory_order_release);
    }

    // Consumer: calls apply on every rotation in order until the producer has
    // closed the queue and all are applied.
    template <class Apply>
    void Drain(Apply&& apply) {
        size_t tail = 0;
        for (int spins = 0;;) {
            const bool last = closed.load(std::memory_order_acquire);
            const size_t end = published.load(std::memory_order_acquire);
            if (end == tail) {
                if (last) return;
                Relax(spins);
                continue;
            }
            spins = 0;
            for (; tail != end; ++tail) apply(ring[tail & mask]);
            consumed.store(tail, std::memory_order_release);
        }
    }

private:
    static constexpr size_t capacity = 1024;  // a power of two
    static constexpr size_t mask = capacity - 1;
    static constexpr size_t batch = 16;  // divides capacity

    // Spins briefly, then gives the core away: the other side may share it.
    static void Relax(int& spins) {
        if (++spins < 4096) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        } else {
            std::this_thread::yield();
        }
    }

    PlaneRotation ring[capacity];
    size_t head = 0;  // the producer's own count
    alignas(64) std::atomic<size_t> published{0};
    alignas(64) std::atomic<size_t> consumed{0};
    alignas(64) std::atomic<bool> closed{false};
};
