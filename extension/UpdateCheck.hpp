#pragma once

#include "core/Cancellable.hpp"
#include "core/URL.hpp"

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

// Where the maker publishes the update feed, the page listing its plug-ins, and the URL that asks the host
// application to run its own update check.
inline constexpr std::string_view kUpdateFeedAddress = "https://tessaray.app/tessaray/tessaray.xml";
inline constexpr std::string_view kPluginsPageAddress = "https://tessaray.app/plugins/";
inline constexpr std::string_view kOpenAndUpdateAddress = "tessaray://openAndUpdate";
inline constexpr std::string_view kVersionElement = "sparkle:shortVersionString";

const core::URL& pluginsPageURL();
const core::URL& openAndUpdateURL();

// The feed's body is never allowed to grow past this.
inline constexpr std::size_t kMaximumFeedSize = 1 << 20;

// A download that did not deliver a body: no connection, a time-out, a refused redirect, an oversized body.
class UpdateFeedError : public std::runtime_error {
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

// Downloads the feed at the address and returns its body whatever the response status; throws
// UpdateFeedError on a transport failure or when cancelled. Runs on a worker thread; it gives up as soon as
// the cancellation is cancelled.
using UpdateFeedFetcher =
    std::function<std::string(const std::string& address, FetchCancellation& cancellation)>;

// The process's fetcher: libcurl, https only (also for redirects), with connect and total time-outs and
// the body capped at kMaximumFeedSize.
std::string fetchUpdateFeed(const std::string& address, FetchCancellation& cancellation);
// Replaces the fetcher every update check uses (tests, offline tools); an empty one restores libcurl.
// Returns the previous one.
UpdateFeedFetcher setUpdateFeedFetcher(UpdateFeedFetcher fetcher);
UpdateFeedFetcher currentUpdateFeedFetcher();

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
    // document type that declares entities is refused before anything is collected.
    void parse(std::string_view data);

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
