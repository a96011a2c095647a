#include "app/ShaderViewController.hpp"

#include "ui/LayoutConstraint.hpp"
#include "ui/Screen.hpp"

namespace tessaray {

void pin(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::View>& superview,
         graphics::EdgeInsets insets) {
    if (!view || !superview) {
        return;
    }
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    ui::LayoutConstraint::activate({
        view->leadingAnchor().constraintEqualTo(superview->leadingAnchor(), insets.left),
        view->trailingAnchor().constraintEqualTo(superview->trailingAnchor(), -insets.right),
        view->bottomAnchor().constraintEqualTo(superview->bottomAnchor(), -insets.bottom),
        view->topAnchor().constraintEqualTo(superview->topAnchor(), insets.top),
    });
}

double screenScale(const ui::Window* window) {
    const auto screen = window ? window->screen() : nullptr;
    return screen ? screen->backingScaleFactor() : 1.0;
}

void ShaderContainerView::viewDidMoveToWindow() {
    ui::View::viewDidMoveToWindow();
    if (!controller_) {
        return;
    }
    if (window() && !appeared_) {
        appeared_ = true;
        controller_->viewWillAppear();
        controller_->viewDidAppear();
    } else if (!window() && appeared_) {
        appeared_ = false;
        controller_->viewDidDisappear();
    }
}

std::shared_ptr<ui::View> ShaderContainerView::hitTest(const graphics::Point& pointInSuperview) {
    (void)pointInSuperview;
    return nullptr;
}

} // namespace tessaray
