#pragma once

// The library bundle's catalogue: every colour and image of "Vimbra_Vimbra.bundle", with the drawing
// attributes kept beside each image, read by the library's code and by the artwork generator that draws
// the bundle, so the two can never disagree on a name.

#include <array>
#include <string_view>

namespace vimbra {

struct AssetColorEntry {
    std::string_view name;
    std::string_view hex; // "#RRGGBB"
};

inline constexpr std::array<AssetColorEntry, 21> assetColors{{
    {"Background/Normal", "#2B2B30"},  {"Background/Darker", "#222226"},
    {"Background/Darkest", "#18181B"}, {"Grey 20%", "#333333"},
    {"Grey 30%", "#4D4D4D"},           {"Grey 40%", "#666666"},
    {"Grey 50%", "#808080"},           {"Grey 60%", "#999999"},
    {"Grey 70%", "#B3B3B3"},           {"Grey 85%", "#D9D9D9"},
    {"Grey 100%", "#FFFFFF"},          {"Pelko/Aqua", "#33D1C6"},
    {"Pelko/Blue", "#3D7EFF"},         {"Pelko/DarkPurple", "#4A2F80"},
    {"Pelko/LightBlue", "#7DC3FF"},    {"Pelko/Orange", "#FF9F43"},
    {"Pelko/Purple", "#9B5CFF"},       {"Pelko/Red", "#FF5252"},
    {"Pelko/Yellow", "#FFD43B"},       {"Error", "#E5484D"},
    {"Highlight/System", "#2F7CF6"},
}};

// Cap insets in points: top, left, bottom, right.
struct AssetInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
};

struct AssetImageEntry {
    std::string_view name;
    double width;  // points
    double height; // points
    AssetInsets capInsets{};
    bool tile = false;       // tiled, not stretched, between the cap insets
    bool isTemplate = false; // a glyph whose colour the drawing code chooses
};

// The images at their natural sizes. Bezels stretch between their cap insets; "corner-tool-more" is the
// size of the tool bezel it is drawn over, its mark in the corner; "cursor-cycle" is the application's
// cursor image, which the library's bundle carries as well.
inline constexpr std::array<AssetImageEntry, 53> assetImages{{
    {"qel-button", 24, 22, {6, 8, 6, 8}},
    {"qel-button-down", 24, 22, {6, 8, 6, 8}},
    {"qel-button-selected", 24, 22, {6, 8, 6, 8}},
    {"qel-checkbox", 16, 16},
    {"qel-checkbox-down", 16, 16},
    {"qel-checkbox-mixed", 16, 16},
    {"qel-checkbox-mixed-down", 16, 16},
    {"qel-checkbox-on", 16, 16},
    {"qel-checkbox-on-down", 16, 16},
    {"qel-checkerboard", 16, 16, {}, true},
    {"qel-checkerboard-small", 8, 8, {}, true},
    {"qel-combobox", 20, 26, {8, 6, 8, 6}, false, true},
    {"qel-combobox-up", 20, 26, {}, false, true},
    {"qel-customslider-handle", 14, 14},
    {"qel-customslider-handle-down", 14, 14},
    {"qel-customslider-on", 8, 4, {0, 2, 0, 2}},
    {"qel-popdown", 32, 22, {6, 6, 6, 18}},
    {"qel-popdown-down", 32, 22, {6, 6, 6, 18}},
    {"qel-popup", 32, 22, {6, 6, 6, 18}},
    {"qel-popup-down", 32, 22, {6, 6, 6, 18}},
    {"qel-popup-tool", 28, 20, {5, 5, 5, 14}},
    {"qel-popup-tool-down", 28, 20, {5, 5, 5, 14}},
    {"qel-searchfield", 24, 22, {8, 10, 8, 10}},
    {"qel-searchfield-focus", 24, 22, {8, 10, 8, 10}},
    {"qel-slider", 12, 4, {0, 2, 0, 2}},
    {"qel-slider-alley", 12, 4, {0, 2, 0, 2}},
    {"qel-slider-handle", 14, 14},
    {"qel-slider-handle-down", 14, 14},
    {"qel-slider-handle-multi", 14, 14},
    {"qel-textfield", 20, 20, {5, 5, 5, 5}},
    {"qel-textfield-error", 20, 20, {5, 5, 5, 5}},
    {"qel-textfield-focus", 20, 20, {5, 5, 5, 5}},
    {"qel-textfield-tableheader", 20, 20, {5, 5, 5, 5}},
    {"qel-window-tab", 20, 24, {6, 6, 6, 6}},
    {"qel-window-tab-down", 20, 24, {6, 6, 6, 6}},
    {"qel-window-tab-selected", 20, 24, {6, 6, 6, 6}},
    {"corner-tool-background", 24, 24, {6, 6, 6, 6}},
    {"corner-tool-background-down", 24, 24, {6, 6, 6, 6}},
    {"corner-tool-background-selected", 24, 24, {6, 6, 6, 6}},
    {"corner-tool-more", 24, 24, {}, false, true},
    {"cursor-trackingslider", 16, 16},
    {"organiser-icon-disclose", 10, 10},
    {"organiser-icon-disclose-open", 10, 10},
    {"organiser-icon-star", 14, 14},
    {"organiser-icon-star-empty", 14, 14},
    {"organiser-navbar-back", 20, 20},
    {"organiser-navbar-back-down", 20, 20},
    {"properties-table-add", 16, 16},
    {"properties-table-add-down", 16, 16},
    {"properties-tableheader-overflow", 16, 16},
    {"properties-tableheader-overflow-down", 16, 16},
    {"window-kestrova", 64, 64},
    {"cursor-cycle", 16, 16},
}};

// The catalogue's entry of a name; null for names it lacks.
constexpr const AssetImageEntry* assetImage(std::string_view name) {
    for (const auto& entry : assetImages) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace vimbra
