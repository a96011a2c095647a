#include "HttpsTestServer.hpp"
#include "TestNameServer.hpp"
#include "updater/Feed.hpp"
#include "updater/HostResolver.hpp"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace updater {
namespace {

using testing::CannedResponse;
using testing::HttpsTestServer;
using testing::kTestHostName;
using testing::TestNameServer;

// Bounds that only a wedged download would miss; the real figures are a few milliseconds.
constexpr auto kPrompt = std::chrono::seconds(1);

CannedResponse redirectTo(std::string location, int status = 302) {
    CannedResponse response;
    response.status = status;
    response.location = std::move(location);
    return response;
}

class FetchTest : public ::testing::Test {
protected:
    FetchOptions optionsWith(const TestNameServer& names) const {
        FetchOptions options;
        options.failOnErrorStatus = true;
        options.certificateAuthorityFile = server.certificateFile();
        options.nameServers = names.servers();
        return options;
    }

    // Fetches on a thread, waits until the look-up it starts reaches the silent server, cancels, and
    // returns how long the fetch took to give up.
    std::chrono::steady_clock::duration cancelDuringLookUp(const std::string& address,
                                                           TestNameServer& names) {
        FetchCancellation cancellation;
        auto fetch = std::async(std::launch::async, [&] {
            try {
                fetchFeed(address, cancellation, optionsWith(names));
                return std::string("no error");
            } catch (const FeedError& error) {
                return std::string(error.what());
            }
        });
        EXPECT_TRUE(names.awaitQuery()) << "the host is looked up with the given name servers";
        const auto before = std::chrono::steady_clock::now();
        cancellation.cancel();
        const std::string error = fetch.get();
        const auto took = std::chrono::steady_clock::now() - before;
        EXPECT_EQ(error, "update check cancelled");
        return took;
    }

    HttpsTestServer server;
};

TEST_F(FetchTest, RedirectsAreFollowedOverHttpsOnlyWithEveryHostLookedUpByTheGivenServers) {
    TestNameServer names(TestNameServer::Mode::loopback);
    const FetchOptions options = optionsWith(names);
    FetchCancellation cancellation;

    // A relative Location, then a host name that only the test's name server knows.
    server.setResponse("/a", redirectTo("/b"));
    server.setResponse("/b", redirectTo(server.address("/c", kTestHostName), 301));
    server.setResponse("/c", {200, "the feed"});
    EXPECT_EQ(fetchFeed(server.address("/a"), cancellation, options), "the feed");
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{"GET /a HTTP/1.1", "GET /b HTTP/1.1", "GET /c HTTP/1.1"}));
    EXPECT_GT(names.queries(), 0);

    // Five redirects are followed, a sixth is not.
    for (int hop = 0; hop < 6; ++hop) {
        server.setResponse("/hop" + std::to_string(hop), redirectTo("/hop" + std::to_string(hop + 1), 307));
    }
    server.setResponse("/hop5", {200, "five hops"});
    EXPECT_EQ(fetchFeed(server.address("/hop0"), cancellation, options), "five hops");
    server.setResponse("/loop", redirectTo("/loop"));
    const std::size_t before = server.requests().size();
    EXPECT_THROW(fetchFeed(server.address("/loop"), cancellation, options), FeedError);
    EXPECT_EQ(server.requests().size() - before, 6u);

    // A redirect away from https is refused without being requested.
    server.setResponse("/down", redirectTo("http://127.0.0.1:1/c"));
    EXPECT_THROW(fetchFeed(server.address("/down"), cancellation, options), FeedError);
    EXPECT_EQ(server.requests().back(), "GET /down HTTP/1.1");
}

TEST_F(FetchTest, ALookUpThatIsNeverAnsweredEndsAtOnceWhenCancelledAndAtTheDeadline) {
    TestNameServer names(TestNameServer::Mode::silent);
    TestNameServer redirectNames(TestNameServer::Mode::silent);
    const int threads = testing::threadCount();

    EXPECT_LT(cancelDuringLookUp(server.address("/feed.xml", kTestHostName), names), kPrompt);

    // A redirect to a host whose name never resolves.
    server.setResponse("/moved", redirectTo("https://never.test/feed.xml"));
    EXPECT_LT(cancelDuringLookUp(server.address("/moved"), redirectNames), kPrompt);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /moved HTTP/1.1"});

    // Unanswered, a look-up ends with the connect time-out.
    FetchOptions options = optionsWith(names);
    options.connectTimeoutSeconds = 1;
    FetchCancellation cancellation;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_THROW(fetchFeed(server.address("/feed.xml", kTestHostName), cancellation, options), FeedError);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));

    // Nothing of a look-up or a download stays behind.
    EXPECT_EQ(testing::threadCount(), threads);
}

TEST(HostResolverTest, NamesResolveThroughTheGivenServersAndLiteralsAsThemselves) {
    TestNameServer names(TestNameServer::Mode::loopback);
    FetchCancellation cancellation;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    EXPECT_EQ(resolveHostName(kTestHostName, cancellation, deadline, names.servers()),
              std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(resolveHostName("::1", cancellation, deadline, names.servers()),
              std::vector<std::string>{"[::1]"});
    cancellation.cancel();
    EXPECT_THROW(resolveHostName(kTestHostName, cancellation, deadline, names.servers()), FeedError);
}

} // namespace
} // namespace updater
