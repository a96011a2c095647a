#include "ZeltoCore/KitResources.hpp"

#include <string>

namespace zelto {

namespace {

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
    // The address of this function places the kit's own directory among the search locations; a miss
    // does not return.
    return *core::Bundle::namedOnce("Zelto_" + std::string(module),
                                    reinterpret_cast<const void*>(&moduleBundle));
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
