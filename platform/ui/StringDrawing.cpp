#include "ui/StringDrawing.hpp"

#include "graphics/GraphicsContext.hpp"

#include <cmath>

namespace ui {

using graphics::Rect;
using graphics::Size;

Rect boundingRect(const graphics::AttributedString& text, Size size, unsigned options) {
    const Size measured = (options & StringDrawingOptions::usesLineFragmentOrigin)
                              ? text.boundingSize({size.width, 0})
                              : text.size();
    return Rect(0, 0, measured.width, measured.height);
}

Rect boundingRect(const std::string& text, Size size, unsigned options,
                  const graphics::TextAttributes& attributes) {
    return boundingRect(graphics::AttributedString(text, attributes), size, options);
}

void drawWithRect(const graphics::AttributedString& text, const Rect& rect, unsigned options) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    if (options & StringDrawingOptions::usesLineFragmentOrigin) {
        text.draw(rect);
        return;
    }
    // One unwrapped layout, clipped to the rect, its first line at the rect's top.
    graphics::GraphicsContext::StateGuard guard(*context);
    context->clipToRect(rect);
    text.drawAt({rect.minX(), context->isFlipped() ? rect.minY() : rect.maxY() - text.size().height});
}

void drawWithRect(const std::string& text, const Rect& rect, unsigned options,
                  const graphics::TextAttributes& attributes) {
    drawWithRect(graphics::AttributedString(text, attributes), rect, options);
}

} // namespace ui
