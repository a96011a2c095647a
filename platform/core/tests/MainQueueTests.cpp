#include "core/MainQueue.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <thread>
#include <vector>

namespace {

bool isReadable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

TEST(CoreMainQueue, RunsTasksLaterInSubmissionOrderFromEveryThread) {
    core::MainQueue queue;
    std::vector<std::pair<int, int>> ran;
    constexpr int kThreads = 4;
    constexpr int kTasksPerThread = 200;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&queue, &ran, t] {
            for (int i = 0; i < kTasksPerThread; ++i) {
                queue.async([&ran, t, i] { ran.emplace_back(t, i); });
            }
        });
    }
    for (auto& producer : producers) {
        producer.join();
    }
    EXPECT_TRUE(ran.empty()) << "nothing runs before the main thread drains";
    EXPECT_EQ(queue.drain(), static_cast<std::size_t>(kThreads * kTasksPerThread));

    // Each producer's tasks keep their order.
    std::map<int, int> next;
    for (const auto& [thread, index] : ran) {
        EXPECT_EQ(index, next[thread]) << "thread " << thread;
        next[thread] = index + 1;
    }
    EXPECT_EQ(ran.size(), static_cast<std::size_t>(kThreads * kTasksPerThread));
}

TEST(CoreMainQueue, NeverRunsInlineDrainRunsNestedWorkRunPendingDoesNot) {
    core::MainQueue queue;
    std::vector<std::string> order;
    queue.async([&] {
        order.push_back("outer");
        queue.async([&] { order.push_back("nested"); });
        order.push_back("outer-end");
    });
    queue.async([&] { order.push_back("second"); });
    EXPECT_TRUE(order.empty());

    EXPECT_EQ(queue.drain(), 3u);
    EXPECT_EQ(order, (std::vector<std::string>{"outer", "outer-end", "second", "nested"}));
    EXPECT_EQ(queue.pendingCount(), 0u);

    // runPending leaves work queued meanwhile for the next turn.
    int runs = 0;
    std::function<void()> requeue = [&] {
        ++runs;
        queue.async(requeue);
    };
    queue.async(requeue);
    EXPECT_EQ(queue.runPending(), 1u);
    EXPECT_EQ(queue.runPending(), 1u);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(queue.pendingCount(), 1u);
}

TEST(CoreMainQueue, WakeDescriptorIsReadableExactlyWhileWorkWaits) {
    core::MainQueue queue;
    EXPECT_FALSE(isReadable(queue.wakeFd()));

    std::thread([&] { queue.async([] {}); }).join();
    EXPECT_TRUE(isReadable(queue.wakeFd()));
    queue.async([] {});
    EXPECT_TRUE(isReadable(queue.wakeFd()));

    queue.drain();
    EXPECT_FALSE(isReadable(queue.wakeFd()));
}

TEST(CoreMainQueue, TaskThatThrowsLeavesTheRestQueued) {
    core::MainQueue queue;
    bool laterRan = false;
    queue.async([] { throw std::runtime_error("boom"); });
    queue.async([&] { laterRan = true; });
    EXPECT_THROW(queue.drain(), std::runtime_error);
    EXPECT_FALSE(laterRan);
    EXPECT_EQ(queue.drain(), 1u);
    EXPECT_TRUE(laterRan);
}

TEST(CoreMainQueue, RunOnMainAndWaitIsInlineOnMainHopsFromOtherThreadsAndTheRoleMoves) {
    ASSERT_TRUE(core::isMainThread());
    EXPECT_EQ(core::runOnMainAndWait([] { return 7; }), 7);

    std::atomic<bool> onMain{false};
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker([&] {
        EXPECT_FALSE(core::isMainThread());
        result = core::runOnMainAndWait([&] {
            onMain = core::isMainThread();
            return 42;
        });
        done = true;
    });
    while (!done) {
        core::MainQueue::shared().drain();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(onMain);

    // Another thread can claim the main role.
    std::thread([] {
        core::claimMainThread();
        EXPECT_TRUE(core::isMainThread());
    }).join();
    EXPECT_FALSE(core::isMainThread());
    core::claimMainThread();
    EXPECT_TRUE(core::isMainThread());
}

} // namespace
