#pragma once

// The plug-in editor's artwork, drawn with Cairo: the 760 x 512 hardware panel behind the editor's
// blocks, the maker's wordmark, the preset field and its glyph buttons and the morph pad's dot, at the
// names and sizes of the editor's catalogue, plus the writer of the editor's bundle.

#include "tools/artwork-gen/Artwork.hpp"

#include <filesystem>
#include <vector>

namespace artwork {

// One description per image of the editor's catalogue, in its order. Empty when the catalogue names an
// image this generator cannot draw (the message goes to stderr).
std::vector<ImageSpec> editorImageSpecs();

// Writes Info.json, Resources/Colors.json and every image at 1x and @2x into the editor's bundle
// directory. False (with a message on stderr) on failure.
bool writeEditorArtwork(const std::filesystem::path& bundleDirectory);

} // namespace artwork
