// The solver's rotation queue between two real threads: every rotation
// arrives once and in order, across the ring's wrap-around, with the producer
// held asleep at a full ring, with a consumer that has gone to sleep, and when
// the queue closes with rotations not yet handed over. Where a side must be
// asleep, the test waits until the queue says it is.
#include "eigen/rotation_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Rotation i carries i, so order and loss show.
PlaneRotation Numbered(size_t i) {
    PlaneRotation r;
    r.p = static_cast<int>(i);
    return r;
}

// The p of every rotation the consumer received, in order.
class Consumer {
public:
    explicit Consumer(RotationQueue& queue)
        : thread([this, &queue] {
              queue.Drain([this](const PlaneRotation* r, size_t count) {
                  for (size_t i = 0; i < count; ++i) received.push_back(r[i].p);
              });
          }) {}
    // Waits for the queue to close and be drained.
    std::vector<int> Received() {
        thread.join();
        return received;
    }

private:
    std::vector<int> received;
    std::thread thread;
};

// Returns once condition holds; the other thread is on its way there.
template <class Condition>
void AwaitState(Condition condition) {
    while (!condition()) std::this_thread::yield();
}

std::vector<int> Sequence(size_t count) {
    std::vector<int> expected(count);
    for (size_t i = 0; i < count; ++i) expected[i] = static_cast<int>(i);
    return expected;
}

TEST(RotationQueueTest, EveryRotationArrivesOnceInOrderAcrossTheWrapAround) {
    RotationQueue queue;
    Consumer consumer(queue);
    const size_t count = RotationQueue::capacity * 10 + 37;
    for (size_t i = 0; i < count; ++i) queue.Push(Numbered(i));
    queue.Close();
    EXPECT_EQ(consumer.Received(), Sequence(count));
}

TEST(RotationQueueTest, FullRingHoldsTheProducerUntilTheConsumerComes) {
    RotationQueue queue;
    const size_t count = RotationQueue::capacity * 3;
    std::thread producer([&] {
        for (size_t i = 0; i < count; ++i) queue.Push(Numbered(i));
        queue.Close();
    });
    // No consumer yet: the producer fills the ring and goes to sleep.
    AwaitState([&] { return queue.ProducerSleeps(); });
    Consumer consumer(queue);
    producer.join();
    EXPECT_EQ(consumer.Received(), Sequence(count));
}

TEST(RotationQueueTest, SleepingConsumerWakesForTheNextRotations) {
    RotationQueue queue;
    Consumer consumer(queue);
    for (int round = 0; round < 3; ++round) {
        AwaitState([&] { return queue.ConsumerSleeps(); });
        for (size_t i = 0; i < 10; ++i) queue.Push(Numbered(static_cast<size_t>(round) * 10 + i));
        queue.WaitUntilApplied();
    }
    queue.Close();
    EXPECT_EQ(consumer.Received(), Sequence(30));
}

TEST(RotationQueueTest, ClosingHandsOverWhatWasNotYetPublished) {
    RotationQueue queue;
    Consumer consumer(queue);
    for (size_t i = 0; i < 5; ++i) queue.Push(Numbered(i));  // fewer than one batch
    queue.Close();
    EXPECT_EQ(consumer.Received(), Sequence(5));
}

}  // namespace
