#pragma once

// String drawing in a rect, as AppKit's string drawing does it: measure the rect the text needs for a
// given size (wrapping or truncating each line by its line-break mode), and draw it there.

#include "graphics/AttributedString.hpp"

#include <string>

namespace ui {

// AppKit's raw values.
namespace StringDrawingOptions {
inline constexpr unsigned usesLineFragmentOrigin = 1u << 0; // lay out lines in the rect's width
inline constexpr unsigned usesFontLeading = 1u << 1;
inline constexpr unsigned usesDeviceMetrics = 1u << 3;
inline constexpr unsigned truncatesLastVisibleLine = 1u << 5;
} // namespace StringDrawingOptions

// The rect the text covers when drawn into a rect of `size`, origin at zero. With
// usesLineFragmentOrigin the text is laid out in size.width (a width of zero or less is unlimited):
// wrapping modes break lines, truncating modes cut each paragraph to one line with an ellipsis,
// clipping keeps each paragraph on one line. The height is that of all lines, whatever size.height.
// Without the option the text is one unwrapped layout (lines break only at line breaks).
graphics::Rect boundingRect(const graphics::AttributedString& text, graphics::Size size, unsigned options);
graphics::Rect boundingRect(const std::string& text, graphics::Size size, unsigned options,
                            const graphics::TextAttributes& attributes);

// Draws the text into rect, laid out as boundingRect measures it, first line at the rect's top,
// clipped to the rect. Nothing without a current graphics context.
void drawWithRect(const graphics::AttributedString& text, const graphics::Rect& rect, unsigned options);
void drawWithRect(const std::string& text, const graphics::Rect& rect, unsigned options,
                  const graphics::TextAttributes& attributes);

} // namespace ui
