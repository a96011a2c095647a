#include "extension/UpdateCheck.hpp"

#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(UpdateCheckTest, VersionWeights) {
    EXPECT_EQ(convertVersionToWeight("1.2.3"), 10203);
    EXPECT_EQ(convertVersionToWeight("1.2.3.4"), 10207);
    EXPECT_EQ(convertVersionToWeight("Unknown"), 0);
    EXPECT_EQ(convertVersionToWeight("..1..2."), 10200) << "empty parts are dropped";
    EXPECT_EQ(convertVersionToWeight("+1.-2"), 9800);
    EXPECT_EQ(convertVersionToWeight("1.2"), convertVersionToWeight("1.2.0"));
    EXPECT_GT(convertVersionToWeight("1.10.0"), convertVersionToWeight("1.2.0"));

    // Feeds come from the network: huge numbers saturate instead of overflowing.
    constexpr auto kMax = std::numeric_limits<int64_t>::max();
    constexpr auto kMin = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(convertVersionToWeight("9223372036854775807.99"), kMax);
    EXPECT_EQ(convertVersionToWeight("-9223372036854775807.-99"), kMin);
    EXPECT_EQ(convertVersionToWeight("99999999999999999999"), 0) << "beyond 64 bits is not a number";
}

TEST(UpdateCheckTest, FeedParserCollectsTrimsAndKeepsWhatPrecedesAnError) {
    SimpleSparklerChecker checker;
    checker.parse(R"(<?xml version="1.0"?>
<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
  <item><title>Old</title><sparkle:shortVersionString>1.2.0</sparkle:shortVersionString></item>
  <item><sparkle:shortVersionString>
      1.10.0
  </sparkle:shortVersionString><title>New</title></item>
  <item><sparkle:shortVersionString>1.010.0</sparkle:shortVersionString></item>
</channel></rss>)");
    // Ends of enclosing elements repeat the last version until the next element starts.
    EXPECT_EQ(checker.versionStrings(), (std::vector<std::string>{"1.2.0", "1.2.0", "1.10.0", "1.010.0",
                                                                  "1.010.0", "1.010.0", "1.010.0"}));
    EXPECT_EQ(checker.latestVersion(), "1.10.0") << "the first of equal weights wins";

    SimpleSparklerChecker last;
    last.parse("<rss><channel><item><sparkle:shortVersionString>3.1</sparkle:shortVersionString>"
               "</item></channel></rss>");
    EXPECT_EQ(last.versionStrings(), std::vector<std::string>(4, "3.1"));

    SimpleSparklerChecker broken;
    broken.parse("<rss><sparkle:shortVersionString>2.0</sparkle:shortVersionString><oops></rss>"
                 "<sparkle:shortVersionString>9.0</sparkle:shortVersionString>");
    EXPECT_EQ(broken.latestVersion(), "2.0");

    SimpleSparklerChecker none;
    none.parse("not xml at all");
    EXPECT_EQ(none.latestVersion(), std::nullopt);

    // A document type that declares entities (external ones, or an expansion bomb) is refused outright.
    SimpleSparklerChecker entity;
    entity.parse(R"(<!DOCTYPE rss [<!ENTITY leak SYSTEM "file:///etc/hostname">]>)"
                 "<rss><sparkle:shortVersionString>&leak;4.0</sparkle:shortVersionString></rss>");
    EXPECT_EQ(entity.latestVersion(), std::nullopt);
    SimpleSparklerChecker bomb;
    bomb.parse(R"(<!DOCTYPE rss [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>)"
               "<rss><sparkle:shortVersionString>&b;</sparkle:shortVersionString></rss>");
    EXPECT_TRUE(bomb.versions.empty());
}

// Every end tag after a version element collects its text again: a feed under the size cap that nests
// 85,000 elements around a 340 KB version must not cost a copy per end tag (it once took gigabytes).
TEST(UpdateCheckTest, DeeplyNestedFeedCostsMemoryInProportionToItsSize) {
    constexpr size_t kDepth = 85000;
    std::string feed;
    feed.reserve(kMaximumFeedSize);
    for (size_t i = 0; i < kDepth; ++i) {
        feed += "<a>";
    }
    feed += "<sparkle:shortVersionString>";
    feed += std::string(340 * 1024, '9');
    feed += "</sparkle:shortVersionString>";
    for (size_t i = 0; i < kDepth; ++i) {
        feed += "</a>";
    }
    ASSERT_LT(feed.size(), kMaximumFeedSize);

    SimpleSparklerChecker checker;
    checker.parse(feed);
    ASSERT_EQ(checker.versions.size(), kDepth + 1);
    // Every entry is the one shared text.
    for (const auto& version : checker.versions) {
        ASSERT_EQ(&version.str(), &checker.versions.front().str());
    }
    EXPECT_EQ(checker.versions.front().str().size(), 340u * 1024u);
    EXPECT_EQ(checker.latestVersion()->size(), 340u * 1024u);
}

TEST(UpdateCheckTest, NewerVersionIsAnnouncedOnlyOverHttpsAndWhenItOutweighsOurs) {
    const std::string feed =
        "<rss><item><sparkle:shortVersionString>1.2.0</sparkle:shortVersionString></item>"
        "<item><sparkle:shortVersionString>1.10.0</sparkle:shortVersionString></item></rss>";
    EXPECT_EQ(newerVersionInFeed(feed, "1.9"), "1.10.0");
    EXPECT_EQ(newerVersionInFeed(feed, "1.10"), std::nullopt);
    EXPECT_EQ(newerVersionInFeed(feed, "Unknown"), "1.10.0");
    EXPECT_EQ(newerVersionInFeed("<rss/>", "0.1"), std::nullopt);

    // The downloader refuses everything but https.
    FetchCancellation cancelled;
    EXPECT_THROW(fetchUpdateFeed("file:///etc/hostname", cancelled), UpdateFeedError);
    EXPECT_THROW(fetchUpdateFeed("http://127.0.0.1:9/feed.xml", cancelled), UpdateFeedError);
}

} // namespace
