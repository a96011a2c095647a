#include "ui/SegmentedControl.hpp"

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

// Space on each side of an automatic-width segment's content.
constexpr double autoWidthMargin = 8;

// Height of the control by control size (regular, small, mini, large, extra large).
double segmentedHeight(ControlSize size) {
    switch (size) {
    case ControlSize::small:
        return 20;
    case ControlSize::mini:
        return 16;
    case ControlSize::large:
    case ControlSize::extraLarge:
        return 28;
    default:
        return 24;
    }
}

graphics::TextAttributes labelAttributes(const Cell& cell, bool enabled) {
    graphics::TextAttributes attributes;
    attributes.font = cell.font();
    attributes.foregroundColor =
        enabled ? graphics::Color::controlTextColor() : graphics::Color::disabledControlTextColor();
    attributes.paragraphStyle.alignment = graphics::TextAlignment::center;
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    return attributes;
}

} // namespace

SegmentedCell::SegmentedCell() {
    setAlignment(graphics::TextAlignment::center);
}

void SegmentedCell::setSegmentCount(int count) {
    segments_.resize(static_cast<std::size_t>(std::max(0, count)));
    if (!valid(lastSelected_)) {
        lastSelected_ = -1;
    }
    if (!valid(keySegment_)) {
        keySegment_ = -1;
    }
    if (!valid(trackedSegment_)) {
        trackedSegment_ = -1;
        pressedInside_ = false;
    }
    if (!valid(momentarySegment_)) {
        momentarySegment_ = -1;
    }
}

double SegmentedCell::widthForSegment(int segment) const {
    return valid(segment) ? segments_[static_cast<std::size_t>(segment)].width : 0;
}

void SegmentedCell::setWidthForSegment(double width, int segment) {
    if (valid(segment)) {
        segments_[static_cast<std::size_t>(segment)].width = std::isfinite(width) ? std::max(0.0, width) : 0;
    }
}

double SegmentedCell::effectiveWidthForSegment(int segment) const {
    if (!valid(segment)) {
        return 0;
    }
    const auto& s = segments_[static_cast<std::size_t>(segment)];
    if (s.width > 0) {
        return s.width;
    }
    double content = 0;
    if (s.label) {
        content = graphics::AttributedString(*s.label, labelAttributes(*this, true)).size().width;
    }
    if (s.image) {
        content = std::max(content, s.image->width());
    }
    return std::ceil(content) + 2 * autoWidthMargin;
}

std::optional<std::string> SegmentedCell::labelForSegment(int segment) const {
    return valid(segment) ? segments_[static_cast<std::size_t>(segment)].label : std::nullopt;
}

void SegmentedCell::setLabelForSegment(std::optional<std::string> label, int segment) {
    if (valid(segment)) {
        segments_[static_cast<std::size_t>(segment)].label = std::move(label);
    }
}

graphics::ImageRef SegmentedCell::imageForSegment(int segment) const {
    return valid(segment) ? segments_[static_cast<std::size_t>(segment)].image : nullptr;
}

void SegmentedCell::setImageForSegment(graphics::ImageRef image, int segment) {
    if (valid(segment)) {
        segments_[static_cast<std::size_t>(segment)].image = std::move(image);
    }
}

bool SegmentedCell::isEnabledForSegment(int segment) const {
    return valid(segment) && segments_[static_cast<std::size_t>(segment)].enabled;
}

void SegmentedCell::setEnabledForSegment(bool enabled, int segment) {
    if (valid(segment)) {
        segments_[static_cast<std::size_t>(segment)].enabled = enabled;
    }
}

void SegmentedCell::setTrackingMode(SegmentSwitchTracking mode) {
    const int kept = selectedSegment();
    trackingMode_ = mode;
    if (mode == SegmentSwitchTracking::momentary) {
        deselectAllBut(-1);
        lastSelected_ = -1;
    } else if (mode == SegmentSwitchTracking::selectOne) {
        deselectAllBut(kept);
        lastSelected_ = kept;
    }
}

bool SegmentedCell::isSelectedForSegment(int segment) const {
    return valid(segment) && segments_[static_cast<std::size_t>(segment)].selected;
}

