#pragma once

// The root of the library's text fields: a text field that knows whether it has its window's keyboard
// focus (it, or the field editor editing it, is the first responder) and announces each change of that
// status on a publisher and to a hook that subclasses override. Main thread only.

#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/MainThreadDelivery.hpp"
#include "core/Cancellable.hpp"
#include "core/Publisher.hpp"
#include "ui/TextField.hpp"

#include <memory>

namespace vimbra {

class FirstResponderAwareTextField : public ui::TextField {
public:
    using FirstResponderEvent = LibraryDefaults::FirstResponderEvent;

    explicit FirstResponderAwareTextField(const graphics::Rect& frame = {});
    // Completes the publisher.
    ~FirstResponderAwareTextField() override;

    // (the field, its new status) after every change of the status; completes when the field goes.
    core::Publisher<FirstResponderEvent> firstResponderPublisher() const { return subject_->publisher(); }
    // The status last announced (false for a new field).
    bool publishedFirstResponderStatus() const { return published_; }
    void setPublishedFirstResponderStatus(bool status) { published_ = status; }

    // Runs after each announced change, with the new status. Nothing here.
    virtual void firstResponderStatusDidChange(bool status) { (void)status; }

    // Listens to the first responder of the window the field is about to enter (one turn of the main
    // queue later than each change), and to no other window's; entering no window stops listening and
    // announces nothing.
    void viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) override;

protected:
    // For subclasses with cells of their own.
    FirstResponderAwareTextField(const graphics::Rect& frame, std::shared_ptr<ui::TextFieldCell> cell);

private:
    // The status for a first responder delivered from the window: the field itself or its field editor.
    void deliver(const std::shared_ptr<ui::Responder>& responder);

    std::shared_ptr<core::PassthroughSubject<FirstResponderEvent>> subject_ =
        LibraryDefaults::firstResponderSubject();
    bool published_ = false;
    core::CancellableSet windowListenerCancellables_ = LibraryDefaults::emptyCancellables();
};

} // namespace vimbra
