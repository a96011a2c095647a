#include "ui/SearchField.hpp"

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

// The magnifier: a ring with a handle towards the bottom right, in the secondary label colour.
class SearchButtonCell final : public ButtonCell {
public:
    SearchButtonCell() { setBordered(false); }
    void drawWithFrame(const Rect& frame, View&) override {
        auto* context = graphics::GraphicsContext::current();
        if (!context || frame.isEmpty()) {
            return;
        }
        const double side = std::min(frame.width(), frame.height());
        const double r = side * 0.28;
        const Point centre{frame.midX() - side * 0.08, frame.midY() - side * 0.08};
        auto ring = graphics::BezierPath::oval(Rect(centre.x - r, centre.y - r, 2 * r, 2 * r));
        ring.setLineWidth(1.5);
        auto handle = graphics::BezierPath();
        const double d = r / std::sqrt(2.0);
        handle.moveTo({centre.x + d, centre.y + d});
        handle.lineTo({centre.x + side * 0.36, centre.y + side * 0.36});
        handle.setLineWidth(1.5);
        handle.setLineCapStyle(graphics::LineCap::round);
        const auto color =
            isEnabled() ? graphics::Color::secondaryLabelColor() : graphics::Color::tertiaryLabelColor();
        context->strokePath(ring, color);
        context->strokePath(handle, color);
    }
};

// The cancel button: a filled disc with a cross cut out of it; brighter while pressed.
class CancelButtonCell final : public ButtonCell {
public:
    CancelButtonCell() { setBordered(false); }
    void drawWithFrame(const Rect& frame, View&) override {
        auto* context = graphics::GraphicsContext::current();
        if (!context || frame.isEmpty()) {
            return;
        }
        const double side = std::min(frame.width(), frame.height()) * 0.75;
        const Rect disc(frame.midX() - side / 2, frame.midY() - side / 2, side, side);
        context->fillPath(graphics::BezierPath::oval(disc),
                          isHighlighted() ? graphics::Color::labelColor()
                                          : graphics::Color::secondaryLabelColor(),
                          context->compositingOperation());
        const double arm = side * 0.2;
        auto cross = graphics::BezierPath();
        cross.moveTo({disc.midX() - arm, disc.midY() - arm});
        cross.lineTo({disc.midX() + arm, disc.midY() + arm});
        cross.moveTo({disc.midX() - arm, disc.midY() + arm});
        cross.lineTo({disc.midX() + arm, disc.midY() - arm});
        cross.setLineWidth(1.5);
        cross.setLineCapStyle(graphics::LineCap::round);
        context->strokePath(cross, graphics::Color::controlBackgroundColor());
    }
};

// A button square at x in bounds, centred vertically.
Rect buttonSquare(const Rect& bounds, double side, bool atLeadingEnd) {
    const double x = atLeadingEnd ? bounds.minX() + SearchFieldCell::searchButtonInset
                                  : bounds.maxX() - SearchFieldCell::buttonInset - side;
    return Rect(x, bounds.minY() + std::round((bounds.height() - side) / 2), side, side);
}

double buttonSideFor(const Rect& bounds) {
    return std::max(0.0, std::min(SearchFieldCell::buttonSide, bounds.height() - 4));
}

} // namespace

// MARK: - SearchFieldCell

SearchFieldCell::SearchFieldCell(std::string text) : TextFieldCell(std::move(text)) {
    setBezeled(true);
    resetSearchButtonCell();
    resetCancelButtonCell();
}

void SearchFieldCell::resetSearchButtonCell() {
    searchButtonCell_ = std::make_shared<SearchButtonCell>();
}

void SearchFieldCell::resetCancelButtonCell() {
    cancelButtonCell_ = std::make_shared<CancelButtonCell>();
}

Rect SearchFieldCell::searchButtonRectForBounds(const Rect& bounds) const {
    if (!searchButtonCell_) {
        return {};
    }
    return buttonSquare(bounds, buttonSideFor(bounds), true);
}

Rect SearchFieldCell::cancelButtonRectForBounds(const Rect& bounds) const {
    if (!cancelButtonCell_) {
        return {};
    }
    return buttonSquare(bounds, buttonSideFor(bounds), false);
}

Rect SearchFieldCell::searchTextRectForBounds(const Rect& bounds) const {
    const Rect search = searchButtonRectForBounds(bounds);
    const Rect cancel = cancelButtonRectForBounds(bounds);
    const double minX = search.isEmpty() ? bounds.minX() + buttonInset : search.maxX() + 2;
    const double maxX = cancel.isEmpty() ? bounds.maxX() - buttonInset : cancel.minX() - 2;
    // A line of text tall, centred, in fields taller than that.
    const double inset = std::max(0.0, std::round((bounds.height() - textAreaHeight) / 2));
    return Rect(minX, bounds.minY() + inset, std::max(0.0, maxX - minX), bounds.height() - 2 * inset);
}

Rect SearchFieldCell::titleRectForBounds(const Rect& bounds) const {
    const Rect text = searchTextRectForBounds(bounds);
    const double line = attributedTitle().size().height;
    const double y = text.minY() + std::round((text.height() - line) / 2);
    return Rect(text.minX(), y, text.width(), std::min(line, text.height()));
}

