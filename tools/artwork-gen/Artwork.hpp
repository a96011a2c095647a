#pragma once

// The control library's artwork, drawn with Cairo: one description per image of the library's catalogue
// (its size in points, cap insets, resizing mode and template flag, with a drawing routine in points,
// y down), and the writer of the whole resource bundle (Info.json, colour table, image attributes and
// 1x/2x PNG files).

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace artwork {

struct Insets {
    double top = 0, left = 0, bottom = 0, right = 0;
};

struct ImageSpec {
    std::string name;
    double width = 0;
    double height = 0;
    Insets capInsets;
    bool tile = false;
    bool isTemplate = false;
    std::function<void(cairo_t*, double width, double height)> draw;
};

struct ColorSpec {
    std::string name;
    std::string hex; // "#RRGGBB"
};

const std::vector<ColorSpec>& colors();
// The library's images in the catalogue's order; empty when one of them has no drawing.
const std::vector<ImageSpec>& images();

// Draws one image at a scale into a PNG file; false on failure.
bool writeImage(const ImageSpec& spec, double scale, const std::filesystem::path& file);
// Writes a catalogue's images at 1x and 2x and its colour table ("Colors.json") into a bundle's Resources
// folder; false (with a message on stderr naming `what`) on failure, or when `images` is empty.
bool writeCatalogue(const std::filesystem::path& bundleDirectory, const std::vector<ImageSpec>& images,
                    const std::vector<ColorSpec>& colors, const char* what);
// Writes the bundle directory; false (with a message on stderr) on failure.
bool writeBundle(const std::filesystem::path& bundleDirectory);

} // namespace artwork
