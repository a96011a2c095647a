#include "core/RunLoop.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

struct CoreRunLoopTest : ::testing::Test {
    core::MainQueue queue;
    std::shared_ptr<core::ManualClock> clock = std::make_shared<core::ManualClock>();
    core::RunLoop loop{queue, clock};
};

TEST_F(CoreRunLoopTest, RepeatingTimerFiresEachIntervalAndSkipsMissedFires) {
    int fires = 0;
    auto timer = loop.scheduleRepeating(10ms, [&] { ++fires; });
    EXPECT_EQ(loop.nextTimerDeadline(), clock->now() + 10ms);

    clock->advance(9ms);
    EXPECT_EQ(loop.fireDueTimers(), 0u);
    clock->advance(1ms);
    EXPECT_EQ(loop.fireDueTimers(), 1u);
    EXPECT_EQ(timer->fireDate(), core::Clock::TimePoint{} + 20ms);

    // 35 ms late: one fire, then the next multiple of the interval after now.
    clock->advance(45ms);
    EXPECT_EQ(loop.fireDueTimers(), 1u);
    EXPECT_EQ(fires, 2);
    EXPECT_EQ(timer->fireDate(), core::Clock::TimePoint{} + 60ms);
    EXPECT_EQ(loop.fireDueTimers(), 0u);
}

TEST_F(CoreRunLoopTest, OneShotTimersFireOnceInDeadlineOrder) {
    std::vector<int> order;
    auto late = loop.scheduleOnce(20ms, [&] { order.push_back(2); });
    auto early = loop.scheduleOnce(5ms, [&] { order.push_back(1); });
    clock->advance(1s);
    EXPECT_EQ(loop.fireDueTimers(), 2u);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(late->isValid());
    EXPECT_FALSE(loop.nextTimerDeadline().has_value());
    clock->advance(1s);
    EXPECT_EQ(loop.fireDueTimers(), 0u);
}

TEST_F(CoreRunLoopTest, InvalidateStopsForGoodAndReleasesTheAction) {
    auto payload = std::make_shared<int>(0);
    std::weak_ptr<int> watch = payload;
    int fires = 0;
    std::shared_ptr<core::Timer> self;
    self = loop.scheduleRepeating(10ms, [&fires, payload, &self] {
        ++fires;
        self->invalidate(); // from inside its own action
    });
    payload.reset();

    clock->advance(10ms);
    EXPECT_EQ(loop.fireDueTimers(), 1u);
    EXPECT_FALSE(self->isValid());
    EXPECT_TRUE(watch.expired());
    clock->advance(100ms);
    EXPECT_EQ(loop.fireDueTimers(), 0u);
    EXPECT_EQ(fires, 1);

    // A timer invalidated by an earlier timer of the same pass does not fire.
    std::shared_ptr<core::Timer> second;
    auto first = loop.scheduleOnce(1ms, [&] { second->invalidate(); });
    second = loop.scheduleOnce(2ms, [&] { ADD_FAILURE() << "invalidated timer fired"; });
    clock->advance(5ms);
    EXPECT_EQ(loop.fireDueTimers(), 1u);
}

TEST_F(CoreRunLoopTest, RunOnceServicesQueueTimersAndWatchedDescriptors) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    std::string received;
    const auto watch = loop.watchFileDescriptor(pipeFds[0], POLLIN, [&](short revents) {
        EXPECT_TRUE(revents & POLLIN);
        char buffer[16];
        const auto n = ::read(pipeFds[0], buffer, sizeof buffer);
        received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    });

    EXPECT_FALSE(loop.runOnce(0ms));
    ASSERT_EQ(::write(pipeFds[1], "x11", 3), 3);
    EXPECT_TRUE(loop.runOnce(0ms));
    EXPECT_EQ(received, "x11");

    bool ran = false;
    queue.async([&] { ran = true; });
    EXPECT_TRUE(loop.runOnce(std::nullopt)); // pending work means no waiting
    EXPECT_TRUE(ran);

    int fires = 0;
    auto timer = loop.scheduleOnce(3ms, [&] { ++fires; });
    clock->advance(3ms);
    EXPECT_TRUE(loop.runOnce(std::nullopt)); // a due timer means no waiting
    EXPECT_EQ(fires, 1);

    loop.unwatchFileDescriptor(watch);
    ASSERT_EQ(::write(pipeFds[1], "y", 1), 1);
    EXPECT_FALSE(loop.runOnce(0ms));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

TEST_F(CoreRunLoopTest, InputALibraryAlreadyBufferedIsHandledWithoutWaiting) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int buffered = 0; // what a read-ahead library holds; the pipe itself stays empty
    int handled = 0;
    const auto watch = loop.watchFileDescriptor(
        pipeFds[0], POLLIN,
        [&](short revents) {
            EXPECT_TRUE(revents & POLLIN);
            handled += buffered;
            buffered = 0;
        },
        [&] { return buffered > 0; });
    EXPECT_FALSE(loop.runOnce(0ms));
    buffered = 2;
    EXPECT_TRUE(loop.runOnce(std::nullopt)); // would block forever on the empty pipe otherwise
    EXPECT_EQ(handled, 2);
    loop.unwatchFileDescriptor(watch);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

TEST(CoreRunLoopRealTime, RunUntilWakesForWorkFromOtherThreadsAndForTimers) {
    core::MainQueue queue;
    core::RunLoop loop(queue);
    bool delivered = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(20ms);
        queue.async([&] { delivered = true; });
    });
    EXPECT_TRUE(loop.runUntil([&] { return delivered; }, core::Clock::steady()->now() + 5s));
    worker.join();

    int fires = 0;
    const auto start = std::chrono::steady_clock::now();
    auto timer = loop.scheduleRepeating(5ms, [&] { ++fires; });
    EXPECT_TRUE(loop.runUntil([&] { return fires >= 3; }, start + 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 15ms);
    timer->invalidate();

    EXPECT_FALSE(loop.runUntil([] { return false; }, core::Clock::steady()->now() + 10ms));
    std::thread stopper([&] {
        std::this_thread::sleep_for(10ms);
        loop.stop();
    });
    EXPECT_FALSE(loop.runUntil([] { return false; }, core::Clock::steady()->now() + 5s));
    stopper.join();
}

} // namespace
