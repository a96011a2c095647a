#pragma once

// The library's shared look constants: base fonts and the colours that the style classes copy into
// their fields and that some controls read directly. Each font and colour is made on first read (once,
// also when threads race to it) and the same object is returned ever after; aliases return the very
// object they stand for.

#include "graphics/Color.hpp"
#include "graphics/Font.hpp"

namespace vimbra {
struct Styles {
    // Base fonts.
    static graphics::FontRef baseFont();            // system 10 pt regular
    static graphics::FontRef monospacedDigitFont(); // monospaced-digit system 10 pt regular
    static graphics::FontRef mediumFont();          // system 10 pt medium
    static graphics::FontRef mediumFont12();
    static graphics::FontRef regularFont12();
    static graphics::FontRef mediumFont14();
    static graphics::FontRef mediumFont20();

    // Controls.
    static graphics::FontRef controlFont(); // baseFont
    static graphics::ColorRef controlTextColor();
    static graphics::ColorRef controlTextBackgroundColor();
    static graphics::ColorRef controlDisabledTextColor();
    static graphics::ColorRef controlDisabledBackgroundColor();
    static graphics::ColorRef controlInvalidTextColor();
    static graphics::ColorRef controlInvalidBackgroundColor();
    static graphics::ColorRef controlHighlightedTextColor();
    static graphics::ColorRef controlHighlightedBackgroundColor();
    static graphics::ColorRef controlSelectedTextColor();
    static graphics::ColorRef controlInvalidFocusRingColor();

    // Tables.
    static graphics::ColorRef tableRowBackgroundColor();
    static graphics::ColorRef tableHeaderBackgroundColor();
    static graphics::ColorRef tableTextColor();
    static graphics::ColorRef tableSelectedTextColor();

    // Labels.
    static graphics::FontRef labelFont(); // baseFont
    static graphics::ColorRef labelTextColor();
    static graphics::ColorRef labelDisabledTextColor();

    // Text input.
    static graphics::FontRef textInputFont(); // baseFont
    static graphics::ColorRef textInputTextColor();
    static graphics::ColorRef textInputTextBackgroundColor();
    static graphics::ColorRef textInputDisabledTextColor();
    static graphics::ColorRef textInputDisabledBackgroundColor();
    static graphics::ColorRef textInputInvalidTextColor();
    static graphics::ColorRef textInputInvalidBackgroundColor();
    static graphics::ColorRef textInputHighlightedTextColor();
    static graphics::ColorRef textInputHighlightedBackgroundColor();
    static graphics::ColorRef textInputPlaceholderTextColor();
    static graphics::ColorRef textInputPlaceholderBackground();
    static graphics::ColorRef textInputSelectedTextColor();

    // Segments.
    static graphics::FontRef segmentFont(); // mediumFont12
    static graphics::ColorRef segmentTextColor();
    static graphics::ColorRef segmentSelectedTextColor();
    static graphics::ColorRef segmentHighlightedTextColor();
};

} // namespace vimbra
