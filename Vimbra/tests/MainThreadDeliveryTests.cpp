#include "Vimbra/MainThreadDelivery.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(VimbraReceiveOnMainThread, DeliversInlineOnMainQueuedOtherwiseAndDropsAfterCancel) {
    auto& queue = core::MainQueue::shared();
    queue.drain();
    core::PassthroughSubject<int> subject;
    std::vector<int> received;
    const vimbra::Publishers::ReceiveOnMainThread<int> onMain(subject.publisher());
    auto token = onMain.sink([&](const int& v) {
        EXPECT_TRUE(core::isMainThread());
        received.push_back(v);
    });
    subject.send(1);
    EXPECT_EQ(received, (std::vector<int>{1}));
    std::thread([&] {
        subject.send(2);
        subject.send(3);
    }).join();
    EXPECT_EQ(received.size(), 1u) << "background values wait for a later turn of the main queue";
    queue.drain();
    EXPECT_EQ(received, (std::vector<int>{1, 2, 3}));

    std::thread([&] { subject.send(4); }).join();
    token.cancel();
    queue.drain();
    EXPECT_EQ(received, (std::vector<int>{1, 2, 3})) << "a queued value is dropped after cancellation";
}

struct Fixture {
    std::shared_ptr<core::ManualClock> clock = std::make_shared<core::ManualClock>();
    std::shared_ptr<core::WorkQueue> queue = std::make_shared<core::WorkQueue>(1, clock);
    void advance(core::Clock::Duration by) {
        clock->advance(by);
        queue->clockDidChange();
        queue->waitUntilIdle();
    }
};

TEST(VimbraUIEventThrottler, FiresOnceAnIntervalAfterTheLastCallOfABurst) {
    Fixture f;
    std::atomic<int> runs{0};
    std::atomic<bool> onMain{true};
    vimbra::UIEventThrottler throttler(0.3, f.queue);
    throttler.cancel(); // nothing pending: nothing happens
    EXPECT_FALSE(throttler.isPending());

    for (int call = 0; call < 3; ++call) {
        throttler.schedule([&] {
            onMain = core::isMainThread();
            ++runs;
        });
        f.advance(100ms);
    }
    EXPECT_EQ(runs.load(), 0);
    f.advance(199ms);
    EXPECT_EQ(runs.load(), 0) << "0.3 s after the third call, not before";
    f.advance(1ms);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(onMain.load());
    f.advance(3s);
    EXPECT_EQ(runs.load(), 1) << "a burst fires once, not every interval after it";

    throttler.throttle([&] { ++runs; });
    throttler.cancel();
    f.advance(1s);
    EXPECT_EQ(runs.load(), 1);
}

TEST(VimbraUIEventThrottler, DestructionCancelsThePendingActionAndWaitsForARunningOne) {
    Fixture f;
    auto state = std::make_shared<int>(0);
    {
        vimbra::UIEventThrottler throttler(0.1, f.queue);
        // Would touch freed memory if it outlived its owner.
        throttler.throttle([raw = state.get()] { ++*raw; });
    }
    state.reset();
    f.advance(1s); // nothing fires: the action died with the throttler

    std::promise<void> entered;
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<bool> finished{false};
    auto throttler = std::make_unique<vimbra::UIEventThrottler>(0.0, f.queue);
    throttler->schedule([&, released] {
        entered.set_value();
        released.wait();
        finished = true;
    });
    f.queue->clockDidChange();
    entered.get_future().wait();
    std::thread releaser([&] { release.set_value(); });
    throttler.reset();
    EXPECT_TRUE(finished.load());
    releaser.join();
}

} // namespace
