#include "core/CollectionDifference.hpp"
#include "core/IndexSet.hpp"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(CoreIndexSet, MergesRangesAndAnswersMembershipAndCounts) {
    core::IndexSet set{5, 1, 2, 3, 9, 2, -4};
    EXPECT_EQ(set.toVector(), (std::vector<int>{1, 2, 3, 5, 9}));
    EXPECT_EQ(set.ranges().size(), 3u);
    set.insert(4); // bridges 1..3 and 5
    EXPECT_EQ(set.ranges(), (std::vector<core::IndexSet::Range>{{1, 6}, {9, 10}}));
    EXPECT_EQ(set.count(), 6u);
    EXPECT_EQ(set.countLess(3), 2u);
    EXPECT_EQ(set.countLess(100), 6u);
    EXPECT_TRUE(set.contains(5));
    EXPECT_FALSE(set.contains(6));
    EXPECT_FALSE(set.contains(0));

    set.remove(core::IndexSet::Range{2, 4});
    EXPECT_EQ(set.toVector(), (std::vector<int>{1, 4, 5, 9}));
    EXPECT_EQ(set.first(), 1);
    EXPECT_EQ(set.last(), 9);
    set.removeAll();
    EXPECT_TRUE(set.empty());
    EXPECT_FALSE(set.first());
    EXPECT_EQ(set.begin(), set.end());
}

TEST(CoreIndexPath, AppendsDropsAndOrdersPrefixesFirst) {
    const core::IndexPath path{1, 2};
    EXPECT_EQ(path.appending(0), (core::IndexPath{1, 2, 0}));
    EXPECT_EQ(path.droppingLast(), (core::IndexPath{1}));
    EXPECT_EQ(core::IndexPath().droppingLast(), core::IndexPath());
    EXPECT_LT(path, path.appending(0));
    EXPECT_LT((core::IndexPath{0, 9}), (core::IndexPath{1}));
}

template <class Sequence> void expectRoundTrip(const Sequence& from, const Sequence& to) {
    using T = typename Sequence::value_type;
    const auto difference = core::CollectionDifference<T>::between(from, to);
    EXPECT_EQ(difference.applied(from), to);
}

TEST(CoreCollectionDifference, FindsAShortestScriptThatTurnsOneIntoTheOther) {
    const std::string from = "kitten", to = "sitting";
    const auto difference = core::CollectionDifference<char>::between(from, to);
    EXPECT_EQ(difference.removals().size() + difference.insertions().size(), 5u); // k,e out; s,i,g in
    EXPECT_EQ(difference.applied(from), to);

    // Canonical order: removals from the highest offset down, then insertions upward.
    const auto changes = difference.changes();
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.front().kind, core::CollectionDifference<char>::Change::Kind::remove);
    EXPECT_GT(changes[0].offset, changes[1].offset);

    expectRoundTrip(std::vector<int>{}, std::vector<int>{1, 2});
    expectRoundTrip(std::vector<int>{1, 2, 3}, std::vector<int>{});
    expectRoundTrip(std::vector<int>{1, 1, 2, 1}, std::vector<int>{1, 2, 1, 1});
    EXPECT_TRUE(
        (core::CollectionDifference<int>::between(std::vector<int>{3, 4}, std::vector<int>{3, 4}).empty()));

    // Beyond the table limit it still produces a correct script.
    std::vector<int> big(3000), other(3000);
    for (int i = 0; i < 3000; ++i) {
        big[static_cast<std::size_t>(i)] = i;
        other[static_cast<std::size_t>(i)] = 3000 - i;
    }
    expectRoundTrip(big, other);
}

TEST(CoreCollectionDifference, RejectsClashingOffsetsAndChangesThatDoNotFit) {
    using Difference = core::CollectionDifference<int>;
    using Kind = Difference::Change::Kind;
    EXPECT_FALSE(Difference::make({{Kind::remove, 1, 7}, {Kind::remove, 1, 8}}));
    EXPECT_FALSE(Difference::make({{Kind::insert, -1, 7}}));
    const auto difference = Difference::make({{Kind::remove, 3, 4}, {Kind::insert, 0, 9}});
    ASSERT_TRUE(difference);
    EXPECT_EQ(difference->applied(std::vector<int>{1, 2, 3, 4}), (std::vector<int>{9, 1, 2, 3}));
    EXPECT_FALSE(difference->applied(std::vector<int>{1, 2, 3}));    // removal past the end
    EXPECT_FALSE(difference->applied(std::vector<int>{1, 2, 3, 5})); // a different element
}

} // namespace
