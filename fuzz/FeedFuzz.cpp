// libFuzzer entry: the update feed parsers must read or refuse any body, agree on the newest version, and
// offer only https addresses for download.

#include "FuzzCheck.hpp"
#include "updater/Feed.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const updater::Appcast appcast = updater::parseAppcast(body);
    updater::SimpleSparklerChecker checker;
    const bool wellFormed = checker.parse(body);
    check(wellFormed == appcast.wellFormed);
    check(appcast.latestVersion == checker.latestVersion());
    (void)updater::newerVersionInFeed(body, "1.0");
    for (const auto& item : appcast.items) {
        (void)updater::convertVersionToWeight(item.version);
        if (const auto address = appcast.downloadAddress(item.version)) {
            check(address->rfind("https://", 0) == 0);
        }
    }
    return 0;
}
