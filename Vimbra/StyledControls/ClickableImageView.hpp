#pragma once

// An image view that reports clicks on a subject instead of sending an action, and dims while pressed.

#include "Vimbra/LibraryStatics.hpp"
#include "core/Cancellable.hpp"
#include "core/Publisher.hpp"
#include "ui/GestureRecognizer.hpp"
#include "ui/ImageView.hpp"

#include <map>
#include <memory>

namespace ui {
class Control;
} // namespace ui

namespace vimbra {

// Every click its click recogniser recognises sends one value on `clicked`, whether the view is enabled
// or not. An enabled press dims the view to half alpha until an enabled release. The first click into a
// window that is not key already counts. Main thread only.
class ClickableImageView : public ui::ImageView {
public:
    explicit ClickableImageView(const graphics::Rect& frame = {});
    static std::shared_ptr<ClickableImageView> make(const graphics::Rect& frame = {});

    // The subject clicks are sent on; replacing it leaves existing subscribers on the old one.
    const std::shared_ptr<core::PassthroughSubject<Void>>& clicked() const { return clicked_; }
    void setClicked(std::shared_ptr<core::PassthroughSubject<Void>> subject) {
        clicked_ = std::move(subject);
    }

    // The recogniser whose action is handleClickGesture:, aimed at this view. The view's own mouse
    // handlers still see every event of the press.
    const std::shared_ptr<ui::ClickGestureRecognizer>& clickGestureRecognizer();
    void setClickGestureRecognizer(std::shared_ptr<ui::ClickGestureRecognizer> recognizer);

    // The recogniser's action: sends one value on the subject the view holds now.
    virtual void handleClickGesture(const std::shared_ptr<ui::Object>& sender);

    bool acceptsFirstMouse(const ui::Event* event) const override;
    void mouseDown(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    void viewDidMoveToWindow() override;

    // Clicking an image view makes its paired control the first responder of the control's window
    // (keying the window first); the subscriptions go into `cancellables`.
    static void makeFirstResponderOnClick(
        const std::map<std::shared_ptr<ClickableImageView>, std::shared_ptr<ui::Control>>& controlPairs,
        core::CancellableSet& cancellables);

private:
    // Aims the recogniser at this view once the view is owned.
    void bindRecognizer();

    std::shared_ptr<core::PassthroughSubject<Void>> clicked_;
    std::shared_ptr<ui::ClickGestureRecognizer> clickGestureRecognizer_;
};

} // namespace vimbra
