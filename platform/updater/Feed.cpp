#include "updater/Feed.hpp"

#include "core/Text.hpp"
#include "core/URL.hpp"
#include "updater/HostResolver.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <curl/curl.h>
#include <expat.h>
#include <limits>
#include <mutex>

namespace updater {

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
    std::size_t limit = kMaximumFeedSize;
    bool oversized = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto& download = *static_cast<Download*>(user);
    const size_t bytes = size * count;
    if (download.body.size() + bytes > download.limit) {
        download.oversized = true;
        return 0; // makes libcurl stop with a write error
    }
    download.body.append(data, bytes);
    return bytes;
}

// One easy transfer driven through a multi handle, so that another thread can wake its wait at once.
struct Transfer {
    CURL* curl = curl_easy_init();
    CURLM* multi = curl_multi_init();
    curl_slist* resolve = nullptr;
    bool added = false;
    ~Transfer() {
        if (added) {
            curl_multi_remove_handle(multi, curl);
        }
        curl_multi_cleanup(multi);
        curl_easy_cleanup(curl);
        curl_slist_free_all(resolve);
    }
};

// Where one request goes, as libcurl itself reads the address, so the addresses handed to it match the
// host it connects to.
struct Target {
    std::string host; // IPv6 literals in brackets
    std::string port;
    bool literal = false;
};

Target targetOf(const std::string& address) {
    CURLU* url = curl_url();
    if (url == nullptr) {
        throw FeedError("cannot start a download");
    }
    const auto part = [url](CURLUPart which, unsigned flags) {
        char* text = nullptr;
        std::string value;
        if (curl_url_get(url, which, &text, flags) == CURLUE_OK && text != nullptr) {
            value = text;
        }
        curl_free(text);
        return value;
    };
    const bool parsed = curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK;
    Target target;
    const std::string scheme = parsed ? part(CURLUPART_SCHEME, 0) : "";
    if (parsed) {
        target.host = part(CURLUPART_HOST, 0);
        target.port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    }
    curl_url_cleanup(url);
    if (!parsed || scheme != "https" || target.host.empty() || target.port.empty()) {
        throw FeedError("not a secure web address: " + address);
    }
    std::string bare = target.host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    in6_addr ignored{};
    target.literal =
        inet_pton(AF_INET, bare.c_str(), &ignored) == 1 || inet_pton(AF_INET6, bare.c_str(), &ignored) == 1;
    // A name libcurl would rewrite (international, percent-encoded) might miss the addresses handed to it
    // and be looked up by libcurl's own resolver, which cannot be interrupted.
    const bool plainName = std::all_of(target.host.begin(), target.host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '.';
    });
    if (!target.literal && !plainName) {
        throw FeedError("unsupported host name: " + target.host);
    }
    return target;
}

struct Response {
    long status = 0;
    std::string body;
    std::string redirect; // the absolute address a 3xx response points to, or empty
};

