#pragma once

// A compact input row for a properties panel: a borderless text field, optionally after an icon that is
// also a drag control, on a text-field background that turns to an error image while the value is
// invalid, with a highlight ring while the field has keyboard focus and a message popover that explains
// the problem while the user edits. The owner validates; the view shows. Main thread only.

#include "Vimbra/FieldsAndComponents/FirstResponderAwareTextField.hpp"
#include "Vimbra/FieldsAndComponents/MessagePopover.hpp"
#include "Vimbra/Protocols.hpp"
#include "Vimbra/StyledControls/TrackingSlider.hpp"
#include "core/Cancellable.hpp"
#include "ui/View.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class ValidatingPropertiesField : public ui::View, public Selectable, public ValidatingField {
protected:
    // Only make() (and a subclass's own make) can name it: a view is never left without its subviews.
    struct MakeToken {
        explicit MakeToken() = default;
    };

public:
    // A field filling the view, or one after a 14 × 24 icon (3 points in; the field 8 points after it and
    // 3 points short of the trailing edge, both centred vertically). A click on the icon gives the field
    // keyboard focus.
    static std::shared_ptr<ValidatingPropertiesField> make(graphics::ImageRef iconImage = nullptr);
    // The first half of make(), which places the subviews and listens to the field's focus.
    ValidatingPropertiesField(MakeToken, graphics::ImageRef iconImage);

    bool isValid() const override { return valid_; }
    // Recolours the text ("Grey 85%", "Error"); nothing is redrawn and the popover is left alone.
    void setValid(bool valid) override;
    bool isSelected() const override { return selected_; }
    // Updates the popover and redraws.
    void setSelected(bool selected) override;
    std::optional<std::string> message() const override { return message_; }
    void setMessage(std::optional<std::string> message) override { message_ = std::move(message); }
    // Plain storage for the owner.
    const std::optional<std::string>& override() const { return override_; }
    void setOverride(std::optional<std::string> value) { override_ = std::move(value); }
    std::shared_ptr<ui::TextField> textField() const override { return textField_; }
    const std::shared_ptr<FirstResponderAwareTextField>& inputField() const { return textField_; }
    const std::shared_ptr<TrackingSlider>& icon() const { return icon_; }
    const std::string& toolTip() const override { return ui::View::toolTip(); }
    void setToolTip(std::string toolTip) override { ui::View::setToolTip(std::move(toolTip)); }
    const std::shared_ptr<SimpleTextViewPopoverController>& popoverController() const {
        return popoverController_;
    }

    // With the text field focused and a message: shows it above the view, or puts it into the popover
    // already shown; otherwise closes a shown popover.
    void updateMessagePopover();
    // A rounded ring (radius 3, 2 points wide) inside the background's rect, filled first when asked.
    void drawRing(const graphics::ColorRef& stroke, const graphics::ColorRef& fill);

    // The background image, and the ring while selected.
    void draw(const graphics::Rect& dirtyRect) override;
    bool isFlipped() const override { return false; }
    // A view leaving its window takes its popover away with it.
    void viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) override;

private:
    // The field alone, pinned to every edge; or the icon and the field, constrained as make() says.
    void placeSubviews();
    // Borderless, no background, the system font of 10 points, coloured by validity; listens to the
    // field's focus.
    void configureTextField();
    graphics::Rect backgroundRect() const;

    bool valid_ = true;
    bool selected_ = false;
    std::optional<std::string> message_;
    std::optional<std::string> override_;
    std::shared_ptr<FirstResponderAwareTextField> textField_;
    std::shared_ptr<TrackingSlider> icon_;
    core::CancellableSet cancellables_;
    std::shared_ptr<SimpleTextViewPopoverController> popoverController_;
};

} // namespace vimbra
