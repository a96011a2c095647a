#include "ui/ToolTip.hpp"

#include "core/Cancellable.hpp"
#include "core/RunLoop.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Cursor.hpp"
#include "ui/TextField.hpp"
#include "ui/Window.hpp"
#include "ui/WindowBackend.hpp"

#include <chrono>
#include <cmath>

namespace ui {

using graphics::Rect;
using graphics::Size;

// MARK: - ToolTipView

ToolTipView::ToolTipView(graphics::AttributedString text)
    : View(Rect{{0, 0}, sizeFor(text)}), text_(std::move(text)) {}

Size ToolTipView::sizeFor(const graphics::AttributedString& text) {
    const Size natural = text.size();
    const Size laidOut =
        natural.width > maximumTextWidth ? text.boundingSize({maximumTextWidth, 0}) : natural;
    return {std::ceil(laidOut.width) + 2 * horizontalPadding,
            std::ceil(laidOut.height) + 2 * verticalPadding};
}

void ToolTipView::draw(const Rect&) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    context->fillRect(bounds(), graphics::Color::controlBackgroundColor());
    auto border = graphics::BezierPath::rect(bounds().insetBy(0.5, 0.5));
    border.setLineWidth(1);
    context->strokePath(border, graphics::Color::separatorColor());
    text_.draw(bounds().insetBy(horizontalPadding, verticalPadding));
}

std::shared_ptr<Window> showToolTip(const graphics::AttributedString& text, const graphics::Point& topLeft,
                                    Window& anchor) {
    const Size size = ToolTipView::sizeFor(text);
    auto window = Window::make(Rect{{topLeft.x, topLeft.y - size.height}, size},
                               WindowStyle::borderless | WindowStyle::nonactivatingPanel);
    window->setContentView(std::make_shared<ToolTipView>(text));
    if (auto backend = anchor.backend()) {
        if (auto made = backend->makeBackend(window)) {
            window->setBackend(made);
        }
    }
    window->setFrameOrigin({topLeft.x, topLeft.y - size.height});
    window->orderFront();
    return window;
}

// MARK: - Expansion tool tips of text fields

struct TextField::ExpansionToolTip {
    std::shared_ptr<TrackingArea> area;
    std::shared_ptr<core::Timer> timer;
    std::shared_ptr<Window> window;
    // The field's window leaving the screen takes the tip (and the pending one) with it.
    core::Cancellable ownerOrderOut;
};

TextField::~TextField() {
    hideExpansionToolTip();
}

void TextField::setAllowsExpansionToolTips(bool flag) {
    if (flag == allowsExpansionToolTips_) {
        return;
    }
    allowsExpansionToolTips_ = flag;
    if (!flag) {
        hideExpansionToolTip();
    }
    updateTrackingAreas();
}

std::shared_ptr<Window> TextField::expansionToolTipWindow() const {
    return expansionToolTip_ ? expansionToolTip_->window : nullptr;
}

void TextField::updateTrackingAreas() {
    Control::updateTrackingAreas();
    if (expansionToolTip_ && expansionToolTip_->area) {
        removeTrackingArea(expansionToolTip_->area);
        expansionToolTip_->area.reset();
    }
    if (!allowsExpansionToolTips_) {
        return;
    }
    if (!expansionToolTip_) {
        expansionToolTip_ = std::make_shared<ExpansionToolTip>();
    }
    expansionToolTip_->area =
        TrackingArea::make(bounds(),
                           TrackingAreaOptions::mouseEnteredAndExited | TrackingAreaOptions::mouseMoved |
                               TrackingAreaOptions::activeAlways | TrackingAreaOptions::inVisibleRect,
                           sharedAs<Responder>());
    addTrackingArea(expansionToolTip_->area);
}

void TextField::mouseEntered(const Event& event) {
    if (allowsExpansionToolTips_) {
        scheduleExpansionToolTip();
        return;
    }
    Control::mouseEntered(event);
}

void TextField::mouseMoved(const Event& event) {
    if (allowsExpansionToolTips_) {
        // The delay counts from the last movement; a tip already shown stays while the pointer does.
        if (!expansionToolTipWindow()) {
            scheduleExpansionToolTip();
        }
        return;
    }
    Control::mouseMoved(event);
}

void TextField::mouseExited(const Event& event) {
    if (allowsExpansionToolTips_) {
        hideExpansionToolTip();
        return;
    }
    Control::mouseExited(event);
}

void TextField::viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow) {
    hideExpansionToolTip();
    Control::viewWillMoveToWindow(newWindow);
}

void TextField::scheduleExpansionToolTip() {
    auto w = window();
    if (!w || !expansionToolTip_) {
        return;
    }
    if (expansionToolTip_->timer) {
        expansionToolTip_->timer->invalidate();
    }
    const auto delay = std::chrono::duration_cast<core::Clock::Duration>(
        std::chrono::duration<double>(expansionToolTipDelay));
    std::weak_ptr<TextField> weak = sharedAs<TextField>();
    expansionToolTip_->timer = w->animationRunLoop().scheduleOnce(delay, [weak] {
        if (auto self = weak.lock()) {
            self->showExpansionToolTip();
        }
    });
    expansionToolTip_->ownerOrderOut = w->observeOrderOut([weak] {
        if (auto self = weak.lock()) {
            self->hideExpansionToolTip();
        }
    });
}

void TextField::showExpansionToolTip() {
    auto w = window();
    if (!expansionToolTip_ || !w || expansionToolTip_->window || currentEditor() || isHidden()) {
        return;
    }
    expansionToolTip_->timer.reset();
    auto cell = textFieldCell();
    if (!cell->isTextTruncatedInFrame(bounds())) {
        return;
    }
    graphics::AttributedString whole = cell->attributedTitle();
    graphics::TextAttributes attributes = whole.attributesAt(0);
    attributes.foregroundColor = graphics::Color::labelColor();
    attributes.paragraphStyle = {graphics::TextAlignment::left, graphics::LineBreakMode::wordWrap, 0};
    whole = graphics::AttributedString(whole.string(), attributes);
    // Just below the field, lined up with its leading edge.
    const Rect inWindow = convertRectToView(bounds(), nullptr);
    const Rect onScreen = w->convertRectToScreen(inWindow);
    expansionToolTip_->window = showToolTip(whole, {onScreen.minX(), onScreen.minY() - 2}, *w);
}

void TextField::hideExpansionToolTip() {
    if (!expansionToolTip_) {
        return;
    }
    if (expansionToolTip_->timer) {
        expansionToolTip_->timer->invalidate();
        expansionToolTip_->timer.reset();
    }
    expansionToolTip_->ownerOrderOut.cancel();
    if (auto tip = std::move(expansionToolTip_->window)) {
        tip->close();
    }
}

} // namespace ui
