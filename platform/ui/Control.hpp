#pragma once

// Controls: views that own a cell, send an action to a target and track the mouse.

#include "ui/Cell.hpp"
#include "ui/View.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace ui {

class Text;

class Control : public View {
public:
    // A control with the given cell, or a plain text cell.
    explicit Control(const graphics::Rect& frame = {}, std::shared_ptr<Cell> cell = nullptr);
    ~Control() override;

    std::shared_ptr<Cell> cell() const;
    // Replaces the cell (null is ignored: a control always has one). Subclasses that keep a typed
    // reference to their cell override it.
    virtual void setCell(std::shared_ptr<Cell> cell);

    // Target and action. With no target the action travels the responder chain.
    std::shared_ptr<Object> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<Object>& target) { target_ = target; }
    const Selector& action() const { return action_; }
    void setAction(Selector action) { action_ = std::move(action); }
    // Sends an action with this control as the sender; false when there is no action or no receiver.
    virtual bool sendAction(std::string_view action, const std::shared_ptr<Object>& target);
    // Sends the control's own action to its own target.
    bool sendAction() { return sendAction(action_, target()); }
    // A click from code (keyboard activation): does what a completed mouse click does. Nothing when
    // disabled.
    void performClick();

    // Cell state, forwarded; setters redraw.
    bool isEnabled() const { return cell_->isEnabled(); }
    virtual void setEnabled(bool enabled);
    bool isHighlighted() const { return cell_->isHighlighted(); }
    void setHighlighted(bool highlighted);
    int state() const { return cell_->state(); }
    void setState(int state);
    bool isContinuous() const { return cell_->isContinuous(); }
    void setContinuous(bool continuous) { cell_->setContinuous(continuous); }
    ControlSize controlSize() const { return cell_->controlSize(); }
    void setControlSize(ControlSize size);

    // Value, forwarded. Controls that keep their value elsewhere override the typed accessors.
    const std::any& objectValue() const { return cell_->objectValue(); }
    virtual void setObjectValue(std::any value);
    virtual std::string stringValue() const { return cell_->stringValue(); }
    virtual void setStringValue(const std::string& value) { setObjectValue(value); }
    virtual double doubleValue() const { return cell_->doubleValue(); }
    virtual void setDoubleValue(double value) { setObjectValue(value); }
    virtual long long integerValue() const { return cell_->integerValue(); }
    virtual void setIntegerValue(long long value) { setObjectValue(value); }

    graphics::FontRef font() const { return cell_->font(); }
    void setFont(graphics::FontRef font);
    graphics::TextAlignment alignment() const { return cell_->alignment(); }
    void setAlignment(graphics::TextAlignment alignment);
    graphics::LineBreakMode lineBreakMode() const { return cell_->lineBreakMode(); }
    void setLineBreakMode(graphics::LineBreakMode mode);

    // The field editor while this control's text is being edited (text fields), else null.
    virtual std::shared_ptr<Text> currentEditor() const { return nullptr; }

    // The focus ring follows the cell: its type, mask bounds (of the control's bounds) and mask.
    FocusRingType focusRingType() const override { return cell_->focusRingType(); }
    void setFocusRingType(FocusRingType type) override;
    graphics::Rect focusRingMaskBounds() const override;
    void drawFocusRingMask() override;

    // Controls are flipped, as AppKit's are.
    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override;
    graphics::Size intrinsicContentSize() const override;
    // Sets the frame size to the cell's size.
    void sizeToFit();
    void draw(const graphics::Rect& dirtyRect) override;

    // Tracking: a down on an enabled control highlights the cell; the highlight follows the pointer in
    // and out; an up inside runs didClick (which sends the action). A disabled control ignores the
    // mouse. A continuous control also sends its action on the down and on drags inside.
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    virtual bool isTracking() const { return tracking_; }

protected:
    // A click completed inside the control (or performClick); the default sends the action. Controls
    // with states move the state on here before sending.
    virtual void didClick();

private:
    graphics::Point localPoint(const Event& event) const;

    std::shared_ptr<Cell> cell_;
    std::weak_ptr<Object> target_;
    Selector action_;
    bool tracking_ = false;
    graphics::Point lastPoint_;
};

} // namespace ui
