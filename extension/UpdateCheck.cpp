#include "extension/UpdateCheck.hpp"

#include "core/Text.hpp"

#include <chrono>
#include <curl/curl.h>
#include <expat.h>
#include <limits>
#include <mutex>

const core::URL& pluginsPageURL() {
    static const core::URL url = *core::URL::parse(kPluginsPageAddress);
    return url;
}

const core::URL& openAndUpdateURL() {
    static const core::URL url = *core::URL::parse(kOpenAndUpdateAddress);
    return url;
}

void FetchCancellation::cancel() {
    cancelled_.store(true, std::memory_order_release);
    std::lock_guard lock(mutex_);
    for (auto& [id, waker] : wakers_) {
        waker();
    }
}

void FetchCancellation::markNoticed() {
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    int64_t expected = 0;
    noticedAt_.compare_exchange_strong(expected, now, std::memory_order_acq_rel);
}

core::Cancellable FetchCancellation::onCancel(std::function<void()> waker) {
    std::lock_guard lock(mutex_);
    if (isCancelled()) {
        waker();
    }
    const uint64_t id = nextId_++;
    wakers_.emplace_back(id, std::move(waker));
    return core::Cancellable([this, id] {
        std::lock_guard lock(mutex_);
        std::erase_if(wakers_, [id](const auto& entry) { return entry.first == id; });
    });
}

namespace {

struct Download {
    std::string body;
    bool oversized = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto& download = *static_cast<Download*>(user);
    const size_t bytes = size * count;
    if (download.body.size() + bytes > kMaximumFeedSize) {
        download.oversized = true;
        return 0; // makes libcurl stop with a write error
    }
    download.body.append(data, bytes);
    return bytes;
}

std::mutex& fetcherMutex() {
    static std::mutex mutex;
    return mutex;
}

UpdateFeedFetcher& installedFetcher() {
    static UpdateFeedFetcher fetcher;
    return fetcher;
}

// One easy transfer driven through a multi handle, so that another thread can wake its wait at once.
struct Transfer {
    CURL* curl = curl_easy_init();
    CURLM* multi = curl_multi_init();
    bool added = false;
    ~Transfer() {
        if (added) {
            curl_multi_remove_handle(multi, curl);
        }
        curl_multi_cleanup(multi);
        curl_easy_cleanup(curl);
    }
};

} // namespace

std::string fetchUpdateFeed(const std::string& address, FetchCancellation& cancellation) {
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    Transfer transfer;
    if (transfer.curl == nullptr || transfer.multi == nullptr) {
        throw UpdateFeedError("cannot start a download");
    }
    Download download;
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* curl = transfer.curl;
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // worker thread: no SIGALRM for name look-ups
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaximumFeedSize));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Tessaray");
    if (curl_multi_add_handle(transfer.multi, curl) != CURLM_OK) {
        throw UpdateFeedError("cannot start a download");
    }
    transfer.added = true;

    // Cancellation from any thread interrupts the wait below at once.
    CURLM* multi = transfer.multi;
    const core::Cancellable wake = cancellation.onCancel([multi] { curl_multi_wakeup(multi); });
    int running = 1;
    while (true) {
        if (cancellation.isCancelled()) {
            cancellation.markNoticed();
            throw UpdateFeedError("update check cancelled");
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            throw UpdateFeedError("download failed");
        }
        if (running == 0) {
            break;
        }
        // Waits for the network, for libcurl's own timers (time-outs) or for a wake-up from cancel().
        if (curl_multi_poll(multi, nullptr, 0, 10000, nullptr) != CURLM_OK) {
            throw UpdateFeedError("download failed");
        }
    }
    CURLcode result = CURLE_FAILED_INIT;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
            result = message->data.result;
        }
    }
    if (download.oversized) {
        throw UpdateFeedError("update feed larger than allowed");
    }
    if (result != CURLE_OK) {
        throw UpdateFeedError(errorText[0] != '\0' ? errorText : curl_easy_strerror(result));
    }
    return std::move(download.body);
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

