#include "core/Text.hpp"
#include "core/URL.hpp"

#include <clocale>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

TEST(CoreNumbers, PlainDecimalParsingAcceptsOnlyWholeDecimalText) {
    EXPECT_EQ(core::parseDecimal("12.5"), 12.5);
    EXPECT_EQ(core::parseDecimal("-0.25"), -0.25);
    EXPECT_EQ(core::parseDecimal("+3"), 3.0);
    EXPECT_EQ(core::parseDecimal(".5"), 0.5);
    EXPECT_EQ(core::parseDecimal("5."), 5.0);
    EXPECT_EQ(core::parseDecimal("1e3"), 1000.0);
    EXPECT_EQ(core::parseDecimalFloat("20000"), 20000.0f);
    for (const char* bad : {"", "abc", " 12", "12 ", "12abc", "nan", "NaN", "inf", "-infinity", "0x10", "1e",
                            ".", "-", "+-1", "1,5", "1e400"}) {
        EXPECT_EQ(core::parseDecimal(bad), std::nullopt) << '"' << bad << '"';
    }
    EXPECT_EQ(core::parseDecimalFloat("1e39"), std::nullopt);

    EXPECT_EQ(core::parseInteger("42"), 42);
    EXPECT_EQ(core::parseInteger("+7"), 7);
    EXPECT_EQ(core::parseInteger("-9223372036854775808"), INT64_MIN);
    for (const char* bad : {"", "+", "-", "1.0", " 1", "9223372036854775808", "0b2", "+-3"}) {
        EXPECT_EQ(core::parseInteger(bad), std::nullopt) << '"' << bad << '"';
    }
}

TEST(CoreNumbers, FormattingAndParsingIgnoreTheProcessLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (german) {
        char printed[16];
        std::snprintf(printed, sizeof printed, "%.1f", 12.5);
        EXPECT_STREQ(printed, "12,5") << "the C library does follow the locale";
    }
    EXPECT_EQ(core::formatFixed(12.4, 0), "12");
    EXPECT_EQ(core::formatFixed(-0.5, 1), "-0.5");
    EXPECT_EQ(core::formatFixed(2.345, 2), "2.35");
    EXPECT_EQ(core::formatFixed(1e20, 1), "100000000000000000000.0");
    EXPECT_EQ(core::formatFixed(-1e308, 0).size(), 310u);
    EXPECT_EQ(core::formatShortest(0.1f), "0.1");
    EXPECT_EQ(core::formatShortest(1234.5), "1234.5");
    EXPECT_EQ(core::formatInteger(-3), "-3");
    EXPECT_EQ(core::parseDecimal("12.5"), 12.5);
    EXPECT_EQ(core::parseDecimal("12,5"), std::nullopt);
    std::setlocale(LC_ALL, previous.c_str());
    if (!german) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed; checked in the C locale only";
    }
}

TEST(CoreUnicode, CaseMappingAndTrimmingFollowUnicode) {
    EXPECT_EQ(core::uppercased("straße"), "STRASSE");
    EXPECT_EQ(core::uppercased("Ghost Choir"), "GHOST CHOIR");
    EXPECT_EQ(core::uppercased("ǆemal"), "ǄEMAL");
    EXPECT_EQ(core::lowercased("ÉCOLE"), "école");
    EXPECT_EQ(core::uppercased(""), "");
    EXPECT_EQ(core::uppercased("istanbul"), "ISTANBUL") << "no locale's rules";
    EXPECT_EQ(core::lowercased("ISPARTA"), "isparta");

    // A locale's own rules, by name: Turkish keeps the dot apart from the letter.
    EXPECT_EQ(core::localizedUppercased("istanbul", "tr_TR"), "İSTANBUL");
    EXPECT_EQ(core::localizedLowercased("ISPARTA", "tr_TR"), "ısparta");
    EXPECT_EQ(core::localizedUppercased("straße", "de_DE"), "STRASSE");

    EXPECT_EQ(core::trimmingWhitespace("  \n\t1.2.0\r\n "), "1.2.0");
    EXPECT_EQ(core::trimmingWhitespace("\u00a0\u2003 1 2 \u2028"), "1 2");
    EXPECT_EQ(core::trimmingWhitespace(" \n "), "");
}

