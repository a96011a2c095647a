#include "extension/editor/EditorAssets.hpp"

#include "core/Workspace.hpp"
#include "declarative/Core.hpp"
#include "extension/editor/EditorCatalog.hpp"

namespace editor {

namespace {

// One asset of each kind per name, resolved the first time it is asked for.
template <const char* Name> graphics::ColorRef namedColor() {
    static const graphics::ColorRef color = editorColor(Name);
    return color;
}
template <const char* Name> graphics::ImageRef namedImage() {
    static const graphics::ImageRef image = editorImage(Name);
    return image;
}

constexpr char background[] = "background";
constexpr char barActiveName[] = "barActive";
constexpr char barBackgroundName[] = "barBackground";
constexpr char buttonBlueName[] = "buttonBlue";
constexpr char valuesName[] = "values";
constexpr char logoName[] = "kestrova-logo";
constexpr char presetName[] = "header-preset";
constexpr char nextName[] = "header-preset-next";
constexpr char previousName[] = "header-preset-previous";
constexpr char revertName[] = "header-preset-revert";
constexpr char dotName[] = "morph-dot";
constexpr char dotDownName[] = "morph-dot-down";

} // namespace

const core::Bundle& editorBundle() {
    // The address of this function puts the editor's own directory among the search places.
    return *core::Bundle::namedOnce(editorBundleName, reinterpret_cast<const void*>(&editorBundle));
}

graphics::ColorRef editorColor(std::string_view name) {
    return graphics::Color::named(std::string(name), editorBundle().resourcePath());
}

graphics::ImageRef editorImage(std::string_view name) {
    return graphics::Image::named(std::string(name), editorBundle().resourcePath());
}

std::vector<std::string> missingEditorAssets() {
    std::vector<std::string> missing;
    for (const auto& entry : editorColors) {
        if (!editorColor(entry.name)) {
            missing.push_back("colour " + std::string(entry.name));
        }
    }
    for (const auto& entry : editorImages) {
        if (!editorImage(entry.name)) {
            missing.push_back("image " + std::string(entry.name));
        }
    }
    return missing;
}

namespace assets {
graphics::ColorRef backgroundColor() {
    return namedColor<background>();
}
graphics::ColorRef barActive() {
    return namedColor<barActiveName>();
}
graphics::ColorRef barBackground() {
    return namedColor<barBackgroundName>();
}
graphics::ColorRef buttonBlue() {
    return namedColor<buttonBlueName>();
}
graphics::ColorRef values() {
    return namedColor<valuesName>();
}
graphics::ImageRef backgroundImage() {
    return namedImage<background>();
}
graphics::ImageRef kestrovaLogo() {
    return namedImage<logoName>();
}
graphics::ImageRef headerPreset() {
    return namedImage<presetName>();
}
graphics::ImageRef headerPresetNext() {
    return namedImage<nextName>();
}
graphics::ImageRef headerPresetPrevious() {
    return namedImage<previousName>();
}
graphics::ImageRef headerPresetRevert() {
    return namedImage<revertName>();
}
graphics::ImageRef morphDot() {
    return namedImage<dotName>();
}
graphics::ImageRef morphDotDown() {
    return namedImage<dotDownName>();
}
} // namespace assets

std::function<void(const core::URL&)> urlOpener(const declarative::Context& context) {
    if (auto opener = context.environmentObject<URLOpener>(); opener && opener->open) {
        return opener->open;
    }
    return [](const core::URL& url) { core::openURL(url); };
}

} // namespace editor
