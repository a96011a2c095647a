#include "extension/UpdateCheck.hpp"

#include <mutex>

const core::URL& pluginsPageURL() {
    static const core::URL url = *core::URL::parse(kPluginsPageAddress);
    return url;
}

const core::URL& openAndUpdateURL() {
    static const core::URL url = *core::URL::parse(kOpenAndUpdateAddress);
    return url;
}

namespace {

std::mutex& fetcherMutex() {
    static std::mutex mutex;
    return mutex;
}

UpdateFeedFetcher& installedFetcher() {
    static UpdateFeedFetcher fetcher;
    return fetcher;
}

} // namespace

std::string fetchUpdateFeed(const std::string& address, FetchCancellation& cancellation) {
    return updater::fetchFeed(address, cancellation);
}

UpdateFeedFetcher setUpdateFeedFetcher(UpdateFeedFetcher fetcher) {
    std::lock_guard lock(fetcherMutex());
    return std::exchange(installedFetcher(), std::move(fetcher));
}

UpdateFeedFetcher currentUpdateFeedFetcher() {
    std::lock_guard lock(fetcherMutex());
    if (installedFetcher()) {
        return installedFetcher();
    }
    return &fetchUpdateFeed;
}
