#pragma once

// Key translation for the X11 back end: X key events and modifier states to the ui layer's characters,
// modifier flags and (macOS) virtual key codes. Include after <X11/Xlib.h>.

#include "ui/Event.hpp"

#include <X11/Xlib.h>
#include <cstdint>
#include <optional>
#include <string>

namespace display {

// The ui modifier flags of an X modifier state.
ui::ModifierFlags flagsFromState(unsigned state);
// The modifiers of a pointer event: Control with Alt stands for the option key alone (see the definition).
ui::ModifierFlags pointerFlagsFromState(unsigned state);
// The modifier a modifier key controls, or 0 for other keys.
ui::ModifierFlags modifierOfKey(KeySym keysym);
// AppKit's character for keys that type no text.
std::optional<char32_t> specialCharacter(KeySym keysym);
// The text of a key: AppKit's function-key characters, control characters for control combinations,
// else the key symbol's Unicode character. The key symbol goes to keysymOut when given.
std::string keyText(XKeyEvent& key, KeySym* keysymOut);
// macOS virtual key codes (ANSI layout) for the keys programs test by code; 0xffff for others.
std::uint16_t macKeyCode(KeySym keysym);
bool isKeypad(KeySym keysym);

} // namespace display
