// The plug-in's update check: the maker's addresses and the fetcher its checks use.
#pragma once

#include "ZeltoCore/UpdateFeed.hpp"
#include "core/URL.hpp"
#include "updater/Feed.hpp"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Where the maker publishes the update feed, the page listing its plug-ins, and the URL that asks the host
// application to run its own update check.
using zelto::kUpdateFeedAddress;
inline constexpr std::string_view kPluginsPageAddress = "https://tessaray.app/plugins/";
inline constexpr std::string_view kOpenAndUpdateAddress = "tessaray://openAndUpdate";
inline constexpr std::string_view kVersionElement = updater::kVersionElement;

const core::URL& pluginsPageURL();
const core::URL& openAndUpdateURL();

// The feed's body is never allowed to grow past this.
inline constexpr std::size_t kMaximumFeedSize = updater::kMaximumFeedSize;

// The feed's download, parser and version rule are the updater's, so the plug-in and the application agree.
using UpdateFeedError = updater::FeedError;
using FetchCancellation = updater::FetchCancellation;
using VersionText = updater::VersionText;
using SimpleSparklerChecker = updater::SimpleSparklerChecker;
using updater::convertVersionToWeight;
using updater::newerVersionInFeed;

// Downloads the feed at the address and returns its body whatever the response status; throws
// UpdateFeedError on a transport failure or when cancelled. Runs on a worker thread; it gives up as soon as
// the cancellation is cancelled.
using UpdateFeedFetcher =
    std::function<std::string(const std::string& address, FetchCancellation& cancellation)>;

// The process's fetcher: libcurl, https only (also for redirects), with connect and total time-outs and
// the body capped at kMaximumFeedSize; host names are looked up under the check's own cancellation, so a
// cancelled check returns at once whatever the network does.
std::string fetchUpdateFeed(const std::string& address, FetchCancellation& cancellation);
// Replaces the fetcher every update check uses (tests, offline tools); an empty one restores libcurl.
// Returns the previous one.
UpdateFeedFetcher setUpdateFeedFetcher(UpdateFeedFetcher fetcher);
UpdateFeedFetcher currentUpdateFeedFetcher();
