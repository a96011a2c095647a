#pragma once

// Keyboard focus and keys. The focus manager keeps the focused node by identity (a weak reference to
// the retained node), so focus survives re-evaluation and is lost when the node goes away. Key presses
// go to the focused node and bubble up through its ancestors until one handles them.

#include "declarative/Core.hpp"
#include "ui/Event.hpp"

namespace declarative {

enum class KeyPhase : unsigned { down = 1, repeat = 2, up = 4 };
using KeyPhases = unsigned;
inline constexpr KeyPhases keyDownAndRepeat =
    static_cast<unsigned>(KeyPhase::down) | static_cast<unsigned>(KeyPhase::repeat);
inline constexpr KeyPhases allKeyPhases = keyDownAndRepeat | static_cast<unsigned>(KeyPhase::up);

struct KeyPressEvent {
    std::string characters; // UTF-8, as the event delivered them
    std::optional<char32_t> specialKey;
    ui::ModifierFlags modifiers = 0;
    KeyPhase phase = KeyPhase::down;
};

enum class KeyResult { handled, ignored };

// Focus bound to a value: `focused == value` while the view marked with that value has focus.
// Setting it moves focus there (on the next flush); nullopt removes focus.
template <class T> class FocusState {
public:
    FocusState() = default;
    explicit FocusState(State<std::optional<T>> state) : state_(std::move(state)) {}
    std::optional<T> get() const { return state_.get(); }
    void set(std::optional<T> value) const { state_.set(std::move(value)); }
    Binding<std::optional<T>> binding() const { return state_.binding(); }

private:
    State<std::optional<T>> state_;
};

template <class T> FocusState<T> focusState(Context& context) {
    return FocusState<T>(context.state<std::optional<T>>(std::nullopt));
}

// Marks a view focusable and ties its focus to `binding == value`.
template <class T> View focused(const View& view, Binding<std::optional<T>> binding, T value);
View focusedIf(const View& view, Binding<bool> binding);
// Marks a view focusable without a binding.
View focusable(const View& view);

class FocusManager {
public:
    explicit FocusManager(HostingView& host) : host_(host) {}
    Node* focusedNode() const { return focused_.lock().get(); }
    // Whether the focused node is node or inside it.
    bool isFocusWithin(const Node* node) const;
    // Moves focus to a node, or the first focusable view inside it (null clears focus), telling every
    // focusable view that gains or loses focus (the focused node and its focusable ancestors).
    void focus(Node* node);
    // Routes a key press from the focused node upwards; returns whether a handler took it.
    bool dispatch(const KeyPressEvent& press);
    // Called after every flush: a focused node that left the tree loses focus.
    void validate();

private:
    static Node* innermostFocusable(Node* node);
    HostingView& host_;
    std::weak_ptr<Node> focused_;
};

// A node that can hold focus (TextField, focused(), focusable()).
class FocusableNode : public Node {
public:
    virtual void focusChanged(bool focused) { (void)focused; }
    virtual KeyResult keyPress(const KeyPressEvent&) { return KeyResult::ignored; }
};

namespace detail {
View focusedModifier(const View& view, std::function<bool()> wantsFocus,
                     std::function<void(bool)> setFocused);
}

template <class T> View focused(const View& view, Binding<std::optional<T>> binding, T value) {
    return detail::focusedModifier(
        view, [binding, value] { return binding.get() == std::optional<T>(value); },
        [binding, value](bool focused) {
            if (focused) {
                binding.set(value);
            } else if (binding.get() == std::optional<T>(value)) {
                binding.set(std::nullopt);
            }
        });
}

} // namespace declarative
