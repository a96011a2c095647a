#include "core/NotificationCenter.hpp"
#include "core/Observation.hpp"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

template <class T, class P>
std::shared_ptr<int> countNotifications(core::Observed<T, P>& property,
                                        std::vector<core::Cancellable>& tokens) {
    auto count = std::make_shared<int>(0);
    property.observe([count](const T&) { ++*count; }).store(tokens);
    return count;
}

TEST(CoreObserved, NotifiesOnlyWhenTheWrittenValueDiffers) {
    std::vector<core::Cancellable> tokens;

    core::Observed<float> number(1.0f);
    auto numberCount = countNotifications(number, tokens);
    number = 1.0f;
    number = 2.0f;
    number = 2.0f;
    EXPECT_EQ(*numberCount, 1);
    EXPECT_EQ(number.get(), 2.0f);

    core::Observed<std::vector<float>> bands;
    auto bandCount = countNotifications(bands, tokens);
    bands = std::vector<float>{};
    bands = std::vector<float>{0.5f, 0.25f};
    bands = std::vector<float>{0.5f, 0.25f};
    bands = std::vector<float>{0.5f, 0.75f};
    bands = std::vector<float>{0.5f};
    EXPECT_EQ(*bandCount, 3);

    core::Observed<std::optional<int>> index;
    auto indexCount = countNotifications(index, tokens);
    index = std::nullopt;
    index = 0;
    index = 0;
    index = std::nullopt;
    EXPECT_EQ(*indexCount, 2);

    // Objects compare by identity, not by their contents.
    auto a = std::make_shared<int>(5);
    auto b = std::make_shared<int>(5);
    core::Observed<std::shared_ptr<int>> object(a);
    auto objectCount = countNotifications(object, tokens);
    object = a;
    object = b;
    EXPECT_EQ(*objectCount, 1);

    core::AlwaysObserved<std::optional<std::string>> details;
    auto detailsCount = countNotifications(details, tokens);
    details = std::nullopt;
    details = std::string("1.2");
    details = std::string("1.2");
    EXPECT_EQ(*detailsCount, 3);
}

TEST(CoreObserved, TokensUnregisterAndObserversMayUnregisterWhileNotified) {
    core::Observed<int> value(0);
    std::vector<int> seen;
    auto token = value.observe([&](const int& v) { seen.push_back(v); });
    value = 1;
    token.cancel();
    value = 2;
    {
        auto scoped = value.observe([&](const int& v) { seen.push_back(v * 10); });
        value = 3;
    }
    value = 4;
    EXPECT_EQ(seen, (std::vector<int>{1, 30}));

    // The first observer drops the second before it is reached.
    core::Cancellable second;
    int firstCalls = 0;
    auto first = value.observe([&](const int&) {
        ++firstCalls;
        second.cancel();
    });
    second = value.observe([&](const int&) { ADD_FAILURE() << "cancelled observer called"; });
    value = 5;
    EXPECT_EQ(firstCalls, 1);

    // A token that outlives its property is harmless.
    auto orphan = std::make_unique<core::Observed<int>>(0);
    auto orphanToken = orphan->observe([](const int&) {});
    orphan.reset();
    orphanToken.cancel();
}

TEST(CoreObserved, TrackingReportsTheFirstChangeOfAnyPropertyReadOnce) {
    core::Observed<int> read(1);
    core::Observed<int> alsoRead(2);
    core::Observed<int> notRead(3);
    int changes = 0;
    auto tracking = core::withObservationTracking(
        [&] {
            (void)read.get();
            (void)(alsoRead.get() + read.get());
            (void)notRead.peek();
        },
        [&] {
            ++changes;
            EXPECT_EQ(alsoRead.peek(), 20) << "called after the value is stored";
        });
    notRead = 30;
    read = 1; // equal write: no change
    EXPECT_EQ(changes, 0);
    alsoRead = 20;
    read = 10;
    EXPECT_EQ(changes, 1);

    int cancelledChanges = 0;
    auto cancelled = core::withObservationTracking([&] { (void)read.get(); }, [&] { ++cancelledChanges; });
    cancelled.cancel();
    read = 11;
    EXPECT_EQ(cancelledChanges, 0);
}

TEST(CoreNotificationCenter, DeliversByNameAndOptionalObject) {
    core::NotificationCenter center;
    int windowA = 0;
    int windowB = 0;
    std::vector<std::string> all;
    std::vector<std::string> fromA;
    std::string lastKey;
    auto anyObject = center.addObserver("didBecomeKey", [&](const core::Notification& n) {
        all.push_back(n.name);
        if (const auto* key = n.info<std::string>("key")) {
            lastKey = *key;
        }
    });
    auto onlyA = center.addObserver("didBecomeKey", &windowA, [&](const core::Notification& n) {
        EXPECT_EQ(n.object, &windowA);
        fromA.push_back(n.name);
    });
    auto everything =
        center.addObserver("", [&](const core::Notification& n) { all.push_back("*" + n.name); });

    center.post("didBecomeKey", &windowA, {{"key", std::string("value")}});
    center.post("didBecomeKey", &windowB);
    center.post("didResignKey", &windowA);
    EXPECT_EQ(fromA.size(), 1u);
    EXPECT_EQ(lastKey, "value");
    EXPECT_EQ(all, (std::vector<std::string>{"didBecomeKey", "*didBecomeKey", "didBecomeKey", "*didBecomeKey",
                                             "*didResignKey"}));

    onlyA.cancel();
    center.post("didBecomeKey", &windowA);
    EXPECT_EQ(fromA.size(), 1u);

    int published = 0;
    auto sink = center.publisher("tick").sink([&](const core::Notification&) { ++published; });
    center.post("tick");
    sink.cancel();
    center.post("tick");
    EXPECT_EQ(published, 1);
}

} // namespace
