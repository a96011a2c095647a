#pragma once

// What styled views, cells and controls provide, and the accessors that look a value up in a view's style
// by its current state.

#include "Vimbra/ControlState.hpp"
#include "Vimbra/Style.hpp"

#include <concepts>
#include <memory>
#include <optional>
#include <string>

namespace ui {
class TextField;
} // namespace ui

namespace vimbra {

// A view or cell drawn from a style. style() answers the shared style instance of the receiver's class
// (made on first use and kept for the process); subclasses override it to change their look.
template <class Style> class StyledView {
public:
    using ViewStyle = Style;
    virtual ~StyledView() = default;
    virtual std::shared_ptr<Style> style() const = 0;
    std::shared_ptr<Style> defaultStyle() const { return style(); }
};

class StyledControl {
public:
    virtual ~StyledControl() = default;
    // Computed afresh on every read.
    virtual StyledControlState controlState() const = 0;
};

class Selectable {
public:
    virtual ~Selectable() = default;
    virtual bool isSelected() const = 0;
    virtual void setSelected(bool selected) = 0;
};

class Validating {
public:
    virtual ~Validating() = default;
    virtual bool isValid() const = 0;
};

// A field that shows whether its text is valid, with a message and a tool tip. Views meet the tool-tip
// requirements with their own tool tip (an empty one meaning none).
class ValidatingField : public Validating {
public:
    // The control whose text is validated.
    virtual std::shared_ptr<ui::TextField> textField() const = 0;
    virtual void setValid(bool valid) = 0;
    virtual std::optional<std::string> message() const = 0;
    virtual void setMessage(std::optional<std::string> message) = 0;
    virtual const std::string& toolTip() const = 0;
    virtual void setToolTip(std::string toolTip) = 0;
};

// A value that shows as one text (a pop-up item's title, for one).
class Displayable {
public:
    virtual ~Displayable() = default;
    virtual std::string displayString() const = 0;
};

template <class T>
concept StyledViewControl = requires(const T& view) {
    {view.style()};
    { view.controlState() } -> std::convertible_to<StyledControlState>;
};

// The value that the receiver's style gives for its current state.
template <StyledViewControl T> graphics::ColorRef currentFocusRingColor(const T& view) {
    return view.style()->focusRingColorForState(view.controlState());
}
template <StyledViewControl T> graphics::ColorRef currentTextColor(const T& view) {
    return view.style()->textColorForState(view.controlState());
}
template <StyledViewControl T> graphics::ColorRef currentBackgroundColor(const T& view) {
    return view.style()->backgroundColorForState(view.controlState());
}
template <StyledViewControl T> graphics::ImageRef currentBezelImage(const T& view) {
    return view.style()->bezelImageForState(view.controlState());
}
template <StyledViewControl T> graphics::ColorRef currentRowBackgroundColor(const T& view) {
    return view.style()->rowBackgroundColorForState(view.controlState());
}
template <StyledViewControl T> graphics::ImageRef currentButtonImage(const T& view) {
    return view.style()->buttonImageForState(view.controlState());
}
template <StyledViewControl T> graphics::ImageRef currentBarImage(const T& view) {
    return view.style()->barImageForState(view.controlState());
}
template <StyledViewControl T> graphics::ImageRef currentKnobImage(const T& view) {
    return view.style()->knobImageForState(view.controlState());
}

} // namespace vimbra
