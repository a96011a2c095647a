#include "core/Formatter.hpp"
#include "core/Unicode.hpp"

#include <gtest/gtest.h>

namespace {

core::FormatterValue read(const core::NumberFormatter& formatter, std::string_view text) {
    core::FormatterValue value;
    std::string error;
    EXPECT_TRUE(formatter.getObjectValue(value, text, &error)) << text << ": " << error;
    return value;
}

TEST(CoreNumberFormatter, RoundTripsInTheConventionsOfTwoLocales) {
    for (const auto& [locale, shown, decimal] :
         std::vector<std::tuple<std::string, std::string, std::string>>{{"en_US", "-1,234,567.125", "."},
                                                                        {"de_DE", "-1.234.567,125", ","}}) {
        core::NumberFormatter formatter(locale);
        formatter.setNumberStyle(core::NumberFormatter::Style::decimal);
        EXPECT_EQ(formatter.decimalSeparator(), decimal);
        EXPECT_EQ(formatter.string(-1234567.125), shown) << locale;
        EXPECT_EQ(read(formatter, shown), core::FormatterValue(-1234567.125)) << locale;
        EXPECT_EQ(formatter.string(0.0001), "0") << "three fraction digits at most";
    }
    core::NumberFormatter german("de_DE");
    german.setNumberStyle(core::NumberFormatter::Style::decimal);
    EXPECT_EQ(read(german, " 2,5 "), core::FormatterValue(2.5)) << "white space around is tolerated";
}

TEST(CoreNumberFormatter, RefusesTextThatIsNotWhollyANumberAndFormatsOnlyNumbers) {
    core::NumberFormatter formatter("en_US");
    EXPECT_EQ(formatter.string(2.5), "2") << "no fraction digits by default, half to even";
    EXPECT_EQ(formatter.string(3.5), "4");
    EXPECT_EQ(formatter.string(core::FormatterValue(std::string("12"))), std::nullopt);
    EXPECT_EQ(formatter.string(core::FormatterValue()), std::nullopt);

    core::FormatterValue value = 7.0;
    std::string error;
    for (const char* text : {"12abc", "", "   ", "abc", "1e999"}) {
        EXPECT_FALSE(formatter.getObjectValue(value, text, &error)) << text;
    }
    EXPECT_EQ(value, core::FormatterValue(7.0)) << "a failed read leaves the value alone";
    EXPECT_EQ(error, "The value \u201c1e999\u201d is invalid.");
    EXPECT_FALSE(formatter.getObjectValue(value, "x", nullptr));
}

TEST(CoreNumberFormatter, AffixesAndFractionDigitsApplyBothWays) {
    core::NumberFormatter formatter("en_US");
    formatter.setMinimumFractionDigits(2);
    formatter.setMaximumFractionDigits(2);
    formatter.setPositiveSuffix(" Hz");
    EXPECT_EQ(formatter.positiveSuffix(), " Hz");
    EXPECT_EQ(formatter.negativePrefix(), "-");
    EXPECT_EQ(formatter.string(440.0), "440.00 Hz");
    EXPECT_EQ(read(formatter, "440.5 Hz"), core::FormatterValue(440.5));
    EXPECT_FALSE(formatter.number("440.5"));
    formatter.setLenient(true);
    EXPECT_EQ(formatter.number("440.5"), 440.5) << "lenient reading forgives a missing suffix";

    formatter.setMaximumFractionDigits(1);
    EXPECT_EQ(formatter.minimumFractionDigits(), 1);
    EXPECT_EQ(formatter.string(1.25), "1.2 Hz");
}

TEST(CoreCharacterSet, ClassifiesByGeneralCategoryAndCombines) {
    const auto names = core::CharacterSet::alphanumerics().unioned(core::CharacterSet::characters("$_-."));
    EXPECT_TRUE(names.containsAll("Gr\u00fc\u00dfe_2-\u0665.x\u0301$"));
    EXPECT_FALSE(names.containsAll("a b"));
    EXPECT_FALSE(names.contains(U'+'));
    EXPECT_TRUE(names.containsAll(""));
    EXPECT_EQ(names.inverted().firstIndex("\u00e9t\u00e9 plus"), 5u) << "byte offset of the space";
    EXPECT_FALSE(names.inverted().firstIndex("\xff") == std::nullopt) << "malformed bytes are not letters";
    EXPECT_TRUE(core::CharacterSet::whitespacesAndNewlines().contains(U'\n'));
    EXPECT_FALSE(core::CharacterSet::whitespaces().contains(U'\n'));
    EXPECT_TRUE(core::CharacterSet::decimalDigits().contains(U'\u0663'));
    EXPECT_TRUE(core::CharacterSet::punctuationCharacters().contains(U'\u00bf'));
}

TEST(CoreLocalizedSearch, IgnoresCaseAndDiacriticsAndReportsByteRanges) {
    const std::string text = "Le Caf\u00c9 de la Gare";
    EXPECT_EQ(core::localizedStandardRange(text, "cafe", "fr_FR"), (core::TextRange{3, 5}));
    EXPECT_EQ(core::localizedStandardRange("Stra\u00dfe 5", "STRASSE", "de_DE"), (core::TextRange{0, 7}));
    EXPECT_TRUE(core::localizedStandardContains("r\u00e9sum\u00e9", "RESUME"));
    EXPECT_FALSE(core::localizedStandardContains("resume", "resumes"));
    EXPECT_FALSE(core::localizedStandardContains("abc", ""));
    // Decomposed text: the match covers the combining mark too.
    EXPECT_EQ(core::localizedStandardRange("xe\u0301y", "E", "en"), (core::TextRange{1, 3}));
    // The locale's collation decides: in Swedish "ö" is a letter of its own, in German an o.
    EXPECT_TRUE(core::localizedStandardContains("K\u00f6ln", "koln", "de_DE"));
    EXPECT_FALSE(core::localizedStandardContains("K\u00f6ln", "koln", "sv_SE"));
}

} // namespace
