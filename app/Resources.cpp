#include "app/Resources.hpp"

#include "core/Log.hpp"

namespace tessaray {
namespace {

core::URL constantURL(const char* address) {
    // The addresses are constants of this program: one that does not parse is a programming error.
    auto url = core::URL::parse(address);
    if (!url) {
        core::fatal(std::string("malformed constant address ") + address);
    }
    return *url;
}

} // namespace

void addBundleSearchPaths(const core::Bundle& applicationBundle) {
    core::Bundle::addSearchPath(applicationBundle.bundlePath().parent_path() / "bundles");
    core::Bundle::addSearchPath(applicationBundle.bundlePath() / "bundles");
}

const core::URL& helpURL() {
    static const core::URL url = constantURL(helpAddress);
    return url;
}

const core::URL& websiteURL() {
    static const core::URL url = constantURL(websiteAddress);
    return url;
}

graphics::ColorRef appColor(std::string_view name, const core::Bundle& bundle) {
    return graphics::Color::named(std::string(name), bundle.resourcePath());
}

std::string localized(std::string_view key) {
    return std::string(key);
}

std::string localized(std::string_view key, std::string_view argument) {
    std::string text(key);
    if (const auto at = text.find("%@"); at != std::string::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

} // namespace tessaray
