#pragma once

// Input events in the AppKit model: raw type values, modifier masks and private-use characters for
// function keys are AppKit's, so code written against that model reads the same numbers.
// Locations are in window coordinates, y growing upwards from the window's bottom-left corner.

#include "graphics/Geometry.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class TrackingArea;
class Window;

enum class EventType : std::uint32_t {
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    mouseMoved = 5,
    leftMouseDragged = 6,
    rightMouseDragged = 7,
    mouseEntered = 8,
    mouseExited = 9,
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    appKitDefined = 13,
    systemDefined = 14,
    applicationDefined = 15,
    periodic = 16,
    cursorUpdate = 17,
    scrollWheel = 22,
    otherMouseDown = 25,
    otherMouseUp = 26,
    otherMouseDragged = 27,
};

// The bit of an event type in an event mask (1 << type).
constexpr std::uint64_t eventMask(EventType type) {
    return std::uint64_t{1} << static_cast<std::uint32_t>(type);
}

using ModifierFlags = std::uint64_t;

namespace Modifier {
inline constexpr ModifierFlags capsLock = 1u << 16;
inline constexpr ModifierFlags shift = 1u << 17;
inline constexpr ModifierFlags control = 1u << 18;
inline constexpr ModifierFlags option = 1u << 19;
inline constexpr ModifierFlags command = 1u << 20;
inline constexpr ModifierFlags numericPad = 1u << 21;
inline constexpr ModifierFlags help = 1u << 22;
inline constexpr ModifierFlags function = 1u << 23;
// The device-independent part of the flags.
inline constexpr ModifierFlags deviceIndependentMask = 0xffff0000u;
} // namespace Modifier

// Characters that keys without text produce, as AppKit delivers them in `characters`.
namespace SpecialKey {
inline constexpr char32_t enter = 0x03;
inline constexpr char32_t backspace = 0x08;
inline constexpr char32_t tab = 0x09;
inline constexpr char32_t newline = 0x0a;
inline constexpr char32_t carriageReturn = 0x0d;
inline constexpr char32_t backTab = 0x19;
inline constexpr char32_t escape = 0x1b;
inline constexpr char32_t deleteCharacter = 0x7f;
inline constexpr char32_t upArrow = 0xf700;
inline constexpr char32_t downArrow = 0xf701;
inline constexpr char32_t leftArrow = 0xf702;
inline constexpr char32_t rightArrow = 0xf703;
inline constexpr char32_t f1 = 0xf704; // f2 ... f35 follow
inline constexpr char32_t insert = 0xf727;
inline constexpr char32_t deleteForward = 0xf728;
inline constexpr char32_t home = 0xf729;
inline constexpr char32_t end = 0xf72b;
inline constexpr char32_t pageUp = 0xf72c;
inline constexpr char32_t pageDown = 0xf72d;
} // namespace SpecialKey

// An event value. Synthetic events for tests and back ends come from the static constructors.
struct Event {
    EventType type = EventType::applicationDefined;
    ModifierFlags modifierFlags = 0;
    graphics::Point locationInWindow;
    double timestamp = 0; // seconds from an arbitrary origin (the window system's); only differences matter
    std::weak_ptr<Window> window;

    // Mouse events.
    int clickCount = 0;
    int buttonNumber = 0; // 0 left, 1 right, 2 and up other buttons
    double deltaX = 0;    // pointer movement since the previous mouse event
    double deltaY = 0;

    // Scroll wheel events, as AppKit reports them: positive y when the wheel turns away from the user,
    // positive x when it scrolls to the left.
    double scrollingDeltaX = 0;
    double scrollingDeltaY = 0;
    bool hasPreciseScrollingDeltas = false;
    bool isDirectionInvertedFromDevice = false;

    // Key events (UTF-8). characters applies the modifiers; charactersIgnoringModifiers does not
    // (except shift), as AppKit defines them.
    std::string characters;
    std::string charactersIgnoringModifiers;
    std::uint16_t keyCode = 0; // macOS virtual key code where the back end can map one
    bool isARepeat = false;

    // Entered, exited and moved events of a tracking area: the area.
    std::shared_ptr<TrackingArea> trackingArea;

    bool isMouseEvent() const;
    bool isKeyEvent() const;

    // The first character when it is one of the function-key or control characters above.
    std::optional<char32_t> specialKey() const;

    static Event mouseEvent(EventType type, graphics::Point locationInWindow, ModifierFlags flags = 0,
                            double timestamp = 0, std::shared_ptr<Window> window = nullptr,
                            int clickCount = 1);
    static Event keyEvent(EventType type, std::string characters,
                          std::string charactersIgnoringModifiers = {}, ModifierFlags flags = 0,
                          std::uint16_t keyCode = 0, double timestamp = 0,
                          std::shared_ptr<Window> window = nullptr, bool isARepeat = false);
    static Event scrollEvent(graphics::Point locationInWindow, double deltaX, double deltaY,
                             ModifierFlags flags = 0, double timestamp = 0,
                             std::shared_ptr<Window> window = nullptr, bool precise = false);
    // The longest time between two presses that still makes them one multiple click, in seconds: the
    // user's setting, 0.5 unless set (values of zero or less are ignored). Window back ends count
    // clicks with it, and press-and-hold waits this long.
    static double doubleClickInterval();
    static void setDoubleClickInterval(double seconds);

    static Event flagsChangedEvent(ModifierFlags flags, std::uint16_t keyCode = 0, double timestamp = 0,
                                   std::shared_ptr<Window> window = nullptr);
};

// Decodes the first code point of a UTF-8 string; nullopt when empty or malformed.
std::optional<char32_t> firstCodePoint(const std::string& utf8);
// Encodes one code point as UTF-8 (invalid code points give an empty string).
std::string utf8(char32_t codePoint);

} // namespace ui
