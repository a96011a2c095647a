#include "Vimbra/ControlState.hpp"

#include <gtest/gtest.h>
#include <string>
#include <unordered_set>

using namespace vimbra;

using S = StyledControlState;

TEST(StyledControlState, DescriptionCountsAndComponents) {
    EXPECT_EQ(S(1).description(), "default");
    EXPECT_EQ(S(43).description(), "default, disabled, highlighted, on");
    EXPECT_EQ(S(0).description(), "");
    EXPECT_EQ(S(256).description(), "");
    EXPECT_EQ(S(255).description(), "default, disabled, selected, highlighted, focused, on, mixed, invalid");

    EXPECT_EQ(S(43).nonDefaultCount(), 3);
    EXPECT_EQ(S(1 | 256).nonDefaultCount(), 0);
    EXPECT_EQ(S(43).countOfSetOptions(), 4);

    // components always starts with default, even when its bit is clear.
    EXPECT_EQ(S(40).components(), (std::vector<S>{S::default_, S::highlighted, S::on}));
    EXPECT_EQ(S(40).toArray(), (std::vector<S>{S::highlighted, S::on}));

    // States differing only above bit 128 hash alike but stay distinct keys.
    EXPECT_EQ(std::hash<S>{}(S(1)), std::hash<S>{}(S(1 | 512)));
    std::unordered_set<S> keys{S(1), S(1 | 512)};
    EXPECT_EQ(keys.size(), 2u);
}

TEST(StateValue, BestMatchFollowsTheSubsetRuleAndFallsBackToDefault) {
    const StateTable<std::string> four{{S::default_, "default"},
                                       {S::disabled, "disabled"},
                                       {S::on, "on"},
                                       {S::disabled | S::on, "disabled+on"}};
    EXPECT_EQ(stateValue(S(43), four), "disabled+on");
    EXPECT_EQ(stateValue(S::on, four), "on"); // exact key

    const StateTable<std::string> onlyDefault{{S::default_, "A"}};
    EXPECT_EQ(stateValue(S(0), onlyDefault), "A");
    EXPECT_EQ(stateValue(S(0), StateTable<std::string>{}), std::nullopt);
    EXPECT_EQ(stateValue(S::disabled, onlyDefault), "A");

    const StateTable<std::string> ab{{S::default_, "A"}, {S::disabled, "B"}};
    EXPECT_EQ(stateValue(S(35), ab), "B");

    const StateTable<std::string> notSubset{{S::default_, "A"}, {S::invalid | S::disabled, "C"}};
    EXPECT_EQ(stateValue(S(129), notSubset), "A");

    // A key holding the default bit only matches states that hold it too.
    const StateTable<std::string> withDefaultBit{{S::default_ | S::on, "X"}};
    EXPECT_EQ(stateValue(S::on, withDefaultBit), std::nullopt);
    EXPECT_EQ(stateValue(S::default_ | S::on | S::highlighted, withDefaultBit), "X");

    // No fitting key and no default entry: nothing.
    EXPECT_EQ(stateValue(S::mixed, StateTable<std::string>{{S::disabled, "B"}}), std::nullopt);
}

TEST(StateValue, TiesGoToTheLowestRawValue) {
    // on+highlighted has two candidates of one member each: highlighted (8) wins over on (32).
    const StateTable<std::string> push{
        {S::default_, "button"}, {S::on, "selected"}, {S::highlighted, "down"}};
    EXPECT_EQ(stateValue(S::default_ | S::on | S::highlighted, push), "down");
    // selected (4) wins over highlighted (8).
    const StateTable<std::string> tabs{
        {S::default_, "tab"}, {S::selected, "selected"}, {S::highlighted, "down"}};
    EXPECT_EQ(stateValue(S::default_ | S::selected | S::highlighted, tabs), "selected");
}
