#pragma once

// The kit's three typefaces: shipped in its resource bundle and made known to this process alone.

#include "graphics/Font.hpp"

#include <filesystem>
#include <string_view>

namespace zelto {

enum class CorviFont { rocket, dosisLight, dosisMedium };

// The face name the kit knows each by: "Rocket", "Dosis-Light", "Dosis-Medium".
std::string_view corviFontFaceName(CorviFont font);

// Registers the font files in fontsDirectory (the bundle's Resources/Fonts) as application fonts and
// teaches fontconfig the family "Rocket". Never touches the user's font configuration; registering again
// adds nothing. Returns whether every face now resolves to its own family.
bool registerKitFonts(const std::filesystem::path& fontsDirectory);

// The face at a size, as a graphics font. A face that is not available falls back to the default font (the
// text still draws, in another face).
graphics::FontRef corviFont(CorviFont font, double size);

} // namespace zelto
