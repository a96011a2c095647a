#pragma once

// The library's two declarative push-button styles: a 24-point bezel image behind the label, light grey
// text that darkens while pressed, and a bezel that overhangs the button's layout frame by 2 points on
// each side. Also the rounded system face the branded style and the host application write with.

#include "declarative/Declarative.hpp"
#include "graphics/Font.hpp"

namespace vimbra {

// The system font in its rounded design: Quicksand where fontconfig has it (Quicksand Medium for the
// medium weight), else the plain system font of the same size and weight.
graphics::FontRef roundedSystemFont(double pointSize, graphics::FontWeight weight);

// The standard look: system font 11, regular; the label dims to half opacity when the button is disabled.
struct DefaultPelkoButtonStyle {
    bool isEnabled = true;
    declarative::View makeBody(const declarative::ButtonConfiguration& configuration) const;
};

// The branded look: rounded system font 12, bold; no disabled look.
struct KestrovaButtonStyle {
    declarative::View makeBody(const declarative::ButtonConfiguration& configuration) const;
};

// The body both styles share: label in font and colour, framed to height 24 on its bezel, with the
// bezel overhanging the layout frame by 2 points at the leading and trailing edges.
declarative::View defaultButtonBody(const declarative::ButtonConfiguration& configuration,
                                    graphics::FontRef font, graphics::ColorRef color);

// The styles as the declarative layer applies them (View::buttonStyle). The default style reads
// isEnabled from the environment of each button.
declarative::ButtonStyle defaultPelkoButtonStyle();
declarative::ButtonStyle kestrovaButtonStyle();

} // namespace vimbra
