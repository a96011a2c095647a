#include "Vimbra/StyledControls/StyledSegmentedControl.hpp"

#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "graphics/BezierPath.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using graphics::Rect;

std::shared_ptr<SegmentedCellStyle> StyledSegmentedCell::sharedStyle() {
    static const auto shared = std::make_shared<SegmentedCellStyle>();
    return shared;
}

StyledControlState StyledSegmentedCell::segmentState(int segment) const {
    // Every selected segment counts, not only selectedSegment(): in select-any mode several are selected.
    return vimbra::segmentState(isEnabled(), segmentHighlightState(segment), isSelectedForSegment(segment),
                                hideSelection());
}

StyledControlState StyledSegmentedCell::controlState() const {
    return vimbra::controlState(*this);
}

Rect StyledSegmentedCell::bezelRectForSegment(int segment, const Rect& frame) const {
    const auto image = style()->bezelImageForState(segmentState(segment));
    const double height = image ? image->height() : 0;
    const auto& margin = style()->segmentMargin;
    const Rect r = Rect(frame.x() + margin.left, frame.y() + margin.bottom,
                        frame.width() - (margin.left + margin.right), height - (margin.top + margin.bottom))
                       .integral();
    const double y = std::round(frame.midY() - r.height() * 0.5);
    return Rect(r.x(), y, r.width(), r.height()).integral();
}

void StyledSegmentedCell::setWidthForSegment(double width, int segment) {
    const auto label = labelForSegment(segment);
    if (label && font()) {
        graphics::TextAttributes attributes;
        attributes.font = font();
        const auto& padding = style()->segmentPadding;
        width = graphics::AttributedString(*label, attributes).size().width + padding.left + padding.right;
    }
    ui::SegmentedCell::setWidthForSegment(width, segment);
}

void StyledSegmentedCell::drawWithFrame(const Rect& frame, ui::View& controlView) {
    drawInteriorWithFrame(frame, controlView);
}

graphics::TextAttributes StyledSegmentedCell::labelAttributes(StyledControlState state) const {
    graphics::TextAttributes attributes;
    attributes.font = style()->font;
    attributes.foregroundColor = style()->textColorForState(state);
    attributes.paragraphStyle.alignment = graphics::TextAlignment::center;
    return attributes;
}

void StyledSegmentedCell::drawSegment(int segment, const Rect& frame, ui::View& controlView) {
    cachedSegmentFrames_[segment] = frame;
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    const StyledControlState state = segmentState(segment);
    const Rect r = bezelRectForSegment(segment, frame);
    // The bezel at full strength, disabled or not: the state's image says what a disabled segment is.
    drawStyledBezel(style()->bezelImageForState(state), frame, r, true, controlView);

    const auto window = controlView.window();
    if (segment == keySegment() && window && window->firstResponder() && isFirstResponder(controlView) &&
        dynamic_cast<const ui::Control*>(&controlView)) {
        const auto color = style()->focusRingColorForState(controlState());
        const Rect mask = focusRingMaskBoundsForFrame(r, controlView).insetBy(2, 2);
        auto path = graphics::BezierPath::roundedRect(mask, 3, 3);
        path.setLineWidth(2);
        path.setLineCapStyle(graphics::LineCap::round);
        path.setLineJoinStyle(graphics::LineJoin::round);
        if (color) {
            context->fillPath(path, color->withAlphaComponent(0.3), context->compositingOperation());
            context->strokePath(path, color);
        }
    }

    if (const auto label = labelForSegment(segment)) {
        const graphics::AttributedString text(*label, labelAttributes(state));
        const double height = text.boundingSize({r.width(), r.height()}).height;
        text.draw(Rect(r.minX(), r.minY() + (r.height() - height) * 0.5, r.width(), r.height()));
    }
}

Rect StyledSegmentedCell::focusRingMaskBoundsForFrame(const Rect&, ui::View&) const {
    const int key = keySegment();
    const auto cached = cachedSegmentFrames_.find(key);
    if (cached == cachedSegmentFrames_.end()) {
        return {};
    }
    return bezelRectForSegment(key, cached->second);
}

ui::BackgroundStyle StyledSegmentedCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(style()->interiorBackgroundStyle);
}

ui::BackgroundStyle StyledSegmentedCell::interiorBackgroundStyleForSegment(int) const {
    return interiorBackgroundStyle();
}

// ---------------------------------------------------------------------------------------------------

StyledSegmentedControl::StyledSegmentedControl(const Rect& frame)
    : ui::SegmentedControl(frame, std::make_shared<StyledSegmentedCell>()) {}

bool StyledSegmentedControl::hideSelection() const {
    auto cell = std::dynamic_pointer_cast<StyledSegmentedCell>(this->cell());
    return cell && cell->hideSelection();
}

void StyledSegmentedControl::setHideSelection(bool hide) {
    if (auto cell = std::dynamic_pointer_cast<StyledSegmentedCell>(this->cell())) {
        cell->setHideSelection(hide);
    }
    setNeedsDisplay(true);
}

graphics::Size StyledSegmentedControl::intrinsicContentSize() const {
    graphics::Size size = ui::SegmentedControl::intrinsicContentSize();
    auto cell = std::dynamic_pointer_cast<StyledSegmentedCell>(this->cell());
    if (!cell) {
        return size;
    }
    if (auto image = cell->style()->bezelImageForState(cell->controlState())) {
        return {std::max(size.width, image->width()), std::max(size.height, image->height())};
    }
    return size;
}

} // namespace vimbra
