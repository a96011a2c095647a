#include "display/X11Keys.hpp"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <utility>

namespace display {

ui::ModifierFlags flagsFromState(unsigned state) {
    ui::ModifierFlags flags = 0;
    if (state & ShiftMask) {
        flags |= ui::Modifier::shift;
    }
    if (state & LockMask) {
        flags |= ui::Modifier::capsLock;
    }
    if (state & ControlMask) {
        flags |= ui::Modifier::control;
    }
    if (state & Mod1Mask) {
        flags |= ui::Modifier::option;
    }
    if (state & Mod4Mask) {
        flags |= ui::Modifier::command;
    }
    return flags;
}

// The modifier a modifier key controls, or 0 for other keys.
// The modifiers of a pointer event. Window managers commonly take Alt-click and Alt-drag for moving and
// resizing windows, which leaves option-clicks unreachable; Control with Alt is the chord they leave to
// the application, so it stands for the option key alone. It must not keep Control: a Control-click is a
// secondary click.
ui::ModifierFlags pointerFlagsFromState(unsigned state) {
    if ((state & ControlMask) && (state & Mod1Mask)) {
        state &= ~static_cast<unsigned>(ControlMask);
    }
    return flagsFromState(state);
}

ui::ModifierFlags modifierOfKey(KeySym keysym) {
    switch (keysym) {
    case XK_Shift_L:
    case XK_Shift_R:
        return ui::Modifier::shift;
    case XK_Control_L:
    case XK_Control_R:
        return ui::Modifier::control;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
    case XK_ISO_Level3_Shift:
        return ui::Modifier::option;
    case XK_Super_L:
    case XK_Super_R:
        return ui::Modifier::command;
    case XK_Caps_Lock:
        return ui::Modifier::capsLock;
    default:
        return 0;
    }
}

// AppKit's character for keys that type no text.
std::optional<char32_t> specialCharacter(KeySym keysym) {
    if (keysym >= XK_F1 && keysym <= XK_F35) {
        return ui::SpecialKey::f1 + static_cast<char32_t>(keysym - XK_F1);
    }
    switch (keysym) {
    case XK_Return:
        return ui::SpecialKey::carriageReturn;
    case XK_KP_Enter:
        return ui::SpecialKey::enter;
    case XK_Tab:
    case XK_KP_Tab:
        return ui::SpecialKey::tab;
    case XK_ISO_Left_Tab:
        return ui::SpecialKey::backTab;
    case XK_BackSpace:
        return ui::SpecialKey::deleteCharacter;
    case XK_Escape:
        return ui::SpecialKey::escape;
    case XK_Delete:
    case XK_KP_Delete:
        return ui::SpecialKey::deleteForward;
    case XK_Up:
    case XK_KP_Up:
        return ui::SpecialKey::upArrow;
    case XK_Down:
    case XK_KP_Down:
        return ui::SpecialKey::downArrow;
    case XK_Left:
    case XK_KP_Left:
        return ui::SpecialKey::leftArrow;
    case XK_Right:
    case XK_KP_Right:
        return ui::SpecialKey::rightArrow;
    case XK_Home:
    case XK_KP_Home:
        return ui::SpecialKey::home;
    case XK_End:
    case XK_KP_End:
        return ui::SpecialKey::end;
    case XK_Prior:
    case XK_KP_Prior:
        return ui::SpecialKey::pageUp;
    case XK_Next:
    case XK_KP_Next:
        return ui::SpecialKey::pageDown;
    case XK_Insert:
    case XK_KP_Insert:
        return ui::SpecialKey::insert;
    default:
        return std::nullopt;
    }
}

// The text of a key: AppKit's function-key characters, control characters for control combinations,
// else the key symbol's Unicode character.
std::string keyText(XKeyEvent& key, KeySym* keysymOut) {
    char buffer[32];
    KeySym keysym = NoSymbol;
    const int length = XLookupString(&key, buffer, sizeof buffer, &keysym, nullptr);
    if (keysymOut) {
        *keysymOut = keysym;
    }
    if (auto special = specialCharacter(keysym)) {
        return ui::utf8(*special);
    }
    if (length > 0 && static_cast<unsigned char>(buffer[0]) < 0x20) {
        return std::string(1, buffer[0]);
    }
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) {
        return ui::utf8(static_cast<char32_t>(keysym));
    }
    if ((keysym & 0xff000000) == 0x01000000) {
        return ui::utf8(static_cast<char32_t>(keysym & 0x00ffffff));
    }
    if (length > 0) {
        // Keypad digits and other keys whose text Xlib gives only as Latin-1 bytes.
        return ui::utf8(static_cast<unsigned char>(buffer[0]));
    }
    return {};
}

// macOS virtual key codes (ANSI layout) for the keys programs test by code.
std::uint16_t macKeyCode(KeySym keysym) {
    static const std::pair<KeySym, std::uint16_t> table[] = {
        {XK_a, 0},          {XK_s, 1},          {XK_d, 2},
        {XK_f, 3},          {XK_h, 4},          {XK_g, 5},
        {XK_z, 6},          {XK_x, 7},          {XK_c, 8},
        {XK_v, 9},          {XK_b, 11},         {XK_q, 12},
        {XK_w, 13},         {XK_e, 14},         {XK_r, 15},
        {XK_y, 16},         {XK_t, 17},         {XK_1, 18},
        {XK_2, 19},         {XK_3, 20},         {XK_4, 21},
        {XK_6, 22},         {XK_5, 23},         {XK_equal, 24},
        {XK_9, 25},         {XK_7, 26},         {XK_minus, 27},
        {XK_8, 28},         {XK_0, 29},         {XK_bracketright, 30},
        {XK_o, 31},         {XK_u, 32},         {XK_bracketleft, 33},
        {XK_i, 34},         {XK_p, 35},         {XK_Return, 36},
        {XK_l, 37},         {XK_j, 38},         {XK_apostrophe, 39},
        {XK_k, 40},         {XK_semicolon, 41}, {XK_backslash, 42},
        {XK_comma, 43},     {XK_slash, 44},     {XK_n, 45},
        {XK_m, 46},         {XK_period, 47},    {XK_Tab, 48},
        {XK_space, 49},     {XK_grave, 50},     {XK_BackSpace, 51},
        {XK_Escape, 53},    {XK_Super_R, 54},   {XK_Super_L, 55},
        {XK_Shift_L, 56},   {XK_Caps_Lock, 57}, {XK_Alt_L, 58},
        {XK_Control_L, 59}, {XK_Shift_R, 60},   {XK_Alt_R, 61},
        {XK_Control_R, 62}, {XK_KP_Enter, 76},  {XK_F5, 96},
        {XK_F6, 97},        {XK_F7, 98},        {XK_F3, 99},
        {XK_F8, 100},       {XK_F9, 101},       {XK_F11, 103},
        {XK_F10, 109},      {XK_F12, 111},      {XK_Home, 115},
        {XK_Prior, 116},    {XK_Delete, 117},   {XK_F4, 118},
        {XK_End, 119},      {XK_F2, 120},       {XK_Next, 121},
        {XK_F1, 122},       {XK_Left, 123},     {XK_Right, 124},
        {XK_Down, 125},     {XK_Up, 126},
    };
    for (const auto& [sym, code] : table) {
        if (sym == keysym) {
            return code;
        }
    }
    return 0xffff;
}

bool isKeypad(KeySym keysym) {
    return (keysym >= XK_KP_Space && keysym <= XK_KP_9) || (keysym >= XK_Left && keysym <= XK_Down);
}

} // namespace display