// One request, no redirects followed. The host's addresses come from the caller, so libcurl never looks a
// name up itself (its resolver runs on a thread that its clean-up joins, however long the look-up takes).
Response requestOnce(const std::string& address, const Target& target,
                     const std::vector<std::string>& addresses, FetchCancellation& cancellation,
                     const FetchOptions& options, std::chrono::steady_clock::time_point deadline) {
    Transfer transfer;
    if (transfer.curl == nullptr || transfer.multi == nullptr) {
        throw FeedError("cannot start a download");
    }
    if (!target.literal) {
        std::string entry = target.host + ":" + target.port + ":";
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            entry += (i == 0 ? "" : ",") + addresses[i];
        }
        transfer.resolve = curl_slist_append(nullptr, entry.c_str());
        if (transfer.resolve == nullptr) {
            throw FeedError("cannot start a download");
        }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        throw FeedError("Operation timed out");
    }
    const long connectMilliseconds =
        static_cast<long>(std::min<int64_t>(options.connectTimeoutSeconds * 1000, left.count()));

    Download download;
    download.limit = options.maximumSize;
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* curl = transfer.curl;
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_RESOLVE, transfer.resolve);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    // Proxies named by the environment are not used: a proxy's own name would go to libcurl's resolver, and
    // a proxy would look the feed's host up out of our reach. The feed is always fetched directly.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMilliseconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maximumSize));
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, options.failOnErrorStatus ? 1L : 0L);
    if (!options.certificateAuthorityFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.certificateAuthorityFile.c_str());
        curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Tessaray");
    if (curl_multi_add_handle(transfer.multi, curl) != CURLM_OK) {
        throw FeedError("cannot start a download");
    }
    transfer.added = true;

    // Cancellation from any thread interrupts the wait below at once.
    CURLM* multi = transfer.multi;
    const core::Cancellable wake = cancellation.onCancel([multi] { curl_multi_wakeup(multi); });
    int running = 1;
    while (true) {
        if (cancellation.isCancelled()) {
            cancellation.markNoticed();
            throw FeedError("update check cancelled");
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            throw FeedError("download failed");
        }
        if (running == 0) {
            break;
        }
        // Waits for the network, for libcurl's own timers (time-outs) or for a wake-up from cancel().
        if (curl_multi_poll(multi, nullptr, 0, 10000, nullptr) != CURLM_OK) {
            throw FeedError("download failed");
        }
    }
    CURLcode result = CURLE_FAILED_INIT;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
            result = message->data.result;
        }
    }
    if (download.oversized || result == CURLE_FILESIZE_EXCEEDED) {
        throw FeedError("update feed larger than allowed");
    }
    if (result != CURLE_OK) {
        throw FeedError(errorText[0] != '\0' ? errorText : curl_easy_strerror(result));
    }
    Response response;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    const char* redirect = nullptr;
    if (response.status >= 300 && response.status < 400 &&
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect != nullptr) {
        response.redirect = redirect; // a relative Location, resolved against this request's address
    }
    response.body = std::move(download.body);
    return response;
}

} // namespace

