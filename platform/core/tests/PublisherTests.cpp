#include "core/Publisher.hpp"

#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(CorePassthroughSubject, BroadcastsToCurrentSubscribersUntilCompletion) {
    core::PassthroughSubject<int> subject;
    std::vector<int> first;
    std::vector<std::string> second;
    int completions = 0;
    subject.send(0); // nobody listening yet
    auto a = subject.sink([&](const int& v) { first.push_back(v); }, [&] { ++completions; });
    auto b =
        subject.publisher().map([](int v) { return std::to_string(v * 2); }).sink([&](const std::string& s) {
            second.push_back(s);
        });
    subject.send(1);
    b.cancel();
    subject.send(2);
    EXPECT_EQ(first, (std::vector<int>{1, 2}));
    EXPECT_EQ(second, (std::vector<std::string>{"2"}));

    subject.sendCompletion();
    subject.send(3);
    subject.sendCompletion();
    EXPECT_EQ(first.size(), 2u);
    EXPECT_EQ(completions, 1);

    auto late = subject.sink([](const int&) {}, [&] { ++completions; });
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(subject.subscriberCount(), 0u);
}

TEST(CoreReceiveOnMain, DeliversOnMainThroughTheQueueAndDropsWhatCancellationOvertook) {
    auto& queue = core::MainQueue::shared();
    queue.drain();
    core::PassthroughSubject<int> subject;
    std::vector<int> received;
    auto sink = subject.publisher().receiveOnMain().sink([&](const int& v) {
        EXPECT_TRUE(core::isMainThread());
        received.push_back(v);
    });

    subject.send(1);
    EXPECT_EQ(received, (std::vector<int>{1})) << "main-thread value arrives before send returns";

    std::thread([&] {
        for (int v = 2; v <= 5; ++v) {
            subject.send(v);
        }
    }).join();
    EXPECT_EQ(received.size(), 1u);
    queue.drain();
    EXPECT_EQ(received, (std::vector<int>{1, 2, 3, 4, 5}));

    // Values and completion queued before cancellation are dropped.
    int completions = 0;
    auto cancelled =
        subject.publisher().receiveOnMain().sink([&](const int&) { ADD_FAILURE(); }, [&] { ++completions; });
    sink.cancel();
    std::thread([&] {
        subject.send(6);
        subject.sendCompletion();
    }).join();
    cancelled.cancel();
    queue.drain();
    EXPECT_EQ(completions, 0);
}

} // namespace
