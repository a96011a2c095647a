#include "ui/SplitView.hpp"

#include <algorithm>

namespace ui {

using graphics::Rect;

void SplitView::setVertical(bool vertical) {
    if (vertical != vertical_) {
        vertical_ = vertical;
        setNeedsLayout();
        setNeedsDisplay();
    }
}

Rect SplitView::place(double from, double size) const {
    const Rect b = bounds();
    return vertical_ ? Rect(b.minX() + from, b.minY(), size, b.height())
                     : Rect(b.minX(), b.minY() + from, b.width(), size);
}

Rect SplitView::dividerRect(std::size_t index) const {
    const auto& views = subviews();
    if (index + 1 >= views.size()) {
        return {};
    }
    const Rect before = views[index]->frame();
    return place(start(before) - start(bounds()) + length(before), dividerThickness());
}

void SplitView::adjustSubviews() {
    const auto& views = subviews();
    if (views.empty()) {
        return;
    }
    const double thickness = dividerThickness();
    const double available =
        std::max(0.0, length(bounds()) - thickness * static_cast<double>(views.size() - 1));
    double total = 0;
    for (const auto& v : views) {
        total += std::max(0.0, length(v->frame()));
    }
    double at = 0;
    for (std::size_t i = 0; i < views.size(); ++i) {
        const double share = total > 0 ? std::max(0.0, length(views[i]->frame())) / total
                                       : 1.0 / static_cast<double>(views.size());
        // The last view takes what rounding left, so the views always fill the length exactly.
        const double size = i + 1 == views.size() ? std::max(0.0, available - at + thickness * double(i))
                                                  : std::round(available * share);
        views[i]->setFrame(place(at, size));
        at += size + thickness;
    }
}

void SplitView::setPosition(double position, std::size_t index) {
    const auto& views = subviews();
    if (index + 1 >= views.size()) {
        return;
    }
    const Rect before = views[index]->frame();
    const Rect after = views[index + 1]->frame();
    const double from = start(before) - start(bounds());
    const double end = start(after) - start(bounds()) + length(after);
    const double thickness = dividerThickness();
    const double split = std::clamp(position, from, std::max(from, end - thickness));
    views[index]->setFrame(place(from, split - from));
    views[index + 1]->setFrame(place(split + thickness, std::max(0.0, end - split - thickness)));
    setNeedsDisplay();
}

void SplitView::layout() {
    View::layout();
    adjustSubviews();
}

void SplitView::setFrame(const Rect& frame) {
    const bool resized = frame.size != this->frame().size;
    View::setFrame(frame);
    if (resized) {
        setNeedsLayout();
    }
}

void SplitView::didAddSubview(const std::shared_ptr<View>& subview) {
    View::didAddSubview(subview);
    setNeedsLayout();
}

void SplitView::willRemoveSubview(const std::shared_ptr<View>& subview) {
    View::willRemoveSubview(subview);
    setNeedsLayout();
}

void SplitView::drawDivider(const Rect& rect) {
    if (auto* context = graphics::GraphicsContext::current(); context && !rect.isEmpty()) {
        if (auto color = dividerColor()) {
            context->fillRect(rect, color);
        }
    }
}

void SplitView::draw(const Rect&) {
    for (std::size_t i = 0; i + 1 < subviews().size(); ++i) {
        drawDivider(dividerRect(i));
    }
}

} // namespace ui
