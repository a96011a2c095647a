#pragma once

// Image operations used by the styled cells (tinting, alpha, padding) and for snapshots (PNG export),
// plus the debug text of a colour.

#include "graphics/Color.hpp"
#include "graphics/GraphicsContext.hpp"
#include "graphics/Image.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vimbra {
double aspectRatio(const graphics::Image& image);
// Width and height of a bitmap in pixels.
graphics::Size pixelSize(const graphics::ImageRep& rep);

// A new image of the same size with the receiver drawn at the given opacity.
graphics::ImageRef withAlpha(const graphics::Image& image, double fraction);
// A new image `left` points wider with the receiver drawn at its right: transparent leading space.
graphics::ImageRef padded(const graphics::Image& image, double left);
// For a template image, a copy filled with the colour through the image's shape (source-in) that is no
// longer a template; any other image is returned itself.
graphics::ImageRef tinted(const graphics::ImageRef& image, const graphics::ColorRef& color);

// The representation best suited to draw rect in context (context null: scale 1), else the first one;
// null when the image has none.
std::shared_ptr<const graphics::ImageRep> bitmapRepresentation(const graphics::Image& image,
                                                               const graphics::Rect& rect,
                                                               const graphics::GraphicsContext* context);
// A new image holding the representations that satisfy the predicate, in order. An exception thrown by
// the predicate propagates and no image is made.
graphics::ImageRef filtered(const graphics::Image& image,
                            const std::function<bool(const graphics::ImageRep&)>& predicate);

// PNG of the densest representation: 16 bits per channel, colours converted to Display P3 and tagged
// with its primaries. nullopt when there is no bitmap or encoding fails.
std::optional<std::vector<std::uint8_t>> pngData(const graphics::Image& image);
std::optional<std::vector<std::uint8_t>> pngData(const graphics::ImageRep& rep);

// "<colour space name>: [ c1, c2, c3, alpha ]" with each component written as a double.
std::string debugDescription(const graphics::Color& color);

} // namespace vimbra
