#pragma once

// Gestures and buttons.
//
// A pointer down opens an arena over the recognizers along the hit path, innermost first. Recognizers
// in one lane exclude each other: the first to claim wins (a drag when it has moved its minimum
// distance, a tap on release with the right click count and modifiers, a button at once) and the others
// fail. Within one exclusively() pair the second waits while the first may still recognise: a drag of
// minimum distance 0 behind a tap starts only once the tap has failed (the pointer left its slop, the
// press lacked the tap's modifier keys, or the release did not make the tap). simultaneousGesture and
// the second half of simultaneously() open lanes of their own. The winner keeps receiving the pointer
// wherever it goes until release (pointer capture). A lost grab, or the node going away, cancels what
// is in progress.
//
// Locations in gesture values are local: relative to the top-left of the view the gesture is
// attached to, under its scale and offset.

#include "declarative/Core.hpp"
#include "ui/Event.hpp"

namespace declarative {

struct DragValue {
    Point startLocation;
    Point location;
    Size translation;
    double time = 0; // the event's timestamp
    ui::ModifierFlags modifiers = 0;
};

struct DragGesture {
    double minimumDistance = 10;
    std::function<void(const DragValue&)> onChanged;
    std::function<void(const DragValue&)> onEnded;
    // The drag stopped without ending (grab lost, view removed, Escape).
    std::function<void()> onCancelled;
};

struct TapGesture {
    int count = 1;
    // The modifier keys (shift, control, option, command) that must be held, exactly, at the press and
    // at the release; nullopt accepts any.
    std::optional<ui::ModifierFlags> modifiers;
    std::function<void()> action;
};

class GestureRecognizer;

class Gesture {
public:
    Gesture(DragGesture drag);
    Gesture(TapGesture tap);

    // Both recognise independently.
    static Gesture simultaneously(Gesture first, Gesture second);
    // `first` has precedence: `second` recognises only when `first` does not.
    static Gesture exclusively(Gesture first, Gesture second);

    // Internal: the recognizers this gesture becomes, with their lanes relative to the attachment.
    struct Part {
        std::variant<DragGesture, TapGesture> gesture;
        int lane = 0;
        // Parts of lower rank in the same lane take precedence over this one.
        int rank = 0;
    };
    const std::vector<Part>& parts() const { return parts_; }

private:
    Gesture() = default;
    std::vector<Part> parts_;
};

// The current modifier keys as the hosting view last saw them (for drag handlers that scale by them).
ui::ModifierFlags currentModifierFlags(const Context& context);

// Buttons.

struct ButtonConfiguration {
    View label;
    bool isPressed = false;
};

// Pressed while the pointer is down inside; the action runs on release inside. A disabled button
// (see View::disabled) neither presses nor acts.
View Button(std::function<void()> action, View label);
View Button(const std::string& title, std::function<void()> action);

// The label as it is, dimmed while pressed.
ButtonStyle plainButtonStyle();

// The arena: owned by the hosting view, driven by its pointer events.
class GestureArena {
public:
    GestureArena();
    ~GestureArena();
    void pointerDown(Node& root, Point pointInHost, const ui::Event& event);
    void pointerMoved(Point pointInHost, const ui::Event& event);
    void pointerUp(Point pointInHost, const ui::Event& event);
    // Cancels everything in progress (grab lost, Escape, focus out).
    void cancel();
    // Cancels members whose node left the tree.
    void prune();
    bool isTracking() const { return !members_.empty(); }

private:
    struct Member {
        std::weak_ptr<Node> node;
        std::shared_ptr<GestureRecognizer> recognizer;
        int lane = 0;
    };
    bool claim(Member& member);
    // Whether a member of higher precedence in the same exclusive pair may still recognise.
    bool waits(const Member& member) const;
    void finish();

    std::vector<Member> members_;
    std::vector<int> wonLanes_;
    Point lastPoint_;
};

} // namespace declarative
