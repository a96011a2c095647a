// The X11 back end's key tables and its multiple-click counting, without a server.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "display/ClickCounter.hpp"
#include "display/X11Keys.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <set>

namespace {

using display::ClickCounter;
namespace Modifier = ui::Modifier;
namespace SpecialKey = ui::SpecialKey;

TEST(X11KeyTables, ModifierStatesAndModifierKeysMapToTheSameFlags) {
    EXPECT_EQ(display::flagsFromState(0), 0u);
    EXPECT_EQ(display::flagsFromState(ShiftMask | ControlMask | Mod1Mask | Mod4Mask | LockMask),
              Modifier::shift | Modifier::control | Modifier::option | Modifier::command |
                  Modifier::capsLock);
    // Num Lock (Mod2) and the pointer buttons are not modifiers a key event carries.
    EXPECT_EQ(display::flagsFromState(Mod2Mask | Button1Mask), 0u);

    const std::pair<KeySym, unsigned> keys[] = {
        {XK_Shift_L, ShiftMask},     {XK_Shift_R, ShiftMask}, {XK_Control_L, ControlMask},
        {XK_Control_R, ControlMask}, {XK_Alt_L, Mod1Mask},    {XK_Alt_R, Mod1Mask},
        {XK_Meta_L, Mod1Mask},       {XK_Super_L, Mod4Mask},  {XK_Super_R, Mod4Mask},
        {XK_Caps_Lock, LockMask},
    };
    for (const auto& [keysym, mask] : keys) {
        EXPECT_EQ(display::modifierOfKey(keysym), display::flagsFromState(mask)) << keysym;
    }
    EXPECT_EQ(display::modifierOfKey(XK_a), 0u);
    EXPECT_EQ(display::modifierOfKey(XK_Num_Lock), 0u);
}

TEST(X11KeyTables, KeysThatTypeNoTextGetAppKitsCharactersOnTheMainAndKeypadKeys) {
    EXPECT_EQ(display::specialCharacter(XK_F1), SpecialKey::f1);
    EXPECT_EQ(display::specialCharacter(XK_F12), SpecialKey::f1 + 11);
    EXPECT_EQ(display::specialCharacter(XK_F35), SpecialKey::f1 + 34);
    EXPECT_EQ(display::specialCharacter(XK_Return), SpecialKey::carriageReturn);
    EXPECT_EQ(display::specialCharacter(XK_KP_Enter), SpecialKey::enter);
    EXPECT_EQ(display::specialCharacter(XK_ISO_Left_Tab), SpecialKey::backTab);
    EXPECT_EQ(display::specialCharacter(XK_BackSpace), SpecialKey::deleteCharacter);
    const std::pair<KeySym, KeySym> keypad[] = {
        {XK_Up, XK_KP_Up},         {XK_Down, XK_KP_Down}, {XK_Left, XK_KP_Left},
        {XK_Right, XK_KP_Right},   {XK_Home, XK_KP_Home}, {XK_End, XK_KP_End},
        {XK_Prior, XK_KP_Prior},   {XK_Next, XK_KP_Next}, {XK_Delete, XK_KP_Delete},
        {XK_Insert, XK_KP_Insert}, {XK_Tab, XK_KP_Tab},
    };
    for (const auto& [main, pad] : keypad) {
        ASSERT_TRUE(display::specialCharacter(main).has_value()) << main;
        EXPECT_EQ(display::specialCharacter(main), display::specialCharacter(pad)) << pad;
    }
    EXPECT_FALSE(display::specialCharacter(XK_a).has_value());
    EXPECT_FALSE(display::specialCharacter(XK_KP_5).has_value());
}

TEST(X11KeyTables, VirtualKeyCodesAreAppKitsAndNeverShared) {
    EXPECT_EQ(display::macKeyCode(XK_a), 0);
    EXPECT_EQ(display::macKeyCode(XK_Return), 36);
    EXPECT_EQ(display::macKeyCode(XK_Escape), 53);
    EXPECT_EQ(display::macKeyCode(XK_space), 49);
    EXPECT_EQ(display::macKeyCode(XK_Up), 126);
    EXPECT_EQ(display::macKeyCode(XK_F1), 122);
    EXPECT_EQ(display::macKeyCode(XK_KP_Enter), 76);
    EXPECT_EQ(display::macKeyCode(XK_Greek_alpha), 0xffff);
    std::set<std::uint16_t> seen;
    for (KeySym keysym = 0x20; keysym <= 0xffff; ++keysym) {
        const std::uint16_t code = display::macKeyCode(keysym);
        if (code != 0xffff) {
            EXPECT_TRUE(seen.insert(code).second) << "code " << code << " twice, at keysym " << keysym;
        }
    }
    EXPECT_GE(seen.size(), 80u);
    // Letters, digits, punctuation and the arrows are all there.
    for (KeySym keysym : {XK_a, XK_z, XK_0, XK_9, XK_comma, XK_slash, XK_Left, XK_Down}) {
        EXPECT_NE(display::macKeyCode(keysym), 0xffff) << keysym;
    }
    EXPECT_TRUE(display::isKeypad(XK_KP_7));
    EXPECT_TRUE(display::isKeypad(XK_Left)); // arrows carry the numeric-pad flag, as on a Mac
    EXPECT_FALSE(display::isKeypad(XK_7));
}

TEST(ClickCounter, CountsNearbyQuickPressesOfOneButtonAndStartsAgainOtherwise) {
    ClickCounter clicks;
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(clicks.press(1, 1000, 10, 10), 1);
    EXPECT_EQ(clicks.press(1, 1200, 12, 8), 2);
    EXPECT_EQ(clicks.press(1, 1700, 14, 8), 3);                                // exactly the interval
    EXPECT_EQ(clicks.press(1, 2201, 14, 8), 1);                                // too late
    EXPECT_EQ(clicks.press(1, 2300, 14 + ClickCounter::slopPixels + 1, 8), 1); // too far
    EXPECT_EQ(clicks.press(3, 2400, 19, 8), 1);                                // another button
    clicks.reset();
    EXPECT_EQ(clicks.press(3, 2500, 19, 8), 1);
    // The first press ever, at time 0 and the origin, is a single click too.
    ClickCounter fresh;
    EXPECT_EQ(fresh.press(1, 0, 0, 0), 1);
}

TEST(ClickCounter, ADoubleClickAcrossTheServerClocksWrapStillCounts) {
    ClickCounter clicks;
    EXPECT_EQ(clicks.press(1, 0xffffff00u, 5, 5), 1);
    EXPECT_EQ(clicks.press(1, 0x00000050u, 5, 5), 2); // 0x150 ms later, past the wrap
    // A press stamped before the last one starts again.
    EXPECT_EQ(clicks.press(1, 0x00000040u, 5, 5), 1);
}

} // namespace