void SegmentedCell::deselectAllBut(int segment) {
    for (int i = 0; i < segmentCount(); ++i) {
        if (i != segment) {
            segments_[static_cast<std::size_t>(i)].selected = false;
        }
    }
}

void SegmentedCell::setSelectedForSegment(bool selected, int segment) {
    if (!valid(segment)) {
        return;
    }
    if (selected && trackingMode_ != SegmentSwitchTracking::selectAny) {
        deselectAllBut(segment);
    }
    segments_[static_cast<std::size_t>(segment)].selected = selected;
    if (selected) {
        lastSelected_ = segment;
    }
}

int SegmentedCell::selectedSegment() const {
    if (valid(momentarySegment_)) {
        return momentarySegment_;
    }
    if (isSelectedForSegment(lastSelected_)) {
        return lastSelected_;
    }
    for (int i = 0; i < segmentCount(); ++i) {
        if (segments_[static_cast<std::size_t>(i)].selected) {
            return i;
        }
    }
    return -1;
}

void SegmentedCell::setSelectedSegment(int segment) {
    if (!valid(segment)) {
        deselectAllBut(-1);
        lastSelected_ = -1;
        return;
    }
    setSelectedForSegment(true, segment);
}

int SegmentedCell::keySegment() const {
    if (valid(keySegment_)) {
        return keySegment_;
    }
    const int selected = selectedSegment();
    if (selected >= 0) {
        return selected;
    }
    return segments_.empty() ? -1 : 0;
}

void SegmentedCell::setKeySegment(int segment) {
    keySegment_ = valid(segment) ? segment : -1;
}

bool SegmentedCell::moveKeySegment(int direction) {
    const int step = direction < 0 ? -1 : 1;
    for (int s = keySegment() + step; valid(s); s += step) {
        if (isEnabledForSegment(s)) {
            keySegment_ = s;
            return true;
        }
    }
    return false;
}

int SegmentedCell::segmentHighlightState(int segment) const {
    const bool pressed = segment >= 0 && segment == pressedSegment();
    if (isSelectedForSegment(segment)) {
        return pressed ? SegmentHighlight::selectedPressed : SegmentHighlight::selected;
    }
    return pressed ? SegmentHighlight::pressed : SegmentHighlight::rest;
}

Rect SegmentedCell::frameForSegment(int segment, const Rect& frame) const {
    if (!valid(segment)) {
        return {};
    }
    double x = frame.minX();
    for (int i = 0; i < segment; ++i) {
        x += effectiveWidthForSegment(i);
    }
    return Rect(x, frame.minY(), effectiveWidthForSegment(segment), frame.height());
}

int SegmentedCell::segmentAtPoint(const Point& point, const Rect& frame) const {
    if (point.y < frame.minY() || point.y >= frame.maxY()) {
        return -1;
    }
    double x = frame.minX();
    for (int i = 0; i < segmentCount(); ++i) {
        const double width = effectiveWidthForSegment(i);
        if (point.x >= x && point.x < x + width) {
            return i;
        }
        x += width;
    }
    return -1;
}

Size SegmentedCell::cellSize() const {
    double width = 0;
    for (int i = 0; i < segmentCount(); ++i) {
        width += effectiveWidthForSegment(i);
    }
    return {std::ceil(width), segmentedHeight(controlSize())};
}

void SegmentedCell::drawWithFrame(const Rect& frame, View& controlView) {
    if (auto* context = graphics::GraphicsContext::current(); context && segmentCount() > 0) {
        const Rect last = frameForSegment(segmentCount() - 1, frame);
        const Rect all(frame.minX(), frame.minY(), last.maxX() - frame.minX(), frame.height());
        auto path = graphics::BezierPath::roundedRect(all.insetBy(0.5, 0.5), 4, 4);
        const auto fill = graphics::Color::white(0.36);
        context->fillPath(path, isEnabled() ? fill : fill->withAlphaComponent(0.5),
                          graphics::CompositingOperation::sourceOver);
        path.setLineWidth(1);
        context->strokePath(path, graphics::Color::white(0.48));
    }
    drawInteriorWithFrame(frame, controlView);
}

