#include "Vimbra/StyledControls/ClickableImageView.hpp"

#include "Vimbra/ControlActions.hpp"

namespace vimbra {

namespace {
constexpr const char* clickAction = "handleClickGesture:";
constexpr double pressedAlpha = 0.5;
} // namespace

ClickableImageView::ClickableImageView(const graphics::Rect& frame)
    : ImageView(frame), clicked_(LibraryDefaults::clickedSubject()) {
    setActionHandler(clickAction,
                     [this](const std::shared_ptr<ui::Object>& sender) { handleClickGesture(sender); });
    addGestureRecognizer(clickGestureRecognizer());
}

std::shared_ptr<ClickableImageView> ClickableImageView::make(const graphics::Rect& frame) {
    auto view = std::make_shared<ClickableImageView>(frame);
    view->bindRecognizer();
    return view;
}

const std::shared_ptr<ui::ClickGestureRecognizer>& ClickableImageView::clickGestureRecognizer() {
    if (!clickGestureRecognizer_) {
        clickGestureRecognizer_ = std::make_shared<ui::ClickGestureRecognizer>(nullptr, clickAction);
    }
    bindRecognizer();
    return clickGestureRecognizer_;
}

void ClickableImageView::setClickGestureRecognizer(std::shared_ptr<ui::ClickGestureRecognizer> recognizer) {
    clickGestureRecognizer_ = std::move(recognizer);
    bindRecognizer();
}

void ClickableImageView::bindRecognizer() {
    // In the constructor the view is not yet owned; the target is set on the first chance afterwards.
    if (clickGestureRecognizer_ && !clickGestureRecognizer_->target()) {
        if (auto self = weak_from_this().lock()) {
            clickGestureRecognizer_->setTarget(self);
        }
    }
}

void ClickableImageView::handleClickGesture(const std::shared_ptr<ui::Object>&) {
    if (clicked_) {
        clicked_->send(Void{});
    }
}

bool ClickableImageView::acceptsFirstMouse(const ui::Event*) const {
    return true;
}

void ClickableImageView::mouseDown(const ui::Event& event) {
    ImageView::mouseDown(event);
    if (isEnabled()) {
        setAlphaValue(pressedAlpha);
    }
}

void ClickableImageView::mouseUp(const ui::Event& event) {
    ImageView::mouseUp(event);
    if (isEnabled()) {
        setAlphaValue(1.0);
    }
}

void ClickableImageView::viewDidMoveToWindow() {
    ImageView::viewDidMoveToWindow();
    bindRecognizer();
}

void ClickableImageView::makeFirstResponderOnClick(
    const std::map<std::shared_ptr<ClickableImageView>, std::shared_ptr<ui::Control>>& controlPairs,
    core::CancellableSet& cancellables) {
    for (const auto& [imageView, control] : controlPairs) {
        if (imageView && imageView->clicked()) {
            cancellables.push_back(makeFirstResponder(imageView->clicked()->publisher(), control));
        }
    }
}

} // namespace vimbra
