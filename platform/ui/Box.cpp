#include "ui/Box.hpp"

#include "graphics/Color.hpp"

#include <algorithm>

namespace ui {

void Box::setBoxType(BoxType type) {
    boxType_ = type;
    setNeedsDisplay();
}

void Box::draw(const graphics::Rect&) {
    if (boxType_ != BoxType::separator) {
        return;
    }
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    const auto b = bounds();
    const graphics::Rect line =
        b.width() >= b.height()
            ? graphics::Rect(b.minX(), b.midY() - 0.5, b.width(), std::min(1.0, b.height()))
            : graphics::Rect(b.midX() - 0.5, b.minY(), std::min(1.0, b.width()), b.height());
    context->fillRect(line, graphics::Color::separatorColor());
}

} // namespace ui
