#include "ui/Event.hpp"

#include <atomic>

namespace ui {

namespace {

// A user setting, the same for every window of the process; read by back ends on the main thread and
// possibly set from elsewhere.
std::atomic<double> doubleClickSeconds{0.5};

} // namespace

double Event::doubleClickInterval() {
    return doubleClickSeconds.load(std::memory_order_relaxed);
}

void Event::setDoubleClickInterval(double seconds) {
    if (seconds > 0) {
        doubleClickSeconds.store(seconds, std::memory_order_relaxed);
    }
}

bool Event::isMouseEvent() const {
    switch (type) {
    case EventType::leftMouseDown:
    case EventType::leftMouseUp:
    case EventType::rightMouseDown:
    case EventType::rightMouseUp:
    case EventType::mouseMoved:
    case EventType::leftMouseDragged:
    case EventType::rightMouseDragged:
    case EventType::otherMouseDown:
    case EventType::otherMouseUp:
    case EventType::otherMouseDragged:
        return true;
    default:
        return false;
    }
}

bool Event::isKeyEvent() const {
    return type == EventType::keyDown || type == EventType::keyUp;
}

std::optional<char32_t> Event::specialKey() const {
    auto c = firstCodePoint(characters);
    if (!c) {
        return std::nullopt;
    }
    if (*c < 0x20 || *c == SpecialKey::deleteCharacter || (*c >= 0xf700 && *c <= 0xf8ff)) {
        return c;
    }
    return std::nullopt;
}

Event Event::mouseEvent(EventType type, graphics::Point location, ModifierFlags flags, double timestamp,
                        std::shared_ptr<Window> window, int clickCount) {
    Event e;
    e.type = type;
    e.locationInWindow = location;
    e.modifierFlags = flags;
    e.timestamp = timestamp;
    e.window = window;
    const bool moved = type == EventType::mouseMoved;
    e.clickCount = moved ? 0 : clickCount;
    switch (type) {
    case EventType::rightMouseDown:
    case EventType::rightMouseUp:
    case EventType::rightMouseDragged:
        e.buttonNumber = 1;
        break;
    case EventType::otherMouseDown:
    case EventType::otherMouseUp:
    case EventType::otherMouseDragged:
        e.buttonNumber = 2;
        break;
    default:
        e.buttonNumber = 0;
    }
    return e;
}

Event Event::keyEvent(EventType type, std::string characters, std::string charactersIgnoringModifiers,
                      ModifierFlags flags, std::uint16_t keyCode, double timestamp,
                      std::shared_ptr<Window> window, bool isARepeat) {
    Event e;
    e.type = type;
    e.charactersIgnoringModifiers =
        charactersIgnoringModifiers.empty() ? characters : charactersIgnoringModifiers;
    e.characters = std::move(characters);
    e.modifierFlags = flags;
    e.keyCode = keyCode;
    e.timestamp = timestamp;
    e.window = window;
    e.isARepeat = isARepeat;
    return e;
}

Event Event::scrollEvent(graphics::Point location, double deltaX, double deltaY, ModifierFlags flags,
                         double timestamp, std::shared_ptr<Window> window, bool precise) {
    Event e;
    e.type = EventType::scrollWheel;
    e.locationInWindow = location;
    e.scrollingDeltaX = deltaX;
    e.scrollingDeltaY = deltaY;
    e.deltaX = deltaX;
    e.deltaY = deltaY;
    e.hasPreciseScrollingDeltas = precise;
    e.modifierFlags = flags;
    e.timestamp = timestamp;
    e.window = window;
    return e;
}

Event Event::flagsChangedEvent(ModifierFlags flags, std::uint16_t keyCode, double timestamp,
                               std::shared_ptr<Window> window) {
    Event e;
    e.type = EventType::flagsChanged;
    e.modifierFlags = flags;
    e.keyCode = keyCode;
    e.timestamp = timestamp;
    e.window = window;
    return e;
}

std::optional<char32_t> firstCodePoint(const std::string& s) {
    if (s.empty()) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    unsigned char c = p[0];
    int len = 0;
    char32_t cp = 0;
    if (c < 0x80) {
        return c;
    } else if ((c & 0xe0) == 0xc0) {
        len = 2;
        cp = c & 0x1f;
    } else if ((c & 0xf0) == 0xe0) {
        len = 3;
        cp = c & 0x0f;
    } else if ((c & 0xf8) == 0xf0) {
        len = 4;
        cp = c & 0x07;
    } else {
        return std::nullopt;
    }
    if (n < static_cast<std::size_t>(len)) {
        return std::nullopt;
    }
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xc0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (p[i] & 0x3f);
    }
    // Overlong forms and surrogates are malformed.
    static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[len] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
        return std::nullopt;
    }
    return cp;
}

std::string utf8(char32_t cp) {
    std::string out;
    if (cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
        return out;
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
    return out;
}

} // namespace ui