void SegmentedCell::drawInteriorWithFrame(const Rect& frame, View& controlView) {
    for (int i = 0; i < segmentCount(); ++i) {
        drawSegment(i, frameForSegment(i, frame), controlView);
    }
}

void SegmentedCell::drawSegment(int segment, const Rect& frame, View&) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || !valid(segment)) {
        return;
    }
    const auto& s = segments_[static_cast<std::size_t>(segment)];
    const bool enabled = isEnabled() && s.enabled;
    const int highlight = segmentHighlightState(segment);
    const Rect inner = frame.insetBy(1.5, 1.5);
    if (highlight == SegmentHighlight::selected || highlight == SegmentHighlight::selectedPressed) {
        auto fill = graphics::Color::controlAccentColor();
        context->fillPath(graphics::BezierPath::roundedRect(inner, 3, 3),
                          enabled ? fill : fill->withAlphaComponent(0.5),
                          graphics::CompositingOperation::sourceOver);
    }
    if (highlight == SegmentHighlight::pressed || highlight == SegmentHighlight::selectedPressed) {
        context->fillPath(graphics::BezierPath::roundedRect(inner, 3, 3), graphics::Color::white(1, 0.16),
                          graphics::CompositingOperation::sourceOver);
    }
    if (segment > 0) {
        context->fillRect(Rect(frame.minX(), frame.minY() + 4, 1, std::max(0.0, frame.height() - 8)),
                          graphics::Color::white(0.48));
    }
    double contentWidth = 0;
    graphics::AttributedString label;
    if (s.label && !s.label->empty()) {
        label = graphics::AttributedString(*s.label, labelAttributes(*this, enabled));
        contentWidth = std::min(std::ceil(label.size().width), frame.width());
    }
    const double gap = s.image && contentWidth > 0 ? 4 : 0;
    const double imageWidth = s.image ? s.image->width() : 0;
    double x = std::round(frame.midX() - (imageWidth + gap + contentWidth) * 0.5);
    if (s.image) {
        const Size size = s.image->size();
        s.image->drawInRect(Rect(x, std::round(frame.midY() - size.height * 0.5), size.width, size.height),
                            {}, graphics::CompositingOperation::sourceOver, enabled ? 1.0 : 0.5, true);
        x += imageWidth + gap;
    }
    if (!label.empty()) {
        const double height = std::ceil(label.boundingSize({contentWidth, 0}).height);
        label.draw(Rect(x, std::round(frame.midY() - height * 0.5), contentWidth, height));
    }
}

BackgroundStyle SegmentedCell::interiorBackgroundStyleForSegment(int) const {
    return interiorBackgroundStyle();
}

Rect SegmentedCell::focusRingMaskBoundsForFrame(const Rect& frame, View&) const {
    return frameForSegment(keySegment(), frame);
}

bool SegmentedCell::startTracking(const Point& point, View& controlView) {
    const int segment = segmentAtPoint(point, controlView.bounds());
    if (!isEnabled() || !isEnabledForSegment(segment)) {
        return false;
    }
    trackedSegment_ = segment;
    pressedInside_ = true;
    keySegment_ = segment; // keyboard focus follows the press
    clickedSegment_ = -1;
    controlView.setNeedsDisplay();
    return true;
}

bool SegmentedCell::continueTracking(const Point&, const Point& current, View& controlView) {
    const bool inside =
        trackedSegment_ >= 0 && segmentAtPoint(current, controlView.bounds()) == trackedSegment_;
    if (inside != pressedInside_) {
        pressedInside_ = inside;
        controlView.setNeedsDisplay();
    }
    return true;
}

void SegmentedCell::stopTracking(const Point&, const Point& current, View& controlView, bool mouseIsUp) {
    if (mouseIsUp && trackedSegment_ >= 0 &&
        segmentAtPoint(current, controlView.bounds()) == trackedSegment_) {
        clickedSegment_ = trackedSegment_;
    }
    trackedSegment_ = -1;
    pressedInside_ = false;
    controlView.setNeedsDisplay();
}

int SegmentedCell::takeClickedSegment() {
    return std::exchange(clickedSegment_, -1);
}