TEST(CoreUnicode, ValidUTF8ReplacesBrokenSequencesAndNeverSplitsACharacter) {
    EXPECT_EQ(core::validUTF8("Caf\xC3\xA9 \xF0\x9F\x8E\xB5", 64), "Caf\xC3\xA9 \xF0\x9F\x8E\xB5");
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(core::validUTF8(std::string("a\xFF") + "b\xC3", 64), "a" + replacement + "b" + replacement);
    EXPECT_EQ(core::validUTF8("\xED\xA0\x80", 64), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD") << "a surrogate";
    EXPECT_EQ(core::validUTF8("ab\xC3\xA9", 3), "ab");
    EXPECT_EQ(core::validUTF8("ab\xC3\xA9", 4), "ab\xC3\xA9");
    EXPECT_EQ(core::validUTF8("ab\xFF", 4), "ab") << "the replacement does not fit either";
    EXPECT_EQ(core::validUTF8(std::string(std::size_t{1} << 20, 'x'), 128), std::string(128, 'x'));
}

TEST(CoreURL, SplitsPartsWithoutFoldingCase) {
    const auto app = core::URL::parse("tessaray://openAndUpdate");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->scheme(), "tessaray");
    EXPECT_EQ(app->host(), "openAndUpdate");
    EXPECT_EQ(app->path(), "");

    const auto upper = core::URL::parse("Tessaray://OPENANDUPDATE/");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->scheme(), "Tessaray");
    EXPECT_EQ(upper->host(), "OPENANDUPDATE");

    const auto feed =
        core::URL::parse("https://user@updates.example.com:8443/tessaray/tessaray.xml?a=1&b=x%20y#top");
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->user(), "user");
    EXPECT_EQ(feed->host(), "updates.example.com");
    EXPECT_EQ(feed->port(), 8443);
    EXPECT_EQ(feed->path(), "/tessaray/tessaray.xml");
    EXPECT_EQ(feed->query(), "a=1&b=x%20y");
    EXPECT_EQ(feed->fragment(), "top");
    const auto items = feed->queryItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1], (std::pair<std::string, std::string>{"b", "x y"}));

    const auto ipv6 = core::URL::parse("http://[::1]:80/x");
    ASSERT_TRUE(ipv6);
    EXPECT_EQ(ipv6->host(), "[::1]");
    EXPECT_EQ(ipv6->port(), 80);

    const auto file = core::URL::parse("file:///tmp/a%20b.bin");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->host(), std::nullopt);
    EXPECT_EQ(file->filePath(), std::filesystem::path("/tmp/a b.bin"));
    EXPECT_EQ(core::URL::fileURL("/tmp/a b#1.bin").string(), "file:///tmp/a%20b%231.bin");

    const auto mail = core::URL::parse("mailto:someone@example.com");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->host(), std::nullopt);
    EXPECT_EQ(mail->path(), "someone@example.com");

    const auto relative = core::URL::parse("plugins/index.html");
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->scheme(), std::nullopt);

    for (const char* bad :
         {"", "has space://x", "http://exa mple.com", "http://x/%zz", "http://x/%4", "1http://x",
          "http://x:99999/", "http://x:8a/", "http://[::1/", "http://x/\x01", "http://x/ü"}) {
        EXPECT_EQ(core::URL::parse(bad), std::nullopt) << '"' << bad << '"';
    }
}

TEST(CoreURL, PercentEncodingRoundTripsAndRejectsBrokenEscapes) {
    EXPECT_EQ(core::percentEncode("a b/ü~"), "a%20b%2F%C3%BC~");
    EXPECT_EQ(core::percentEncode("a b/c", "/"), "a%20b/c");
    EXPECT_EQ(core::percentDecode("a%20b%2F%C3%BC~"), "a b/ü~");
    EXPECT_EQ(core::percentDecode("100%"), std::nullopt);
    EXPECT_EQ(core::percentDecode("%g0"), std::nullopt);
}

} // namespace
