#pragma once

// The message popover of the validating fields: one line of text in the library's popover style, shown
// beside a view, updated and closed by its controller. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/Popover.hpp"
#include "ui/TextField.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class SimpleTextViewPopover : public ui::Popover, public StyledControl, public StyledView<PopoverStyle> {
public:
    // Dark, application-defined, its text field pinned inside the style's padding.
    SimpleTextViewPopover();

    // The shared style of the popovers, made on first use.
    static std::shared_ptr<PopoverStyle> sharedStyle();
    std::shared_ptr<PopoverStyle> style() const override { return sharedStyle(); }
    // Always default: nothing changes it.
    StyledControlState controlState() const override { return controlState_; }

    // The field that shows the message: not editable, selectable, bezeled nor bordered; no background.
    const std::shared_ptr<ui::TextField>& contentTextField() const { return contentTextField_; }
    // The view it was last shown beside; null once closed.
    std::shared_ptr<ui::View> currentPositioningView() const { return currentPositioningView_.lock(); }
    void setCurrentPositioningView(const std::shared_ptr<ui::View>& view) { currentPositioningView_ = view; }

    void show(const graphics::Rect& rect, const std::shared_ptr<ui::View>& view,
              ui::RectEdge preferredEdge) override;
    void close() override;

private:
    std::shared_ptr<ui::TextField> contentTextField_;
    std::weak_ptr<ui::View> currentPositioningView_;
    StyledControlState controlState_ = StyledControlState::default_;
};

class SimpleTextViewPopoverController {
public:
    SimpleTextViewPopoverController();
    // Closes the popover: nothing stays on the screen for a field that is gone.
    virtual ~SimpleTextViewPopoverController();
    SimpleTextViewPopoverController(const SimpleTextViewPopoverController&) = delete;
    SimpleTextViewPopoverController& operator=(const SimpleTextViewPopoverController&) = delete;

    const std::shared_ptr<SimpleTextViewPopover>& popover() const { return popover_; }

    // Shows the message (none: empty) beside the view's bounds on the edge, sized to the text plus twice
    // the style's padding; moves a shown popover there.
    void show(const std::optional<std::string>& message, const std::shared_ptr<ui::View>& view,
              ui::RectEdge edge);
    // Closes the popover as the sender.
    void close(const std::shared_ptr<ui::Object>& sender);

private:
    std::shared_ptr<SimpleTextViewPopover> popover_;
};

} // namespace vimbra
