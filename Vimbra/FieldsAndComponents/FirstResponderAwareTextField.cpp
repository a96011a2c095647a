#include "Vimbra/FieldsAndComponents/FirstResponderAwareTextField.hpp"

#include "core/MainQueue.hpp"
#include "ui/Window.hpp"

namespace vimbra {

FirstResponderAwareTextField::FirstResponderAwareTextField(const graphics::Rect& frame)
    : FirstResponderAwareTextField(frame, nullptr) {}

FirstResponderAwareTextField::FirstResponderAwareTextField(const graphics::Rect& frame,
                                                           std::shared_ptr<ui::TextFieldCell> cell)
    : ui::TextField(frame, std::move(cell)) {
    requireMainThread();
}

FirstResponderAwareTextField::~FirstResponderAwareTextField() {
    subject_->sendCompletion();
}

void FirstResponderAwareTextField::viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) {
    requireMainThread();
    // One window at a time: what an earlier window's focus does is no concern of a field that left it.
    windowListenerCancellables_.clear();
    if (!newWindow) {
        return;
    }
    // Deliveries wait for the main queue; one still queued when listening stops is dropped.
    auto listening = std::make_shared<bool>(true);
    auto weak = std::weak_ptr<FirstResponderAwareTextField>(sharedAs<FirstResponderAwareTextField>());
    auto observation = newWindow->observeFirstResponder([weak, listening](const auto& responder) {
        core::MainQueue::shared().async(
            [weak, listening, responder = std::weak_ptr<ui::Responder>(responder)] {
                if (auto field = weak.lock(); field && *listening) {
                    field->deliver(responder.lock());
                }
            });
    });
    windowListenerCancellables_.push_back(std::move(observation));
    windowListenerCancellables_.emplace_back([listening] { *listening = false; });
}

void FirstResponderAwareTextField::deliver(const std::shared_ptr<ui::Responder>& responder) {
    requireMainThread();
    const auto editor = currentEditor();
    const bool status = responder && (responder.get() == this || (editor && responder == editor));
    if (status == published_) {
        return;
    }
    published_ = status;
    auto self = sharedAs<FirstResponderAwareTextField>(); // a subscriber may let go of the field
    subject_->send({sharedAs<ui::TextField>(), status});
    firstResponderStatusDidChange(status);
}

} // namespace vimbra