bool SegmentedCell::clickSegment(int segment, const std::function<void()>& whileSelected) {
    if (!isEnabled() || !isEnabledForSegment(segment)) {
        return false;
    }
    keySegment_ = segment;
    switch (trackingMode_) {
    case SegmentSwitchTracking::selectOne:
        setSelectedForSegment(true, segment);
        break;
    case SegmentSwitchTracking::selectAny:
        setSelectedForSegment(!isSelectedForSegment(segment), segment);
        break;
    case SegmentSwitchTracking::momentary:
        momentarySegment_ = segment;
        break;
    }
    if (whileSelected) {
        whileSelected();
    }
    momentarySegment_ = -1;
    return true;
}

// ---------------------------------------------------------------------------------------------------

SegmentedControl::SegmentedControl(const Rect& frame, std::shared_ptr<SegmentedCell> cell)
    : Control(frame, cell ? std::move(cell) : std::make_shared<SegmentedCell>()) {}

std::shared_ptr<SegmentedCell> SegmentedControl::segmentedCell() const {
    return std::static_pointer_cast<SegmentedCell>(cell());
}

void SegmentedControl::setSegmentCount(int count) {
    keySegmentWillChange();
    segmentedCell()->setSegmentCount(count);
    invalidateIntrinsicContentSize();
    keySegmentWillChange();
}

void SegmentedControl::setWidthForSegment(double width, int segment) {
    keySegmentWillChange();
    segmentedCell()->setWidthForSegment(width, segment);
    invalidateIntrinsicContentSize();
    keySegmentWillChange();
}

void SegmentedControl::setLabelForSegment(std::optional<std::string> label, int segment) {
    keySegmentWillChange();
    segmentedCell()->setLabelForSegment(std::move(label), segment);
    invalidateIntrinsicContentSize();
    keySegmentWillChange();
}

void SegmentedControl::setImageForSegment(graphics::ImageRef image, int segment) {
    keySegmentWillChange();
    segmentedCell()->setImageForSegment(std::move(image), segment);
    invalidateIntrinsicContentSize();
    keySegmentWillChange();
}

void SegmentedControl::setEnabledForSegment(bool enabled, int segment) {
    segmentedCell()->setEnabledForSegment(enabled, segment);
    setNeedsDisplay();
}

void SegmentedControl::setSelectedForSegment(bool selected, int segment) {
    segmentedCell()->setSelectedForSegment(selected, segment);
    setNeedsDisplay();
}

void SegmentedControl::setSelectedSegment(int segment) {
    keySegmentWillChange();
    segmentedCell()->setSelectedSegment(segment);
    keySegmentWillChange();
}

void SegmentedControl::setTrackingMode(SegmentSwitchTracking mode) {
    keySegmentWillChange();
    segmentedCell()->setTrackingMode(mode);
    keySegmentWillChange();
}

void SegmentedControl::keySegmentWillChange() {
    setNeedsDisplay();
    noteFocusRingMaskChanged();
}

void SegmentedControl::performClickOnSegment(int segment) {
    auto self = sharedAs<SegmentedControl>(); // the action may release the control
    keySegmentWillChange();
    segmentedCell()->clickSegment(segment, [this] { sendAction(); });
    keySegmentWillChange();
}

void SegmentedControl::didClick() {
    if (const int segment = segmentedCell()->takeClickedSegment(); segment >= 0) {
        performClickOnSegment(segment);
    }
}

void SegmentedControl::mouseDown(const Event& event) {
    auto self = sharedAs<SegmentedControl>();
    keySegmentWillChange();
    Control::mouseDown(event);
    keySegmentWillChange();
}

void SegmentedControl::keyDown(const Event& event) {
    const auto special = event.specialKey();
    if (special == SpecialKey::leftArrow || special == SpecialKey::rightArrow) {
        keySegmentWillChange();
        segmentedCell()->moveKeySegment(special == SpecialKey::leftArrow ? -1 : 1);
        keySegmentWillChange();
        return;
    }
    if (event.characters == " " && isEnabled()) {
        performClickOnSegment(keySegment());
        return;
    }
    Control::keyDown(event);
}

} // namespace ui
