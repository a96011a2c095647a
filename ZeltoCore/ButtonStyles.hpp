#pragma once

// The kit's image-backed looks for buttons: a stretchable button with an on state, the settings button,
// and the two looks of the mode toggle button.

#include "ZeltoCore/KitFonts.hpp"
#include "declarative/Declarative.hpp"

#include <cstdint>

namespace zelto {

// The looks of ModeToggleButton: "modern-button" or "retro-button" images.
enum class ToggleButtonStyle : std::uint8_t { modern = 0, retro = 1 };

// "modern-button" (with "-on" while on, "-down" while pressed), stretched to the offered width and
// 27 points high; the label moved down 2 points, in `color` while on and the kit's "buttonText" otherwise.
struct ModernButtonStyle {
    bool isOn = false;
    graphics::ColorRef color;

    declarative::View makeBody(const declarative::ButtonConfiguration& configuration) const;
    declarative::View operator()(const declarative::ButtonConfiguration& configuration) const {
        return makeBody(configuration);
    }
};

// "settings-button" ("settings-button-down" while pressed) at its natural size with the label in
// "buttonText" over it. The style sets no font: `font` names the face the label uses, and a Rocket label
// sits 2 points lower to look centred.
struct SettingsButtonStyle {
    CorviFont font = CorviFont::rocket;

    declarative::View makeBody(const declarative::ButtonConfiguration& configuration) const;
    declarative::View operator()(const declarative::ButtonConfiguration& configuration) const {
        return makeBody(configuration);
    }
};

} // namespace zelto
