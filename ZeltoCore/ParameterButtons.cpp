#include "ZeltoCore/ParameterButtons.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoCore/KitViews.hpp"
#include "core/Text.hpp"

#include <array>
#include <string_view>

namespace zelto {

using declarative::Context;
using declarative::DragValue;
using declarative::Size;
using declarative::State;
using declarative::View;

namespace {

// What a button does at each step of its press scheme.
struct PressActions {
    std::function<void()> press;
    std::function<void(ui::ModifierFlags)> releaseInside; // with the modifier keys held at the release
    std::function<void()> releaseOutside;
};

bool isInside(Size size, declarative::Point location) {
    return location.x >= 0 && location.x < size.width && location.y >= 0 && location.y < size.height;
}

// Attaches the press scheme to a drawn button. Without a hit size every release counts as inside.
View pressable(const View& drawn, const State<bool>& pressed, std::optional<Size> hitSize,
               PressActions actions) {
    declarative::DragGesture drag;
    drag.minimumDistance = 0;
    drag.onChanged = [pressed, press = actions.press](const DragValue&) {
        if (!pressed.get()) {
            pressed.set(true);
            if (press) {
                press();
            }
        }
    };
    drag.onEnded = [pressed, hitSize, actions](const DragValue& value) {
        pressed.set(false);
        if (!hitSize || isInside(*hitSize, value.location)) {
            if (actions.releaseInside) {
                actions.releaseInside(value.modifiers);
            }
        } else if (actions.releaseOutside) {
            actions.releaseOutside();
        }
    };
    // A press that never sees its release lets go as if released outside: the host gets its end.
    drag.onCancelled = [pressed, outside = actions.releaseOutside] {
        if (pressed.get()) {
            pressed.set(false);
            if (outside) {
                outside();
            }
        }
    };
    return drawn.gesture(declarative::Gesture(std::move(drag)));
}

float currentValue(const ParameterBinding& param) {
    const auto parameter = param.get();
    return parameter ? parameter->value() : 0.0f;
}

void send(const ParameterBinding& param, float value, ParameterEditorState state) {
    if (const auto parameter = param.get()) {
        parameter->setValue(value, ParameterEditor::ui, state);
    }
}

// Whether the value, truncated toward zero, is the index. A value that has no integer (NaN, infinite or
// beyond 64 bits) matches no index.
bool isIndexOn(float value, int index) {
    if (!(value >= -0x1p63f && value < 0x1p63f)) {
        return false;
    }
    return static_cast<std::int64_t>(value) == index;
}

// Two-valued parameters are on at exactly 1 and toggle by 0: 0 becomes 1, anything else 0.
bool isTwoValuedOn(float value) {
    return value == 1.0f;
}
float toggled(float value) {
    return value == 0.0f ? 1.0f : 0.0f;
}

// The value string at the index, upper-cased; empty when the parameter has none there.
std::string valueText(const ParameterBinding& param, int index) {
    const auto parameter = param.get();
    if (!parameter || !parameter->valueStrings()) {
        return {};
    }
    const std::string* text = safe(*parameter->valueStrings(), index);
    return text ? core::uppercased(*text) : std::string();
}

View kitText(std::string text, CorviFont font, double size, graphics::ColorRef color) {
    return corviFont(declarative::Text(std::move(text)), font, size).foregroundColor(std::move(color));
}

View namedImage(const std::string& name) {
    return declarative::Image(name, kitBundle());
}

std::string_view colorWord(ChaosButtonColor color) {
    static constexpr std::array<std::string_view, 4> words{"yellow", "blue", "red", "white"};
    return words[static_cast<std::size_t>(color)];
}

std::string withPressed(std::string name, bool pressed) {
    return pressed ? name + "-down" : name;
}

graphics::ColorRef chaosToggleTextColor(bool pressed) {
    return kitColor(pressed ? "chaosToggleTextPressed" : "chaosToggleText");
}

// The button's image framed to its size with the text laid over it.
View framedButton(const std::string& imageName, Size size, const View& overlay) {
    return declarative::ZStack({namedImage(imageName).frame(size.width, size.height), overlay})
        .frame(size.width, size.height);
}

// Index-mapped buttons: begin at the press, select the index at a release inside.
PressActions indexActions(const ParameterBinding& param, int valueIndex) {
    const float index = static_cast<float>(valueIndex);
    return {[param] { send(param, currentValue(param), ParameterEditorState::beginInteractive); },
            [param, index](ui::ModifierFlags) {
                send(param, index, ParameterEditorState::change);
                send(param, index, ParameterEditorState::endInteractive);
            },
            [param] { send(param, currentValue(param), ParameterEditorState::endInteractive); }};
}

// Two-valued buttons: begin at the press, toggle at a release inside.
PressActions toggleActions(const ParameterBinding& param) {
    return {[param] { send(param, currentValue(param), ParameterEditorState::beginInteractive); },
            [param](ui::ModifierFlags) {
                // Computed once: the parameter's observed value changes only later, on the main queue.
                const float value = toggled(currentValue(param));
                send(param, value, ParameterEditorState::change);
                send(param, value, ParameterEditorState::endInteractive);
            },
            [param] { send(param, currentValue(param), ParameterEditorState::endInteractive); }};
}

} // namespace

View ChaosButton::body(Context& context) const {
    const auto pressed = context.state(false);
    const View drawn = framedButton(
        withPressed("chaos-button-yellow", *pressed), buttonSize,
        kitText(buttonText, CorviFont::dosisMedium, 13, kitColor("ChaosYellowText")).offset(0, -4));
    return pressable(drawn, pressed, buttonSize,
                     {{},
                      [action = onPressed](ui::ModifierFlags) {
                          if (action) {
                              action();
                          }
                      },
                      {}});
}

View ChaosToggleButton::body(Context& context) const {
    const auto pressed = context.state(false);
    const bool on = isIndexOn(currentValue(param), valueIndex);
    const std::string base =
        on ? "chaos-button-grey-on-" + std::string(colorWord(color)) : "chaos-button-grey-off";
    const View overlay = image ? image->opacity(*pressed ? 0.7 : 1.0).offset(0, -2)
                               : kitText(valueText(param, valueIndex), CorviFont::dosisMedium, 13,
                                         chaosToggleTextColor(*pressed))
                                     .offset(0, -6);
    return pressable(framedButton(withPressed(base, *pressed), buttonSize, overlay), pressed, buttonSize,
                     indexActions(param, valueIndex));
}

View ChaosToggleButtonNarrow::body(Context& context) const {
    const auto pressed = context.state(false);
    const bool on = isTwoValuedOn(currentValue(param));
    const std::string base = on ? "chaos-button-narrow-grey-on-yellow" : "chaos-button-narrow-grey-off";
    const View overlay =
        buttonText
            ? kitText(*buttonText, CorviFont::dosisMedium, 13, chaosToggleTextColor(*pressed)).offset(0, -2)
            : View();
    return pressable(framedButton(withPressed(base, *pressed), buttonSize, overlay), pressed, buttonSize,
                     toggleActions(param));
}

View ImageButton::body(Context& context) const {
    const auto pressed = context.state(false);
    const View drawn = *pressed ? View(downImage) : View(image);
    return pressable(drawn, pressed, buttonSize,
                     {{},
                      [action = onPressed](ui::ModifierFlags modifiers) {
                          if (action) {
                              action((modifiers & ui::Modifier::option) != 0);
                          }
                      },
                      {}});
}

View LeftRightArrowButton::body(Context& context) const {
    const auto pressed = context.state(false);
    const bool left = currentValue(param) == leftValue;
    const std::string base = left ? "chaos-button-small-yellow-left" : "chaos-button-small-yellow-right";
    return pressable(framedButton(withPressed(base, *pressed), buttonSize, View()), pressed, buttonSize,
                     toggleActions(param));
}

View ModeToggleButton::body(Context& context) const {
    const auto pressed = context.state(false);
    const bool on = isIndexOn(currentValue(param), valueIndex);
    // The retro look keeps its plain image while an off button is held and lights in the modern on image.
    static constexpr std::array<std::array<const char*, 4>, 2> images{{
        {"modern-button", "modern-button-down", "modern-button-on", "modern-button-on-down"},
        {"retro-button", "retro-button", "modern-button-on", "retro-button-down"},
    }};
    const char* name = images[static_cast<std::size_t>(buttonStyle)][(on ? 2 : 0) + (*pressed ? 1 : 0)];
    const auto offColor = kitColor(buttonStyle == ToggleButtonStyle::retro ? "background" : "buttonText");
    const View text = kitText(valueText(param, valueIndex), CorviFont::rocket, buttonFontSize,
                              on ? buttonTextColor : offColor)
                          .offset(0, 2);
    return pressable(framedButton(name, buttonSize, text), pressed, buttonSize,
                     indexActions(param, valueIndex));
}

View ParameterHoldButton::body(Context& context) const {
    const auto isGestureActive = context.state(false);
    const bool held = currentValue(param) == 1.0f;
    const View drawn = declarative::VStack({declarative::Image(held ? pressedImage : image)});
    const auto release = [param = param] {
        send(param, 0.0f, ParameterEditorState::change);
        send(param, 0.0f, ParameterEditorState::endInteractive);
    };
    return pressable(drawn, isGestureActive, std::nullopt,
                     {[param = param] {
                          send(param, 0.0f, ParameterEditorState::beginInteractive);
                          send(param, 1.0f, ParameterEditorState::change);
                      },
                      [release](ui::ModifierFlags) { release(); }, release});
}

View ToggleButton::body(Context& context) const {
    const auto pressed = context.state(false);
    const bool on = isTwoValuedOn(currentValue(param));
    const auto parameter = param.get();
    const std::string title = nameOverride ? *nameOverride
                              : parameter  ? core::uppercased(parameter->name())
                                           : std::string();
    const View text =
        kitText(title, CorviFont::rocket, buttonFontSize, on ? buttonTextColor : kitColor("buttonText"))
            .offset(0, 2);
    return pressable(
        framedButton(withPressed(on ? "modern-button-on" : "modern-button", *pressed), buttonSize, text),
        pressed, buttonSize, toggleActions(param));
}

} // namespace zelto
