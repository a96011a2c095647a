#include "extension/ParameterTable.hpp"

#include <gtest/gtest.h>
#include <vector>

TEST(ParameterTable, KeepsTheSettingsOrderAndLooksUpByIdentifierAndAddress) {
    std::vector<uint64_t> addresses;
    for (const ParameterInfo& info : kParameterTable) {
        addresses.push_back(info.address);
        EXPECT_EQ(parameterByAddress(info.address), &info);
        EXPECT_EQ(parameterByIdentifier(info.identifier), &info);
        EXPECT_EQ(&kParameterTable[parameterIndex(info)], &info);
    }
    EXPECT_EQ(addresses,
              (std::vector<uint64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 17, 18, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(parameterByAddress(15)->unitNumber(), 24u);

    // The slot without a parameter, a slot past the end and near-miss identifiers find nothing.
    EXPECT_EQ(parameterByAddress(9), nullptr);
    EXPECT_EQ(parameterByAddress(19), nullptr);
    EXPECT_EQ(parameterByIdentifier("Bands"), nullptr);
    EXPECT_EQ(parameterByIdentifier("band"), nullptr);
    EXPECT_EQ(parameterByIdentifier(""), nullptr);
    EXPECT_FALSE(parameterByIdentifier("note")->contains(600.5f));
}
