#include "core/WorkQueue.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct ManualQueue {
    std::shared_ptr<core::ManualClock> clock = std::make_shared<core::ManualClock>();
    core::WorkQueue queue{2, clock};

    void advance(core::Clock::Duration by) {
        clock->advance(by);
        queue.clockDidChange();
        queue.waitUntilIdle();
    }
};

TEST(CoreWorkQueue, RunsEveryTaskOnItsWorkersAndFinishesQueuedOnesWhenDestroyed) {
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::atomic<int> ran{0};
    {
        core::WorkQueue queue(3);
        EXPECT_EQ(queue.threadCount(), 3u);
        for (int i = 0; i < 100; ++i) {
            queue.async([&] {
                std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
                ++ran;
            });
        }
        queue.waitUntilIdle();
        EXPECT_EQ(ran.load(), 100);
        EXPECT_FALSE(threads.count(std::this_thread::get_id()));

        // Work still queued when the queue goes runs before the destructor returns.
        std::promise<void> release;
        auto released = release.get_future().share();
        for (int i = 0; i < 3; ++i) {
            queue.async([released] { released.wait(); });
        }
        for (int i = 0; i < 20; ++i) {
            queue.async([&] { ++ran; });
        }
        release.set_value();
    }
    EXPECT_EQ(ran.load(), 120);
    // Reaching here means the destructor joined every worker.
}

TEST(CoreWorkQueue, GlobalQueueIsSharedWhileHeldAndRebuiltAfterwards) {
    auto a = core::WorkQueue::global();
    auto b = core::WorkQueue::global();
    EXPECT_EQ(a, b);
    EXPECT_GE(a->threadCount(), 2u);
    std::weak_ptr<core::WorkQueue> weak = a;
    a.reset();
    b.reset();
    EXPECT_TRUE(weak.expired()) << "the last holder stops the threads";
    std::promise<int> result;
    const auto again = core::WorkQueue::global();
    again->async([&] { result.set_value(42); });
    EXPECT_EQ(result.get_future().get(), 42);
}

TEST(CoreTimerSource, OneShotFiresOnceAtItsDeadlineOnTheManualClock) {
    ManualQueue q;
    std::atomic<int> fired{0};
    auto timer = q.queue.makeTimer();
    timer.setEventHandler([&] { ++fired; });
    timer.schedule(q.clock->now() + 300ms);
    q.advance(400ms);
    EXPECT_EQ(fired.load(), 0) << "a suspended timer does not fire";
    timer.resume();
    q.queue.waitUntilIdle();
    EXPECT_EQ(fired.load(), 1) << "resuming after the deadline fires at once";
    q.advance(10s);
    EXPECT_EQ(fired.load(), 1);
    EXPECT_FALSE(timer.nextDeadline());

    // Scheduling again re-arms it.
    timer.schedule(q.clock->now() + 100ms);
    q.advance(99ms);
    EXPECT_EQ(fired.load(), 1);
    q.advance(1ms);
    EXPECT_EQ(fired.load(), 2);
}

TEST(CoreTimerSource, RepeatingTimerSkipsMissedTicksAndStopsOnCancel) {
    ManualQueue q;
    std::atomic<int> fired{0};
    auto timer = q.queue.makeTimer();
    timer.setEventHandler([&] { ++fired; });
    const auto start = q.clock->now();
    timer.schedule(start + 100ms, 100ms);
    timer.resume();
    q.advance(100ms);
    EXPECT_EQ(fired.load(), 1);
    q.advance(100ms);
    EXPECT_EQ(fired.load(), 2);
    q.advance(350ms); // late: fires once, then waits for the next tick in the future
    EXPECT_EQ(fired.load(), 3);
    EXPECT_EQ(timer.nextDeadline(), start + 600ms);
    timer.cancel();
    EXPECT_TRUE(timer.isCancelled());
    q.advance(1s);
    EXPECT_EQ(fired.load(), 3);
    timer.resume(); // a cancelled timer stays cancelled
    timer.schedule(q.clock->now());
    q.advance(1s);
    EXPECT_EQ(fired.load(), 3);
}

TEST(CoreTimerSource, CancelWaitsForARunningHandlerButNotFromInsideIt) {
    core::WorkQueue queue(2);
    std::promise<void> entered;
    std::promise<void> proceed;
    auto proceedFuture = proceed.get_future().share();
    std::atomic<bool> finished{false};
    auto timer = queue.makeTimer();
    timer.setEventHandler([&, proceedFuture] {
        entered.set_value();
        proceedFuture.wait();
        finished = true;
    });
    timer.schedule(queue.clock()->now());
    timer.resume();
    entered.get_future().wait();
    std::thread releaser([&] { proceed.set_value(); });
    timer.cancel();
    EXPECT_TRUE(finished.load()) << "cancel returned while the handler still ran";
    releaser.join();

    // A handler that destroys its own timer does not deadlock.
    auto self = std::make_shared<core::TimerSource>(queue.makeTimer());
    std::promise<void> done;
    self->setEventHandler([&] {
        self.reset();
        done.set_value();
    });
    self->schedule(queue.clock()->now());
    self->resume();
    done.get_future().wait();
    queue.waitUntilIdle();
    EXPECT_EQ(self, nullptr);
}

TEST(CoreTimerSource, DestroyingTheQueueStopsItsTimers) {
    auto clock = std::make_shared<core::ManualClock>();
    std::atomic<int> fired{0};
    core::TimerSource timer;
    {
        core::WorkQueue queue(1, clock);
        timer = queue.makeTimer();
        timer.setEventHandler([&] { ++fired; });
        timer.schedule(clock->now() + 1s, 1s);
        timer.resume();
    }
    clock->advance(5s);
    timer.schedule(clock->now());
    timer.resume();
    EXPECT_EQ(fired.load(), 0);
}

} // namespace
