// The keyboard-focus ring the window draws around the focused view's focus-ring mask.

#include "ui/Control.hpp"
#include "ui/Text.hpp"
#include "ui/Window.hpp"

#include <cmath>
#include <numbers>

namespace ui {

using graphics::CompositingOperation;
using graphics::GraphicsContext;
using graphics::Rect;

std::shared_ptr<View> Window::keyboardFocusView() const {
    auto responder = firstResponder_.lock();
    if (auto text = std::dynamic_pointer_cast<Text>(responder); text && text->isFieldEditor()) {
        // The field editor stands in for the control whose text it edits.
        if (auto control = std::dynamic_pointer_cast<Control>(text->delegate());
            control && control->currentEditor() == text) {
            return control;
        }
    }
    return std::dynamic_pointer_cast<View>(responder);
}

void Window::drawKeyboardFocusRing(GraphicsContext& context) {
    if (!isKeyWindow()) {
        return;
    }
    auto view = keyboardFocusView();
    if (!view || view->window().get() != this || view->isHiddenOrHasHiddenAncestor() ||
        view->focusRingType() == FocusRingType::none) {
        return;
    }
    const Rect mask = view->focusRingMaskBounds();
    if (mask.isEmpty()) {
        return;
    }
    const double width = View::focusRingWidth;
    const Rect reach = mask.insetBy(-width, -width);
    GraphicsContext::StateGuard guard(context);
    context.concat(view->transformToWindow());
    context.setFlipped(view->isFlipped());
    context.clipToRect(reach);
    // The ring is the mask's coverage spread outwards by its width (the mask drawn shifted in every
    // direction), less the mask itself, filled with the focus colour.
    context.beginTransparencyLayer(1.0);
    constexpr int directions = 16;
    for (const double radius : {width * 0.5, width}) {
        for (int i = 0; i < directions; ++i) {
            const double angle = 2 * std::numbers::pi * i / directions;
            GraphicsContext::StateGuard shifted(context);
            context.translate(radius * std::cos(angle), radius * std::sin(angle));
            view->drawFocusRingMask();
        }
    }
    {
        GraphicsContext::StateGuard cutOut(context);
        context.setCompositingOperation(CompositingOperation::destinationOut);
        view->drawFocusRingMask();
    }
    context.fillRect(reach, graphics::Color::keyboardFocusIndicatorColor(), CompositingOperation::sourceIn);
    context.endTransparencyLayer();
}

} // namespace ui
