#pragma once

// The kit bundle's catalogue: every colour and image of "Zelto_ZeltoCore.bundle", read by the kit's
// code and by the artwork generator that draws the bundle, so the two can never disagree on a name.

#include <array>
#include <string_view>

namespace zelto {

struct KitColorEntry {
    std::string_view name;
    std::string_view hex; // "#RRGGBB"
};

// The kit's colours: the dial palette first, then the buttons' and header's colours.
inline constexpr std::array<KitColorEntry, 15> kitColors{{
    {"pluginGrey", "#B9BDC5"},
    {"pluginBlue", "#4FA3F7"},
    {"pluginYellow", "#F2C94C"},
    {"pluginRed", "#EF5B5B"},
    {"pluginPurple", "#A98BF5"},
    {"tinyDialLabel", "#9AA0A9"},
    {"ChaosYellowText", "#F6C431"},
    {"background", "#18191D"},
    {"buttonText", "#D5D8DE"},
    {"chaosToggleText", "#BFC3CA"},
    {"chaosToggleTextPressed", "#FFFFFF"},
    {"tabSelected", "#F6C431"},
    {"tabUnselected", "#6D727B"},
    {"updateBackground", "#F6C431"},
    {"versionInfo", "#7C818A"},
}};

struct KitImageEntry {
    std::string_view name;
    double width;  // points
    double height; // points
};

// The kit's images at their natural sizes, which match the buttons' fixed frames.
inline constexpr std::array<KitImageEntry, 29> kitImages{{
    {"kestrova-logo", 110, 26},
    {"chaos-button-grey-off", 48, 56},
    {"chaos-button-grey-off-down", 48, 56},
    {"chaos-button-grey-on-blue", 48, 56},
    {"chaos-button-grey-on-blue-down", 48, 56},
    {"chaos-button-grey-on-red", 48, 56},
    {"chaos-button-grey-on-red-down", 48, 56},
    {"chaos-button-grey-on-white", 48, 56},
    {"chaos-button-grey-on-white-down", 48, 56},
    {"chaos-button-grey-on-yellow", 48, 56},
    {"chaos-button-grey-on-yellow-down", 48, 56},
    {"chaos-button-narrow-grey-off", 24, 62},
    {"chaos-button-narrow-grey-off-down", 24, 62},
    {"chaos-button-narrow-grey-on-yellow", 24, 62},
    {"chaos-button-narrow-grey-on-yellow-down", 24, 62},
    {"chaos-button-small-yellow-left", 28, 34},
    {"chaos-button-small-yellow-left-down", 28, 34},
    {"chaos-button-small-yellow-right", 28, 34},
    {"chaos-button-small-yellow-right-down", 28, 34},
    {"chaos-button-yellow", 48, 56},
    {"chaos-button-yellow-down", 48, 56},
    {"modern-button", 88, 27},
    {"modern-button-down", 88, 27},
    {"modern-button-on", 88, 27},
    {"modern-button-on-down", 88, 27},
    {"retro-button", 88, 27},
    {"retro-button-down", 88, 27},
    {"settings-button", 24, 24},
    {"settings-button-down", 24, 24},
}};

inline constexpr std::string_view kitBundleName = "Zelto_ZeltoCore";

} // namespace zelto
