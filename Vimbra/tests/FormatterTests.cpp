#include "Vimbra/Formatters.hpp"

#include <gtest/gtest.h>

using core::FormatterValue;
using vimbra::ConstantNameFormatter;
using vimbra::ExpressionFormatter;

TEST(ConstantNameFormatter, ShowsTheSigilOnceAndEditsWhatFollowsIt) {
    ConstantNameFormatter f;
    EXPECT_EQ(f.requiredPrefix, "$");
    EXPECT_EQ(f.string(FormatterValue(std::string("pi"))), "$pi");
    EXPECT_EQ(f.string(FormatterValue(std::string("$pi"))), "$pi");
    EXPECT_EQ(f.editingString(FormatterValue(std::string("$pi"))), "pi");
    EXPECT_EQ(f.editingString(FormatterValue(std::string("a$b"))), "b"); // what stood before goes too
    EXPECT_EQ(f.editingString(FormatterValue(std::string("pi"))), "pi");
    EXPECT_EQ(f.string(FormatterValue(3.0)), std::nullopt);
    EXPECT_EQ(f.editingString(FormatterValue()), std::nullopt);

    // Display tests the sigil exactly; editing finds it ignoring case and accents.
    f.requiredPrefix = "é";
    EXPECT_EQ(f.string(FormatterValue(std::string("Epi"))), "éEpi");
    EXPECT_EQ(f.editingString(FormatterValue(std::string("Epi"))), "pi");
}

TEST(ConstantNameFormatter, AcceptsLettersOfAnyScriptDigitsAndDollarUnderscoreHyphenFullStop) {
    ConstantNameFormatter f;
    for (const char* name : {"", "pi", "$x_1", "a-b.c", "π2", "Größe", "٣"}) {
        FormatterValue value;
        std::string error;
        EXPECT_TRUE(f.getObjectValue(value, name, &error)) << name;
        EXPECT_EQ(value, FormatterValue(std::string(name))) << name;
        EXPECT_TRUE(error.empty());
    }
    for (const char* name : {"a b", "a+b", "x*", "tab\t"}) {
        FormatterValue value;
        std::string error;
        EXPECT_FALSE(f.getObjectValue(value, name, &error)) << name;
        EXPECT_EQ(error, "Constant names must only contain A-Z, a-z, 0-9 and the characters _ and $");
        EXPECT_FALSE(f.getObjectValue(value, name, nullptr)); // no place for the message
    }
    std::optional<std::string> replacement;
    EXPECT_TRUE(f.isPartialStringValid("$rate_", &replacement, nullptr));
    EXPECT_EQ(replacement, "$rate_");
    std::string error;
    EXPECT_FALSE(f.isPartialStringValid("rate ", &replacement, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ExpressionFormatter, NumbersAreNumbersAndEveryOtherTextPassesThrough) {
    ExpressionFormatter f("en_US");
    EXPECT_EQ(f.formatterBehavior(), core::NumberFormatter::Behavior::standard);
    EXPECT_TRUE(f.isLenient());

    for (const char* text : {"42", "-1.5", "1e5", "0x1p3", "inf", "NaN", ".5"}) {
        EXPECT_TRUE(ExpressionFormatter::isNumber(text)) << text;
    }
    for (const char* text : {"", " 3", "3 ", "\t3", "1,000", "2*x", "5 Hz", "1e"}) {
        EXPECT_FALSE(ExpressionFormatter::isNumber(text)) << text;
    }
    EXPECT_FALSE(ExpressionFormatter::isNumber(std::string_view("1\0002", 3)));

    // Expressions stay text, for display and as values; the empty text is the empty string.
    for (const char* text : {"2*x", " 3", ""}) {
        FormatterValue value;
        EXPECT_TRUE(f.getObjectValue(value, text, nullptr)) << text;
        EXPECT_EQ(value, FormatterValue(std::string(text))) << text;
        EXPECT_EQ(f.string(value), text);
        EXPECT_EQ(f.editingString(value), text);
    }

    // Numbers are parsed and formatted as numbers.
    FormatterValue value;
    EXPECT_TRUE(f.getObjectValue(value, "42", nullptr));
    EXPECT_EQ(value, FormatterValue(42.0));
    EXPECT_EQ(f.string(value), "42");
    EXPECT_TRUE(f.getObjectValue(value, "1e5", nullptr));
    EXPECT_EQ(value, FormatterValue(100000.0));
    EXPECT_EQ(f.string(FormatterValue()), std::nullopt);
}

TEST(ExpressionFormatter, APositiveSuffixIsShownOnceAndLeftOutOfTheEditingText) {
    ExpressionFormatter f("en_US");
    f.setPositiveSuffix(" Hz");
    EXPECT_EQ(f.string(FormatterValue(440.0)), "440 Hz");
    EXPECT_EQ(f.string(FormatterValue(std::string("440"))), "440 Hz"); // numeric text gets it appended
    EXPECT_EQ(f.editingString(FormatterValue(440.0)), "440");
    EXPECT_EQ(f.string(FormatterValue(std::string("2*f"))), "2*f");

    // The legacy behaviour leaves suffixes to the number formatter alone.
    f.setFormatterBehavior(core::NumberFormatter::Behavior::legacy);
    EXPECT_EQ(f.string(FormatterValue(std::string("440"))), "440");
}