void SearchFieldCell::drawWithFrame(const Rect& frame, View& controlView) {
    if (auto* context = graphics::GraphicsContext::current()) {
        if (isBezeled() || isBordered()) {
            const auto shape = graphics::BezierPath::roundedRect(
                frame.insetBy(0.5, 0.5), frame.height() / 2 - 0.5, frame.height() / 2 - 0.5);
            if (drawsBackground() && backgroundColor()) {
                context->fillPath(shape, backgroundColor(), context->compositingOperation());
            }
            auto border = shape;
            border.setLineWidth(1);
            context->strokePath(border, graphics::Color::separatorColor());
        } else if (drawsBackground() && backgroundColor()) {
            context->fillRect(frame, backgroundColor());
        }
    }
    drawInteriorWithFrame(frame, controlView);
}

void SearchFieldCell::drawInteriorWithFrame(const Rect& frame, View& controlView) {
    if (!showsFirstResponder()) {
        if (!stringValue().empty()) {
            attributedTitle().draw(titleRectForBounds(frame));
        } else if (placeholderAttributedString_) {
            placeholderAttributedString_->draw(titleRectForBounds(frame));
        } else if (!placeholderString().empty()) {
            attributedPlaceholder().draw(titleRectForBounds(frame));
        }
    }
    if (searchButtonCell_) {
        searchButtonCell_->drawWithFrame(searchButtonRectForBounds(frame), controlView);
    }
    if (cancelButtonCell_ && !stringValue().empty()) {
        cancelButtonCell_->drawWithFrame(cancelButtonRectForBounds(frame), controlView);
    }
}

void SearchFieldCell::editWithFrame(const Rect& rect, View& controlView, const std::shared_ptr<Text>& editor,
                                    const std::shared_ptr<Object>& delegate, const Event* event) {
    TextFieldCell::editWithFrame(searchTextRectForBounds(rect), controlView, editor, delegate, event);
}

void SearchFieldCell::selectWithFrame(const Rect& rect, View& controlView,
                                      const std::shared_ptr<Text>& editor,
                                      const std::shared_ptr<Object>& delegate, std::size_t start,
                                      std::size_t length) {
    TextFieldCell::selectWithFrame(searchTextRectForBounds(rect), controlView, editor, delegate, start,
                                   length);
}

// MARK: - SearchField

SearchField::SearchField(const Rect& frame, std::shared_ptr<SearchFieldCell> cell)
    : TextField(frame, cell ? std::move(cell) : std::make_shared<SearchFieldCell>()) {}

std::shared_ptr<SearchFieldCell> SearchField::searchFieldCell() const {
    return std::dynamic_pointer_cast<SearchFieldCell>(cell());
}

bool SearchField::sendsWholeSearchString() const {
    auto c = searchFieldCell();
    return c && c->sendsWholeSearchString();
}

void SearchField::setSendsWholeSearchString(bool flag) {
    if (auto c = searchFieldCell()) {
        c->setSendsWholeSearchString(flag);
    }
}

void SearchField::setBezelStyle(TextFieldBezelStyle style) {
    bezelStyle_ = style;
    setNeedsDisplay();
}

void SearchField::cancelSearch() {
    setStringValue("");
    setNeedsDisplay();
    sendAction();
}

Rect SearchField::cancelRect() const {
    auto c = searchFieldCell();
    if (!c || !c->cancelButtonCell() || stringValue().empty()) {
        return {};
    }
    return c->cancelButtonRectForBounds(bounds());
}

void SearchField::mouseDown(const Event& event) {
    const Rect cancel = cancelRect();
    if (isEnabled() && !cancel.isEmpty() &&
        cancel.contains(convertPointFromView(event.locationInWindow, nullptr))) {
        trackingCancel_ = true;
        searchFieldCell()->cancelButtonCell()->setHighlighted(true);
        setNeedsDisplay();
        return;
    }
    TextField::mouseDown(event);
}

void SearchField::mouseDragged(const Event& event) {
    if (!trackingCancel_) {
        TextField::mouseDragged(event);
        return;
    }
    const bool inside = cancelRect().contains(convertPointFromView(event.locationInWindow, nullptr));
    if (auto c = searchFieldCell();
        c && c->cancelButtonCell() && c->cancelButtonCell()->isHighlighted() != inside) {
        c->cancelButtonCell()->setHighlighted(inside);
        setNeedsDisplay();
    }
}

void SearchField::mouseUp(const Event& event) {
    if (!trackingCancel_) {
        TextField::mouseUp(event);
        return;
    }
    trackingCancel_ = false;
    const bool inside = cancelRect().contains(convertPointFromView(event.locationInWindow, nullptr));
    if (auto c = searchFieldCell(); c && c->cancelButtonCell()) {
        c->cancelButtonCell()->setHighlighted(false);
    }
    setNeedsDisplay();
    if (inside) {
        cancelSearch();
    }
}

Size SearchField::intrinsicContentSize() const {
    switch (controlSize()) {
    case ControlSize::small:
        return {noIntrinsicMetric, 19};
    case ControlSize::mini:
        return {noIntrinsicMetric, 16};
    default:
        return {noIntrinsicMetric, 22};
    }
}

void SearchField::textDidChange(Text& text) {
    auto self = sharedAs<SearchField>();
    TextField::textDidChange(text);
    setNeedsDisplay();
    if (!sendsWholeSearchString()) {
        sendAction();
    }
}

} // namespace ui
