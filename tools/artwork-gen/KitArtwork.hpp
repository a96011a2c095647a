#pragma once

// The plug-in control kit's artwork, drawn with Cairo: its hardware-style push buttons, toggles, arrow
// buttons, flat and vintage mode buttons, the settings gear and the maker's wordmark, at the names and
// sizes of the kit's catalogue, plus the writer of the kit bundle's colour table and images.

#include "tools/artwork-gen/Artwork.hpp"

#include <filesystem>
#include <vector>

namespace artwork {

// One description per image of the kit's catalogue, in its order. Empty when the catalogue names an
// image this generator cannot draw (the message goes to stderr).
std::vector<ImageSpec> kitImageSpecs();

// Writes Resources/Colors.json and every image at 1x and @2x into the kit bundle directory. The bundle's
// Info.json and typefaces come from elsewhere. False (with a message on stderr) on failure.
bool writeKitArtwork(const std::filesystem::path& bundleDirectory);

} // namespace artwork
