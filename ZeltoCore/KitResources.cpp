#include "ZeltoCore/KitResources.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zelto {

namespace {

struct BundleCache {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<core::Bundle>, std::less<>> bundles;
};

BundleCache& bundleCache() {
    static auto* cache = new BundleCache;
    return *cache;
}

// The colour a palette member names, looked up once.
template <const char* Name> graphics::ColorRef paletteColor() {
    static const graphics::ColorRef color = kitColor(Name);
    return color;
}

constexpr char pluginGrey[] = "pluginGrey";
constexpr char pluginBlue[] = "pluginBlue";
constexpr char pluginYellow[] = "pluginYellow";
constexpr char pluginRed[] = "pluginRed";
constexpr char pluginPurple[] = "pluginPurple";
constexpr char tinyDialLabel[] = "tinyDialLabel";

} // namespace

const core::Bundle& moduleBundle(std::string_view module) {
    auto& cache = bundleCache();
    std::lock_guard lock(cache.mutex);
    if (const auto it = cache.bundles.find(module); it != cache.bundles.end()) {
        return *it->second;
    }
    // The address of this function places the kit's own directory among the search locations; a miss
    // does not return.
    auto bundle =
        core::Bundle::named("Zelto_" + std::string(module), reinterpret_cast<const void*>(&moduleBundle));
    return *cache.bundles.emplace(std::string(module), std::move(bundle)).first->second;
}

const core::Bundle& kitBundle() {
    static const core::Bundle& bundle = moduleBundle("ZeltoCore");
    return bundle;
}

graphics::ColorRef kitColor(std::string_view name) {
    return graphics::Color::named(std::string(name), kitBundle().resourcePath());
}

graphics::ImageRef kitImage(std::string_view name) {
    return graphics::Image::named(std::string(name), kitBundle().resourcePath());
}

graphics::ColorRef zeltoPluginGrey() {
    return paletteColor<pluginGrey>();
}
graphics::ColorRef zeltoPluginBlue() {
    return paletteColor<pluginBlue>();
}
graphics::ColorRef zeltoPluginYellow() {
    return paletteColor<pluginYellow>();
}
graphics::ColorRef zeltoPluginRed() {
    return paletteColor<pluginRed>();
}
graphics::ColorRef zeltoPluginPurple() {
    return paletteColor<pluginPurple>();
}
graphics::ColorRef zeltoTinyDialLabel() {
    return paletteColor<tinyDialLabel>();
}

} // namespace zelto
