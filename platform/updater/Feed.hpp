// Update feeds: the https download, the hardened appcast parser and the version weight rule.
#pragma once

#include "core/Cancellable.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// The element whose text names a published version.
inline constexpr std::string_view kVersionElement = "sparkle:shortVersionString";

// A feed's body is never allowed to grow past this.
inline constexpr std::size_t kMaximumFeedSize = 1 << 20;

// A download that did not deliver a body: no connection, a time-out, a refused redirect, an oversized body,
// an error status (when asked to fail on one), or a cancellation.
class FeedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Cancels downloads from any thread and wakes a transfer that is waiting on the network at once.
class FetchCancellation {
public:
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Sets the flag for good and runs the installed waker, if any.
    void cancel();
    // Installs the waker of a transfer for as long as the returned registration lives; once it is gone the
    // waker is never called again. Runs the waker at once when already cancelled.
    core::Cancellable onCancel(std::function<void()> waker);
    // When a transfer first saw the cancellation and began to give up (steady-clock nanoseconds), or 0.
    // Tells how fast the wake-up works, apart from the teardown that follows.
    int64_t noticedAt() const { return noticedAt_.load(std::memory_order_acquire); }
    void markNoticed();

private:
    std::atomic<int64_t> noticedAt_{0};
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    uint64_t nextId_ = 0;
    std::vector<std::pair<uint64_t, std::function<void()>>> wakers_;
};

// Redirects followed before a download gives up.
inline constexpr int kMaximumRedirects = 5;

// How a feed is downloaded. Only https is ever spoken, redirects included.
struct FetchOptions {
    long connectTimeoutSeconds = 10;
    long totalTimeoutSeconds = 30;
    std::size_t maximumSize = kMaximumFeedSize;
    // A response status of 400 or above is a FeedError instead of a body.
    bool failOnErrorStatus = false;
    // Certificates to trust instead of the system's (a test server's own); empty for the system's.
    std::string certificateAuthorityFile;
    // Name servers to ask ("address:port,…") instead of the system's; empty for the system's.
    std::string nameServers;
};

// Downloads the feed at the address and returns its body; throws FeedError on a transport failure or when
// cancelled. Blocks, so it runs on a worker thread; it gives up as soon as the cancellation is cancelled,
// name look-ups included, and starts no thread of its own. Up to kMaximumRedirects redirects are followed,
// each to an https address whose host is looked up the same way. Proxies are not used.
std::string fetchFeed(const std::string& address, FetchCancellation& cancellation,
                      const FetchOptions& options = {});

// A version's weight: its dot-separated parts as p0 * 10000 + p1 * 100 + the rest added; a part that is
// not a plain integer counts 0. Saturates at the 64-bit limits instead of overflowing.
int64_t convertVersionToWeight(std::string_view version);

// One collected version text. Every end tag that follows a version element collects its text again, so
// the repeats share one trimmed copy: a deeply nested feed costs a pointer per end tag, not a copy.
class VersionText {
public:
    explicit VersionText(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
    const std::string& str() const { return *text_; }
    friend bool operator==(const VersionText& a, const VersionText& b) { return a.str() == b.str(); }

private:
    std::shared_ptr<const std::string> text_;
};

// Collects the text of every "sparkle:shortVersionString" element of a feed, in document order.
class SimpleSparklerChecker {
public:
    std::vector<VersionText> versions;
    std::string currentElement;
    std::string currentValue;

    // The collected texts as plain strings.
    std::vector<std::string> versionStrings() const;

    // The entry of greatest weight (the first among equals), or none.
    std::optional<std::string> latestVersion() const;

    // Runs the parser to the end or to its first error; what was collected before an error is kept. A
    // document type that declares entities is refused before anything is collected. Returns whether the
    // whole document was well formed.
    bool parse(std::string_view data);

    void didStartElement(std::string_view qualifiedName);
    void foundCharacters(std::string_view characters);
    // The names of the end tag are not looked at: the version element's text is appended again at every
    // end that follows it until the next element starts.
    void didEndElement();

private:
    // The trimmed text of currentValue, made once and shared until currentValue changes.
    std::shared_ptr<const std::string> trimmed_;
};

// The feed's newest version when it outweighs ownVersion, else none.
std::optional<std::string> newerVersionInFeed(std::string_view feedBody, std::string_view ownVersion);

// One <item> of an appcast: its version text and the addresses it offers, trimmed, as written.
struct AppcastItem {
    std::string version;
    std::string enclosureURL;     // the url attribute of <enclosure>
    std::string releaseNotesLink; // <sparkle:releaseNotesLink>
    std::string link;             // <link>
};

// An appcast read in one pass: the versions exactly as SimpleSparklerChecker collects them (so the updater
// and the plug-in agree on the newest), and the items with their addresses.
struct Appcast {
    bool wellFormed = false;
    std::optional<std::string> latestVersion;
    std::vector<AppcastItem> items;
    std::string channelLink;

    // The first https address for the version: its item's enclosure, release notes or link, else the
    // channel's link. None when nothing secure is offered.
    std::optional<std::string> downloadAddress(std::string_view version) const;
};

Appcast parseAppcast(std::string_view data);

} // namespace updater
