#include "updater/Feed.hpp"

#include <gtest/gtest.h>

namespace updater {
namespace {

constexpr const char* kFeed = R"(<?xml version="1.0"?>
<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
  <link>https://tessaray.app/</link>
  <item><sparkle:shortVersionString>1.2</sparkle:shortVersionString>
    <enclosure url=" https://tessaray.app/old.zip " length="1"/></item>
  <item><title>New</title><sparkle:shortVersionString> 1.10 </sparkle:shortVersionString>
    <enclosure url="http://tessaray.app/new.zip"/>
    <sparkle:releaseNotesLink>https://tessaray.app/notes/1.10</sparkle:releaseNotesLink>
    <link>https://tessaray.app/1.10</link></item>
  <item><sparkle:shortVersionString>1.010</sparkle:shortVersionString><link>javascript:alert(1)</link></item>
</channel></rss>)";

TEST(AppcastTest, ItemsAndTheNewestVersionAgreeWithThePluginsChecker) {
    const Appcast appcast = parseAppcast(kFeed);
    EXPECT_TRUE(appcast.wellFormed);
    SimpleSparklerChecker checker;
    checker.parse(kFeed);
    EXPECT_EQ(appcast.latestVersion, checker.latestVersion());
    EXPECT_EQ(appcast.latestVersion, "1.10") << "the first of equal weights wins";
    ASSERT_EQ(appcast.items.size(), 3u);
    EXPECT_EQ(appcast.items[0].enclosureURL, "https://tessaray.app/old.zip");
    EXPECT_EQ(appcast.items[1].version, "1.10");

    // Only https addresses are offered: the plain-http enclosure gives way to the release notes, and an
    // item with nothing secure falls back to the channel's page.
    EXPECT_EQ(appcast.downloadAddress("1.10"), "https://tessaray.app/notes/1.10");
    EXPECT_EQ(appcast.downloadAddress("1.2"), "https://tessaray.app/old.zip");
    EXPECT_EQ(appcast.downloadAddress("1.010"), "https://tessaray.app/");
    EXPECT_EQ(parseAppcast("<rss><item><sparkle:shortVersionString>2</sparkle:shortVersionString>"
                           "<link>https:nohost</link></item></rss>")
                  .downloadAddress("2"),
              std::nullopt);
}

TEST(AppcastTest, BrokenAndHostileFeedsAreNotWellFormed) {
    EXPECT_FALSE(parseAppcast("not xml").wellFormed);
    EXPECT_FALSE(parseAppcast("<rss><item>").wellFormed) << "cut short";
    const Appcast bomb =
        parseAppcast(R"(<!DOCTYPE rss [<!ENTITY a "aaaaaaaaaa">]>)"
                     "<rss><sparkle:shortVersionString>&a;</sparkle:shortVersionString></rss>");
    EXPECT_FALSE(bomb.wellFormed);
    EXPECT_EQ(bomb.latestVersion, std::nullopt);
    const Appcast empty = parseAppcast("<rss><channel/></rss>");
    EXPECT_TRUE(empty.wellFormed);
    EXPECT_EQ(empty.latestVersion, std::nullopt);
}

} // namespace
} // namespace updater
