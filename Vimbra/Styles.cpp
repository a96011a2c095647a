#include "Vimbra/Styles.hpp"

#include "Vimbra/Assets.hpp"

namespace vimbra {
using graphics::Color;
using graphics::ColorRef;
using graphics::Font;
using graphics::FontRef;
using graphics::FontWeight;

// Function-local statics: initialised exactly once, under the compiler's guard, and never released.
#define STYLE_FONT(member, expression)                                                                       \
    FontRef Styles::member() {                                                                               \
        static const FontRef value = expression;                                                             \
        return value;                                                                                        \
    }
#define STYLE_COLOR(member, asset)                                                                           \
    ColorRef Styles::member() {                                                                              \
        static const ColorRef value = vimbraColor(asset);                                                    \
        return value;                                                                                        \
    }
#define STYLE_CLEAR(member)                                                                                  \
    ColorRef Styles::member() {                                                                              \
        static const ColorRef value = Color::clear();                                                        \
        return value;                                                                                        \
    }

STYLE_FONT(baseFont, Font::systemFont(10, FontWeight::regular))
STYLE_FONT(monospacedDigitFont, Font::monospacedDigitSystemFont(10, FontWeight::regular))
STYLE_FONT(mediumFont, Font::systemFont(10, FontWeight::medium))
STYLE_FONT(mediumFont12, Font::systemFont(12, FontWeight::medium))
STYLE_FONT(regularFont12, Font::systemFont(12))
STYLE_FONT(mediumFont14, Font::systemFont(14, FontWeight::medium))
STYLE_FONT(mediumFont20, Font::systemFont(20, FontWeight::medium))

FontRef Styles::controlFont() {
    return baseFont();
}
STYLE_COLOR(controlTextColor, "Grey 85%")
STYLE_CLEAR(controlTextBackgroundColor)
STYLE_COLOR(controlDisabledTextColor, "Grey 40%")
STYLE_CLEAR(controlDisabledBackgroundColor)
STYLE_COLOR(controlInvalidTextColor, "Grey 100%")
STYLE_COLOR(controlInvalidBackgroundColor, "Error")
STYLE_COLOR(controlHighlightedTextColor, "Grey 50%")
STYLE_CLEAR(controlHighlightedBackgroundColor)
STYLE_COLOR(controlSelectedTextColor, "Grey 100%")
STYLE_COLOR(controlInvalidFocusRingColor, "Error")

STYLE_COLOR(tableRowBackgroundColor, "Background/Darker")
STYLE_COLOR(tableHeaderBackgroundColor, "Background/Darkest")
STYLE_COLOR(tableTextColor, "Grey 70%")
STYLE_COLOR(tableSelectedTextColor, "Grey 100%")

FontRef Styles::labelFont() {
    return baseFont();
}
STYLE_COLOR(labelTextColor, "Grey 60%")
STYLE_COLOR(labelDisabledTextColor, "Grey 30%")

FontRef Styles::textInputFont() {
    return baseFont();
}
STYLE_COLOR(textInputTextColor, "Grey 85%")
STYLE_CLEAR(textInputTextBackgroundColor)
STYLE_COLOR(textInputDisabledTextColor, "Grey 40%")
STYLE_CLEAR(textInputDisabledBackgroundColor)
STYLE_COLOR(textInputInvalidTextColor, "Error")
STYLE_COLOR(textInputInvalidBackgroundColor, "Error")
STYLE_COLOR(textInputHighlightedTextColor, "Grey 100%")
STYLE_CLEAR(textInputHighlightedBackgroundColor)
STYLE_COLOR(textInputPlaceholderTextColor, "Grey 50%")
STYLE_CLEAR(textInputPlaceholderBackground)
STYLE_COLOR(textInputSelectedTextColor, "Grey 100%")

FontRef Styles::segmentFont() {
    return mediumFont12();
}
STYLE_COLOR(segmentTextColor, "Grey 70%")
STYLE_COLOR(segmentSelectedTextColor, "Grey 85%")
STYLE_COLOR(segmentHighlightedTextColor, "Grey 50%")

} // namespace vimbra
