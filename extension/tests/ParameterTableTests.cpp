#include "extension/ParameterTable.hpp"

#include <gtest/gtest.h>
#include <vector>

TEST(ParameterTable, KeepsTheSettingsOrderAndAddresses) {
    std::vector<uint64_t> addresses;
    for (const ParameterInfo& info : kParameterTable) {
        addresses.push_back(info.address);
    }
    EXPECT_EQ(addresses,
              (std::vector<uint64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 17, 18, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(kParameterTable.front().identifier, "bands");
    EXPECT_EQ(kParameterTable.back().identifier, "gateRelease");
}

TEST(ParameterTable, LooksUpByIdentifierAndAddress) {
    const ParameterInfo* morphX = parameterByIdentifier("morphX");
    ASSERT_NE(morphX, nullptr);
    EXPECT_EQ(morphX->address, 17u);
    EXPECT_EQ(morphX->name, "Morph X");
    EXPECT_EQ(parameterIndex(*morphX), 9u);
    EXPECT_EQ(parameterByAddress(17), morphX);

    const ParameterInfo* attack = parameterByAddress(15);
    ASSERT_NE(attack, nullptr);
    EXPECT_EQ(attack->identifier, "gateAttack");
    EXPECT_FLOAT_EQ(attack->minimum, 0.1f);
    EXPECT_EQ(attack->unitNumber(), 24u);
    EXPECT_EQ(attack->increment, ParameterIncrement::logarithmic);

    // The slot without a parameter, a slot past the end and near-miss identifiers find nothing.
    EXPECT_EQ(parameterByAddress(9), nullptr);
    EXPECT_EQ(parameterByAddress(19), nullptr);
    EXPECT_EQ(parameterByIdentifier("Bands"), nullptr);
    EXPECT_EQ(parameterByIdentifier("band"), nullptr);
    EXPECT_EQ(parameterByIdentifier(""), nullptr);
    EXPECT_FALSE(parameterByIdentifier("note")->contains(600.5f));
}
