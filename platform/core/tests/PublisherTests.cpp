#include "core/NotificationCenter.hpp"
#include "core/Publisher.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A subscriber that asks for a fixed number of values up front and records what it gets.
template <class T> struct Recorder final : core::Subscriber<T> {
    explicit Recorder(core::Demand initial, core::Demand perValue = core::Demand::none())
        : initial(initial), perValue(perValue) {}
    void receive(std::shared_ptr<core::Subscription> s) override {
        subscription = s;
        s->request(initial);
    }
    core::Demand receive(const T& value) override {
        values.push_back(value);
        return perValue;
    }
    void receiveCompletion() override { ++completions; }

    core::Demand initial;
    core::Demand perValue;
    std::shared_ptr<core::Subscription> subscription;
    std::vector<T> values;
    int completions = 0;
};

TEST(CoreDemand, AddsSaturatingAndConsumes) {
    auto d = core::Demand::max(2);
    d += core::Demand::max(3);
    EXPECT_EQ(d, core::Demand::max(5));
    d.consumeOne();
    EXPECT_EQ(d.count(), 4u);
    EXPECT_TRUE((core::Demand::max(1) + core::Demand::unlimited()).isUnlimited());
    EXPECT_TRUE((core::Demand::max(SIZE_MAX - 1) + core::Demand::max(5)).isUnlimited());
    auto none = core::Demand::none();
    none.consumeOne();
    EXPECT_TRUE(none.isNone());
}

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

TEST(CorePassthroughSubject, DeliversOnlyWithinDemandAndDropsTheRest) {
    core::PassthroughSubject<int> subject;
    auto limited = std::make_shared<Recorder<int>>(core::Demand::max(2));
    auto topUp = std::make_shared<Recorder<int>>(core::Demand::max(1), core::Demand::max(1));
    auto idle = std::make_shared<Recorder<int>>(core::Demand::none());
    subject.publisher().receive(limited);
    subject.publisher().receive(topUp);
    subject.publisher().receive(idle);

    for (int v = 1; v <= 4; ++v) {
        subject.send(v);
    }
    EXPECT_EQ(limited->values, (std::vector<int>{1, 2}));
    EXPECT_EQ(topUp->values, (std::vector<int>{1, 2, 3, 4})) << "each value returned one more";
    EXPECT_TRUE(idle->values.empty());

    // A later request sees only later values: the subject buffers nothing.
    limited->subscription->request(core::Demand::max(1));
    subject.send(5);
    subject.send(6);
    EXPECT_EQ(limited->values, (std::vector<int>{1, 2, 5}));

    // Completion reaches every subscriber whatever its demand.
    subject.sendCompletion();
    EXPECT_EQ(limited->completions + topUp->completions + idle->completions, 3);
}

TEST(CorePassthroughSubject, CancellingInsideACallbackStopsAtOnceAndDestructionCompletes) {
    std::vector<int> received;
    int completions = 0;
    core::AnyCancellable first;
    core::CancellableSet bag;
    {
        core::PassthroughSubject<int> subject;
        first = subject.sink([&](const int& v) {
            received.push_back(v);
            if (v == 2) {
                first.cancel();
            }
        });
        subject.sink([](const int&) {}, [&] { ++completions; }).store(bag);
        subject.send(1);
        subject.send(2);
        subject.send(3);
        EXPECT_EQ(subject.subscriberCount(), 1u);
        EXPECT_EQ(completions, 0);
    }
    EXPECT_EQ(received, (std::vector<int>{1, 2}));
    EXPECT_EQ(completions, 1) << "a destroyed subject completes its subscribers";
}

TEST(CorePassthroughSubject, SubscribingToADestroyedSubjectCompletesAtOnce) {
    auto subject = std::make_unique<core::PassthroughSubject<int>>();
    const auto publisher = subject->publisher();
    subject.reset();
    int completions = 0;
    auto token = publisher.sink([](const int&) { ADD_FAILURE(); }, [&] { ++completions; });
    EXPECT_EQ(completions, 1);
}

