#include "ZeltoDialsCore/KitStandIns.hpp"

#include <map>
#include <memory>
#include <mutex>

namespace zelto {

const core::Bundle& moduleBundle(std::string_view module) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<core::Bundle>, std::less<>> bundles;
    std::lock_guard lock(mutex);
    if (auto it = bundles.find(module); it != bundles.end()) {
        return *it->second;
    }
    auto bundle = core::Bundle::named("Zelto_" + std::string(module));
    return *bundles.emplace(std::string(module), std::move(bundle)).first->second;
}

const core::Bundle& kitBundle() {
    return moduleBundle("ZeltoCore");
}

graphics::ColorRef kitColor(std::string_view name) {
    return graphics::Color::named(std::string(name), kitBundle().resourcePath());
}

graphics::ColorRef zeltoPluginGrey() {
    return kitColor("pluginGrey");
}
graphics::ColorRef zeltoPluginBlue() {
    return kitColor("pluginBlue");
}
graphics::ColorRef zeltoPluginYellow() {
    return kitColor("pluginYellow");
}
graphics::ColorRef zeltoPluginRed() {
    return kitColor("pluginRed");
}
graphics::ColorRef zeltoPluginPurple() {
    return kitColor("pluginPurple");
}
graphics::ColorRef zeltoTinyDialLabel() {
    return kitColor("tinyDialLabel");
}

std::string paddedIndexString(int n) {
    return n > 9 ? std::to_string(n) : "0" + std::to_string(n);
}

} // namespace zelto
