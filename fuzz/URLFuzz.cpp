// libFuzzer entry: the URL parser must accept or refuse any text, and what it accepts must standardise
// to a fixed point that stays relative when it was, and name files only by absolute paths.

#include "FuzzCheck.hpp"
#include "core/URL.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(core::percentDecode(core::percentEncode(text, "/:@")) == std::string(text));

    const auto url = core::URL::parse(text);
    if (!url) {
        return 0;
    }
    check(url->string() == text);
    const core::URL standard = url->standardized();
    const auto reparsed = core::URL::parse(standard.string());
    check(reparsed && *reparsed == standard);
    check(standard.standardized() == standard);
    check(url->scheme().has_value() == standard.scheme().has_value());
    check(standard.query() == url->query() && standard.fragment() == url->fragment());
    for (const core::URL* each : {&*url, &standard}) {
        if (const auto path = each->filePath()) {
            const std::string name = path->string();
            check(!name.empty() && name.front() == '/' && name.find('\0') == std::string::npos);
        }
        (void)each->pathComponents();
        (void)each->pathExtension();
        (void)each->queryItems();
    }
    return 0;
}
