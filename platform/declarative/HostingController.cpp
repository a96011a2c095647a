#include "declarative/HostingController.hpp"

#include "ui/Window.hpp"

#include <cmath>

namespace declarative {

namespace {

// Whole points; an unbounded or invalid axis becomes 0 (no limit).
Size finite(Size s) {
    auto axis = [](double v) { return std::isfinite(v) && v > 0 && v < 1e6 ? std::ceil(v) : 0.0; };
    return {axis(s.width), axis(s.height)};
}

} // namespace

HostingController::HostingController(declarative::View rootView) : rootView_(std::move(rootView)) {}

void HostingController::setRootView(declarative::View rootView) {
    rootView_ = rootView;
    if (isViewLoaded()) {
        hostingView()->setRootView(std::move(rootView));
        updateSizes();
    }
}

std::shared_ptr<HostingView> HostingController::hostingView() {
    return std::static_pointer_cast<HostingView>(view());
}

void HostingController::loadView() {
    auto host = HostingView::make(rootView_);
    const Size ideal = finite(host->sizeThatFits(Proposal::unspecified()));
    host->setFrame(Rect({0, 0}, ideal));
    setView(host);
    if (sizingOptions_ & HostingSizingOption::preferredContentSize) {
        setPreferredContentSize(ideal);
    }
}

void HostingController::setSizingOptions(HostingSizingOptions options) {
    sizingOptions_ = options;
    if (isViewLoaded()) {
        updateSizes();
    }
}

Size HostingController::minimumSize() {
    return finite(hostingView()->sizeThatFits(Proposal::zero()));
}

Size HostingController::idealSize() {
    return finite(hostingView()->sizeThatFits(Proposal::unspecified()));
}

Size HostingController::maximumSize() {
    return finite(hostingView()->sizeThatFits(Proposal::infinity()));
}

void HostingController::updateSizes() {
    if (sizingOptions_ & HostingSizingOption::preferredContentSize) {
        setPreferredContentSize(idealSize());
    }
    auto window = this->window();
    if (!window) {
        return;
    }
    if (sizingOptions_ & HostingSizingOption::minSize) {
        window->setContentMinSize(minimumSize());
    }
    if (sizingOptions_ & HostingSizingOption::maxSize) {
        window->setContentMaxSize(maximumSize());
    }
}

void HostingController::viewWillAppear() {
    updateSizes();
}

} // namespace declarative
