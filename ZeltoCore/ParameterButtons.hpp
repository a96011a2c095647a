#pragma once

// The kit's image-drawn buttons for plug-in editors. Six edit a bound AudioParameter with the begin,
// change and end phases a host records as automation; ChaosButton and ImageButton only call a closure.
//
// All share one press scheme: a drag of zero minimum distance whose first change presses the button (its
// press action runs once per gesture) and whose end releases it, inside or outside the button's fixed
// rectangle [0, width) x [0, height). A drag that is cancelled (grab lost, view removed) releases
// outside, so a host never sees a begin without its end. Edits always come from the `ui` source; values
// are read from the parameter at the moment of each action and at every redraw, so the buttons follow
// changes made by the host.

#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/ButtonStyles.hpp"
#include "declarative/Declarative.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zelto {

using ParameterBinding = declarative::Binding<std::shared_ptr<AudioParameter>>;

// The colour word of the chaos buttons' image names.
enum class ChaosButtonColor : std::uint8_t { yellow = 0, blue = 1, red = 2, white = 3 };

// "chaos-button-yellow" with a title over it (for every colour); calls onPressed on a release inside.
struct ChaosButton {
    ChaosButtonColor color = ChaosButtonColor::yellow;
    std::string buttonText;
    std::function<void()> onPressed;
    static constexpr declarative::Size buttonSize{48, 56};

    ChaosButton(std::string title, ChaosButtonColor buttonColor, std::function<void()> onPressed = {})
        : color(buttonColor), buttonText(std::move(title)), onPressed(std::move(onPressed)) {}
    declarative::View body(declarative::Context& context) const;
};

// Selects the value `valueIndex` of an indexed parameter; lit in its colour while the parameter holds it.
// Shows `image` when given, else the value string at `valueIndex`.
struct ChaosToggleButton {
    ParameterBinding param;
    int valueIndex = 0;
    ChaosButtonColor color = ChaosButtonColor::yellow;
    std::optional<declarative::ImageView> image;
    static constexpr declarative::Size buttonSize{48, 56};

    ChaosToggleButton(ParameterBinding param, int valueIndex, ChaosButtonColor buttonColor,
                      std::optional<declarative::ImageView> image = std::nullopt)
        : param(std::move(param)), valueIndex(valueIndex), color(buttonColor), image(std::move(image)) {}
    declarative::View body(declarative::Context& context) const;
};

// A narrow on/off switch of a two-valued parameter (on at exactly 1).
struct ChaosToggleButtonNarrow {
    ParameterBinding param;
    std::optional<std::string> buttonText;
    static constexpr declarative::Size buttonSize{24, 62};

    explicit ChaosToggleButtonNarrow(ParameterBinding param, std::optional<std::string> title = std::nullopt)
        : param(std::move(param)), buttonText(std::move(title)) {}
    declarative::View body(declarative::Context& context) const;
};

// Two images of the caller's; onPressed gets whether Option was held at the release inside.
struct ImageButton {
    declarative::ImageView image;
    declarative::ImageView downImage;
    std::function<void(bool)> onPressed;
    static constexpr declarative::Size buttonSize{48, 56};

    ImageButton(declarative::ImageView image, declarative::ImageView downImage,
                std::function<void(bool)> onPressed = {})
        : image(std::move(image)), downImage(std::move(downImage)), onPressed(std::move(onPressed)) {}
    declarative::View body(declarative::Context& context) const;
};

// A small arrow that points left while the parameter holds `leftValue` and right otherwise; a click
// toggles the parameter between 0 and 1.
struct LeftRightArrowButton {
    ParameterBinding param;
    float leftValue = 0;
    static constexpr declarative::Size buttonSize{28, 34};

    LeftRightArrowButton(ParameterBinding param, float leftValue)
        : param(std::move(param)), leftValue(leftValue) {}
    declarative::View body(declarative::Context& context) const;
};

// Selects the value `valueIndex`, labelled with its value string in Rocket, in the modern or retro look.
struct ModeToggleButton {
    ParameterBinding param;
    int valueIndex = 0;
    ToggleButtonStyle buttonStyle = ToggleButtonStyle::modern;
    double buttonFontSize = 13;
    graphics::ColorRef buttonTextColor;
    static constexpr declarative::Size buttonSize{88, 27};

    ModeToggleButton(ParameterBinding param, int valueIndex, graphics::ColorRef textColor,
                     ToggleButtonStyle buttonStyle, double buttonFontSize)
        : param(std::move(param)), valueIndex(valueIndex), buttonStyle(buttonStyle),
          buttonFontSize(buttonFontSize), buttonTextColor(std::move(textColor)) {}
    declarative::View body(declarative::Context& context) const;
};

// Holds its parameter at 1 exactly as long as the pointer is down on it; shows `pressedImage` while the
// parameter is 1. It has no hit rectangle: a release anywhere lets go.
struct ParameterHoldButton {
    ParameterBinding param;
    graphics::ImageRef image;
    graphics::ImageRef pressedImage;

    ParameterHoldButton(ParameterBinding param, graphics::ImageRef image, graphics::ImageRef pressedImage)
        : param(std::move(param)), image(std::move(image)), pressedImage(std::move(pressedImage)) {}
    declarative::View body(declarative::Context& context) const;
};

// An on/off switch of a two-valued parameter, labelled with its name (or `nameOverride`) in Rocket.
struct ToggleButton {
    ParameterBinding param;
    std::optional<std::string> nameOverride;
    double buttonFontSize = 13;
    graphics::ColorRef buttonTextColor;
    static constexpr declarative::Size buttonSize{88, 27};

    ToggleButton(ParameterBinding param, graphics::ColorRef buttonTextColor,
                 std::optional<std::string> nameOverride, double buttonFontSize)
        : param(std::move(param)), nameOverride(std::move(nameOverride)), buttonFontSize(buttonFontSize),
          buttonTextColor(std::move(buttonTextColor)) {}
    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