int64_t convertVersionToWeight(std::string_view version) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    const auto saturate = [](bool overflowed, int64_t result, bool positive) {
        return overflowed ? (positive ? kMax : kMin) : result;
    };

    int64_t weight = 0;
    int index = 0;
    size_t start = 0;
    while (start <= version.size()) {
        const size_t dot = version.find('.', start);
        const size_t end = dot == std::string_view::npos ? version.size() : dot;
        const std::string_view part = version.substr(start, end - start);
        start = end + 1;
        if (part.empty()) {
            if (dot == std::string_view::npos) {
                break;
            }
            continue;
        }
        const int64_t number = core::parseInteger(part).value_or(0);
        const int64_t scale = index == 0 ? 10000 : index == 1 ? 100 : 1;
        ++index;
        int64_t term = 0;
        const bool productOverflow = __builtin_mul_overflow(number, scale, &term);
        term = saturate(productOverflow, term, number >= 0);
        int64_t sum = 0;
        const bool sumOverflow = __builtin_add_overflow(weight, term, &sum);
        weight = saturate(sumOverflow, sum, term >= 0);
        if (dot == std::string_view::npos) {
            break;
        }
    }
    return weight;
}

std::vector<std::string> SimpleSparklerChecker::versionStrings() const {
    std::vector<std::string> strings;
    strings.reserve(versions.size());
    for (const auto& version : versions) {
        strings.push_back(version.str());
    }
    return strings;
}

std::optional<std::string> SimpleSparklerChecker::latestVersion() const {
    if (versions.empty()) {
        return std::nullopt;
    }
    size_t best = 0;
    int64_t bestWeight = convertVersionToWeight(versions[0].str());
    for (size_t i = 1; i < versions.size(); ++i) {
        // Repeats of one element share their text and cannot outweigh it.
        if (&versions[i].str() == &versions[i - 1].str()) {
            continue;
        }
        const int64_t weight = convertVersionToWeight(versions[i].str());
        if (weight > bestWeight) {
            best = i;
            bestWeight = weight;
        }
    }
    return versions[best].str();
}

void SimpleSparklerChecker::didStartElement(std::string_view qualifiedName) {
    currentElement.assign(qualifiedName);
    currentValue.clear();
    trimmed_.reset();
}

void SimpleSparklerChecker::foundCharacters(std::string_view characters) {
    currentValue.append(characters);
    trimmed_.reset();
}

void SimpleSparklerChecker::didEndElement() {
    if (currentElement == kVersionElement) {
        if (!trimmed_) {
            trimmed_ = std::make_shared<const std::string>(core::trimmingWhitespace(currentValue));
        }
        versions.emplace_back(trimmed_);
    }
}

void SimpleSparklerChecker::parse(std::string_view data) {
    // No namespace processing: "sparkle:shortVersionString" arrives as the element's literal name.
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) {
        return;
    }
    struct Context {
        SimpleSparklerChecker* checker;
        XML_Parser parser;
    } context{this, parser};
    // The feed comes from the network: never read external entities or an external DTD.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUserData(parser, &context);
    // Entity declarations have no business in a feed and are the stuff of expansion bombs: refuse them.
    XML_SetEntityDeclHandler(parser, [](void* user, const XML_Char*, int, const XML_Char*, int,
                                        const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
        XML_StopParser(static_cast<Context*>(user)->parser, XML_FALSE);
    });
    XML_SetElementHandler(
        parser,
        [](void* user, const XML_Char* name, const XML_Char**) {
            static_cast<Context*>(user)->checker->didStartElement(name);
        },
        [](void* user, const XML_Char*) { static_cast<Context*>(user)->checker->didEndElement(); });
    XML_SetCharacterDataHandler(parser, [](void* user, const XML_Char* text, int length) {
        static_cast<Context*>(user)->checker->foundCharacters(
            std::string_view(text, static_cast<size_t>(length)));
    });
    // Expat takes an int length; the fetcher caps feeds far below that, but feed it in chunks regardless.
    constexpr size_t kChunk = 1 << 16;
    bool ok = true;
    for (size_t offset = 0; ok && offset < data.size(); offset += kChunk) {
        const size_t length = std::min(kChunk, data.size() - offset);
        ok = XML_Parse(parser, data.data() + offset, static_cast<int>(length), XML_FALSE) == XML_STATUS_OK;
    }
    if (ok) {
        XML_Parse(parser, nullptr, 0, XML_TRUE);
    }
    XML_ParserFree(parser);
}

std::optional<std::string> newerVersionInFeed(std::string_view feedBody, std::string_view ownVersion) {
    SimpleSparklerChecker checker;
    checker.parse(feedBody);
    auto latest = checker.latestVersion();
    if (!latest || !(convertVersionToWeight(ownVersion) < convertVersionToWeight(*latest))) {
        return std::nullopt;
    }
    return latest;
}
