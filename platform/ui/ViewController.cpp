#include "ui/ViewController.hpp"

#include "ui/View.hpp"
#include "ui/Window.hpp"

namespace ui {

ViewController::~ViewController() = default;

std::shared_ptr<View> ViewController::view() {
    loadViewIfNeeded();
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    view_ = std::move(view);
}

void ViewController::loadViewIfNeeded() {
    if (view_ || loading_) {
        return;
    }
    loading_ = true;
    loadView();
    loading_ = false;
    if (!view_) {
        // A loadView that installed nothing still leaves the controller with a view.
        view_ = std::make_shared<View>(graphics::Rect({0, 0}, preferredContentSize_));
    }
    viewDidLoad();
}

void ViewController::loadView() {
    setView(std::make_shared<View>(graphics::Rect({0, 0}, preferredContentSize_)));
}

std::shared_ptr<Window> ViewController::window() const {
    return view_ ? view_->window() : nullptr;
}

void ViewController::noteAppearance(bool appearing) {
    if (appearing == appeared_) {
        return;
    }
    if (appearing) {
        viewWillAppear();
        appeared_ = true;
        viewDidAppear();
    } else {
        viewWillDisappear();
        appeared_ = false;
        viewDidDisappear();
    }
}

} // namespace ui