TEST(CorePassthroughSubject, ValuesFromManyThreadsReachEachSubscriberOneAtATime) {
    core::PassthroughSubject<int> subject;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    long sum = 0; // unguarded: deliveries to one subscriber are serialised
    auto token = subject.sink([&](const int& v) {
        if (inside.fetch_add(1) != 0) {
            overlapped = true;
        }
        sum += v;
        inside.fetch_sub(1);
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t) {
        senders.emplace_back([&subject] {
            for (int i = 1; i <= 500; ++i) {
                subject.send(i);
            }
        });
    }
    // Meanwhile another thread subscribes and cancels repeatedly.
    std::thread churn([&subject] {
        for (int i = 0; i < 200; ++i) {
            auto t = subject.sink([](const int&) {});
        }
    });
    for (auto& s : senders) {
        s.join();
    }
    churn.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(sum, 4L * 500 * 501 / 2);
}

TEST(CoreCurrentValueSubject, NewSubscribersStartFromTheCurrentValueWhenTheyAsk) {
    core::CurrentValueSubject<std::string> subject("a");
    std::vector<std::string> seen;
    auto token = subject.sink([&](const std::string& s) { seen.push_back(s); });
    subject.send("b");
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(subject.value(), "b");

    auto lazy = std::make_shared<Recorder<std::string>>(core::Demand::none());
    subject.publisher().receive(lazy);
    subject.send("c");
    EXPECT_TRUE(lazy->values.empty());
    lazy->subscription->request(core::Demand::max(2));
    subject.send("d");
    subject.send("e");
    EXPECT_EQ(lazy->values, (std::vector<std::string>{"c", "d"}));

    subject.sendCompletion();
    subject.send("f");
    EXPECT_EQ(subject.value(), "e");
    EXPECT_EQ(lazy->completions, 1);
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

TEST(CoreReceiveOnMain, SubscribingFromAnotherThreadHandsTheSubscriptionOverOnMain) {
    auto& queue = core::MainQueue::shared();
    queue.drain();
    core::PassthroughSubject<int> subject;
    auto recorder = std::make_shared<Recorder<int>>(core::Demand::unlimited());
    std::thread([&] { subject.publisher().receiveOnMain().receive(recorder); }).join();
    EXPECT_EQ(recorder->subscription, nullptr);
    queue.drain();
    ASSERT_NE(recorder->subscription, nullptr);
    subject.send(7);
    EXPECT_EQ(recorder->values, (std::vector<int>{7}));

    // Demand requested after cancellation never reaches the upstream.
    recorder->subscription->cancel();
    recorder->subscription->request(core::Demand::max(1));
    EXPECT_EQ(subject.subscriberCount(), 0u);
}

TEST(CoreNotificationPublisher, PublishesPostsOfItsNameWithinDemand) {
    core::NotificationCenter center;
    auto recorder = std::make_shared<Recorder<core::Notification>>(core::Demand::max(1));
    center.publisher("changed").receive(recorder);
    center.post("other");
    center.post("changed");
    center.post("changed");
    EXPECT_EQ(recorder->values.size(), 1u);
    recorder->subscription->cancel();
    center.post("changed");
    EXPECT_EQ(recorder->values.size(), 1u);
}

TEST(CorePublisherOperators, FilterCountsOnlyAcceptedValuesAgainstTheDemand) {
    core::PassthroughSubject<int> subject;
    auto evens = std::make_shared<Recorder<int>>(core::Demand::max(2));
    subject.publisher().filter([](int v) { return v % 2 == 0; }).receive(evens);
    for (int v = 1; v <= 7; ++v) {
        subject.send(v);
    }
    // Refused values gave their demand back: two accepted values, not two values seen.
    EXPECT_EQ(evens->values, (std::vector<int>{2, 4}));
    subject.sendCompletion();
    EXPECT_EQ(evens->completions, 1);
}

TEST(CorePublisherOperators, MergeInterleavesBothSourcesAndEndsWithTheLastOfThem) {
    core::PassthroughSubject<int> a;
    core::PassthroughSubject<int> b;
    std::vector<int> seen;
    int completions = 0;
    auto merged = a.publisher()
                      .merge(b.publisher())
                      .sink([&](const int& v) { seen.push_back(v); }, [&] { ++completions; });
    a.send(1);
    b.send(10);
    a.send(2);
    EXPECT_EQ(seen, (std::vector<int>{1, 10, 2}));
    a.sendCompletion();
    b.send(11);
    EXPECT_EQ(completions, 0) << "one source is still open";
    b.sendCompletion();
    EXPECT_EQ(seen, (std::vector<int>{1, 10, 2, 11}));
    EXPECT_EQ(completions, 1);

    // Within demand across both sources, and cancelling lets go of both.
    core::PassthroughSubject<int> c;
    core::PassthroughSubject<int> d;
    auto two = std::make_shared<Recorder<int>>(core::Demand::max(2));
    c.publisher().merge(d.publisher()).receive(two);
    c.send(1);
    d.send(2);
    d.send(3);
    EXPECT_EQ(two->values, (std::vector<int>{1, 2}));
    EXPECT_EQ(c.subscriberCount(), 1u);
    two->subscription->cancel();
    EXPECT_EQ(c.subscriberCount(), 0u);
    EXPECT_EQ(d.subscriberCount(), 0u);
}

TEST(CorePublisherOperators, MergedNotificationsFilteredByObjectReachOnlyTheirObserver) {
    core::NotificationCenter center;
    int own = 0;
    int other = 0;
    std::vector<std::string> names;
    auto sink = center.publisher("frame")
                    .merge(center.publisher("bounds"))
                    .filter([&](const core::Notification& n) { return n.object == &own; })
                    .sink([&](const core::Notification& n) { names.push_back(n.name); });
    center.post("frame", &own);
    center.post("bounds", &other);
    center.post("bounds", &own);
    center.post("moved", &own);
    EXPECT_EQ(names, (std::vector<std::string>{"frame", "bounds"}));
}

} // namespace