std::string fetchFeed(const std::string& address, FetchCancellation& cancellation,
                      const FetchOptions& options) {
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(options.totalTimeoutSeconds);
    std::string current = address;
    for (int redirects = 0;; ++redirects) {
        // Every hop is https (a redirect to anything else is refused) and its host is looked up here,
        // under the same cancellation and time-outs as the transfer.
        const Target target = targetOf(current);
        std::vector<std::string> addresses;
        if (!target.literal) {
            const auto lookupDeadline =
                std::min(deadline, std::chrono::steady_clock::now() +
                                       std::chrono::seconds(options.connectTimeoutSeconds));
            addresses = resolveHostName(target.host, cancellation, lookupDeadline, options.nameServers);
        }
        Response response = requestOnce(current, target, addresses, cancellation, options, deadline);
        if (response.redirect.empty()) {
            return std::move(response.body);
        }
        if (redirects == kMaximumRedirects) {
            throw FeedError("Maximum (" + std::to_string(kMaximumRedirects) + ") redirects followed");
        }
        current = std::move(response.redirect);
    }
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

namespace {

// What a feed parser hears from expat.
class FeedEvents {
public:
    virtual void start(std::string_view name, const XML_Char** attributes) = 0;
    virtual void characters(std::string_view text) = 0;
    virtual void end(std::string_view name) = 0;

protected:
    ~FeedEvents() = default;
};

// Runs expat over a feed with the rules every feed from the network gets. Returns whether the whole
// document was well formed; the events delivered before an error stand.
bool parseFeed(std::string_view data, FeedEvents& events) {
    // No namespace processing: "sparkle:shortVersionString" arrives as the element's literal name.
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) {
        return false;
    }
    struct Context {
        FeedEvents* events;
        XML_Parser parser;
    } context{&events, parser};
    // Never read external entities or an external DTD.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUserData(parser, &context);
    // Entity declarations have no business in a feed and are the stuff of expansion bombs: refuse them.
    XML_SetEntityDeclHandler(parser, [](void* user, const XML_Char*, int, const XML_Char*, int,
                                        const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
        XML_StopParser(static_cast<Context*>(user)->parser, XML_FALSE);
    });
    XML_SetElementHandler(
        parser,
        [](void* user, const XML_Char* name, const XML_Char** attributes) {
            static_cast<Context*>(user)->events->start(name, attributes);
        },
        [](void* user, const XML_Char* name) { static_cast<Context*>(user)->events->end(name); });
    XML_SetCharacterDataHandler(parser, [](void* user, const XML_Char* text, int length) {
        static_cast<Context*>(user)->events->characters(std::string_view(text, static_cast<size_t>(length)));
    });
    // Expat takes an int length; feeds are capped far below that, but feed it in chunks regardless.
    constexpr size_t kChunk = 1 << 16;
    bool ok = true;
    for (size_t offset = 0; ok && offset < data.size(); offset += kChunk) {
        const size_t length = std::min(kChunk, data.size() - offset);
        ok = XML_Parse(parser, data.data() + offset, static_cast<int>(length), XML_FALSE) == XML_STATUS_OK;
    }
    if (ok) {
        ok = XML_Parse(parser, nullptr, 0, XML_TRUE) == XML_STATUS_OK;
    }
    XML_ParserFree(parser);
    return ok;
}

class CheckerEvents : public FeedEvents {
public:
    explicit CheckerEvents(SimpleSparklerChecker& checker) : checker_(checker) {}
    void start(std::string_view name, const XML_Char**) override { checker_.didStartElement(name); }
    void characters(std::string_view text) override { checker_.foundCharacters(text); }
    void end(std::string_view) override { checker_.didEndElement(); }

private:
    SimpleSparklerChecker& checker_;
};

// Feeds the version checker and, beside it, collects each item's version and addresses.
class AppcastEvents : public FeedEvents {
public:
    explicit AppcastEvents(Appcast& appcast) : appcast_(appcast) {}

    SimpleSparklerChecker checker;

    void start(std::string_view name, const XML_Char** attributes) override {
        checker.didStartElement(name);
        text_.clear();
        if (name == "item") {
            appcast_.items.emplace_back();
            inItem_ = true;
        } else if (name == "enclosure" && inItem_ && appcast_.items.back().enclosureURL.empty()) {
            for (const XML_Char** attribute = attributes; attribute[0] != nullptr; attribute += 2) {
                if (std::string_view(attribute[0]) == "url") {
                    appcast_.items.back().enclosureURL = core::trimmingWhitespace(attribute[1]);
                }
            }
        }
    }

    void characters(std::string_view text) override {
        checker.foundCharacters(text);
        // Only the texts of the few elements read below are kept, and none grows past a feed's size.
        text_.append(text);
    }

    void end(std::string_view name) override {
        checker.didEndElement();
        if (name == "item") {
            inItem_ = false;
        } else if (inItem_) {
            AppcastItem& item = appcast_.items.back();
            if (name == kVersionElement && item.version.empty()) {
                item.version = core::trimmingWhitespace(text_);
            } else if (name == "sparkle:releaseNotesLink" && item.releaseNotesLink.empty()) {
                item.releaseNotesLink = core::trimmingWhitespace(text_);
            } else if (name == "link" && item.link.empty()) {
                item.link = core::trimmingWhitespace(text_);
            }
        } else if (name == "link" && appcast_.channelLink.empty()) {
            appcast_.channelLink = core::trimmingWhitespace(text_);
        }
        text_.clear();
    }

private:
    Appcast& appcast_;
    std::string text_;
    bool inItem_ = false;
};

// Only a well-formed https address with a host is ever offered for download.
bool isHttps(std::string_view address) {
    const auto url = core::URL::parse(address);
    return url && url->scheme() == "https" && url->host() && !url->host()->empty();
}

} // namespace

bool SimpleSparklerChecker::parse(std::string_view data) {
    CheckerEvents events(*this);
    return parseFeed(data, events);
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

Appcast parseAppcast(std::string_view data) {
    Appcast appcast;
    AppcastEvents events(appcast);
    appcast.wellFormed = parseFeed(data, events);
    appcast.latestVersion = events.checker.latestVersion();
    return appcast;
}

std::optional<std::string> Appcast::downloadAddress(std::string_view version) const {
    for (const AppcastItem& item : items) {
        if (item.version != version) {
            continue;
        }
        for (const std::string* address : {&item.enclosureURL, &item.releaseNotesLink, &item.link}) {
            if (isHttps(*address)) {
                return *address;
            }
        }
        break;
    }
    if (isHttps(channelLink)) {
        return channelLink;
    }
    return std::nullopt;
}

} // namespace updater
