#pragma once

// The kit's view helpers: its typefaces applied to views, and the style of the button that announces an
// available update.

#include "ZeltoCore/KitFonts.hpp"
#include "declarative/Declarative.hpp"

namespace zelto {

// Sets the environment font of its content to one of the kit's faces at a size in points.
struct CustomFontModifier {
    CorviFont font;
    double size;

    declarative::View body(declarative::View content) const;
    bool operator==(const CustomFontModifier&) const = default;
};

declarative::View corviFont(declarative::View content, CorviFont font, double size);
declarative::View rocketFont(declarative::View content, double size);

// The label in Rocket at 13 points in the kit's "background" colour, padded 4 points at the sides and 2
// at the top, on a rounded "updateBackground" plate; dimmed to 0.8 while pressed.
declarative::ButtonStyle updateButtonStyle();

} // namespace zelto
