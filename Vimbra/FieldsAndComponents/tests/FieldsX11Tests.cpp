// The validating text field on a real X server, driven by XTest: typing into it shows its message in a
// real override-redirect pop-up window under it, and taking the focus away removes that window.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/tests/X11TestFixture.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cctype>

using graphics::Rect;

namespace {

// Marks the field invalid, with a message, while its text holds anything but digits.
class DigitsOnly : public ui::Object, public ui::TextFieldDelegate {
public:
    void controlTextDidChange(ui::TextField& field) override {
        auto& validating = dynamic_cast<vimbra::ValidatingTextField&>(field);
        const std::string text = field.stringValue();
        const bool digits =
            std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
        validating.setValid(digits);
        validating.setMessage(digits ? std::nullopt : std::optional<std::string>("Digits only"));
    }
};

// Whether the root window has a mapped, override-redirect child with the id.
bool shownOverrideRedirect(::Display* dpy, Window xid) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
        return false;
    }
    bool found = false;
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] != xid) {
            continue;
        }
        XWindowAttributes attributes;
        found = XGetWindowAttributes(dpy, xid, &attributes) && attributes.override_redirect &&
                attributes.map_state == IsViewable;
    }
    if (children) {
        XFree(children);
    }
    return found;
}

class X11Fields : public displaytest::X11TestFixture {};

} // namespace

TEST_F(X11Fields, TypingAnInvalidValueShowsTheMessageInAPopUpWindowThatGoesWithTheFocus) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    auto window = ui::Window::make(Rect(40, 40, 320, 200));
    auto field = std::make_shared<vimbra::ValidatingTextField>(Rect(20, 140, 200, 22));
    auto other = std::make_shared<vimbra::ValidatingTextField>(Rect(20, 60, 200, 22));
    auto validator = std::make_shared<DigitsOnly>();
    field->setDelegate(validator);
    window->contentView()->addSubview(field);
    window->contentView()->addSubview(other);
    std::shared_ptr<display::X11WindowBackend> backend;
    showWindow(window, backend);
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(pumpUntil([&] { return window->isKeyWindow(); }));

    const Rect r = field->convertRectToView(field->bounds(), nullptr);
    const auto at = input.rootPosition(backend->xid(), static_cast<int>(r.minX() + 10),
                                       static_cast<int>(window->contentView()->bounds().height() - r.midY()));
    input.click(at.first, at.second);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return field->currentEditor() != nullptr; }));
    input.tap(XK_4);
    input.tap(XK_2);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return field->stringValue() == "42"; }));
    EXPECT_FALSE(field->popoverController()->popover()->isShown());

    input.tap(XK_x);
    ASSERT_TRUE(
        displaytest::pumpUntil(*display, [&] { return field->popoverController()->popover()->isShown(); }));
    EXPECT_FALSE(field->isValid());
    auto popoverWindow = field->popoverController()->popover()->window();
    auto popoverBackend = std::dynamic_pointer_cast<display::X11WindowBackend>(popoverWindow->backend());
    ASSERT_NE(popoverBackend, nullptr);
    const auto xid = popoverBackend->xid();
    EXPECT_TRUE(displaytest::pumpUntil(*display, [&] { return shownOverrideRedirect(dpy, xid); }));
    // The pop-up took neither the key window nor the keyboard.
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->firstResponder(), field->currentEditor());
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    EXPECT_NE(focus, xid);

    // Typing goes on into the field; Tab moves the focus on and the pop-up window goes.
    input.tap(XK_BackSpace);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return field->stringValue() == "42"; }));
    EXPECT_FALSE(field->popoverController()->popover()->isShown()); // the message went with the edit
    input.tap(XK_y);
    ASSERT_TRUE(
        displaytest::pumpUntil(*display, [&] { return field->popoverController()->popover()->isShown(); }));
    const auto secondXid = std::dynamic_pointer_cast<display::X11WindowBackend>(
                               field->popoverController()->popover()->window()->backend())
                               ->xid();
    EXPECT_TRUE(displaytest::pumpUntil(*display, [&] { return shownOverrideRedirect(dpy, secondXid); }));
    input.tap(XK_Tab);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return other->currentEditor() != nullptr; }));
    ASSERT_TRUE(
        displaytest::pumpUntil(*display, [&] { return !field->popoverController()->popover()->isShown(); }));
    EXPECT_TRUE(displaytest::pumpUntil(*display, [&] { return !shownOverrideRedirect(dpy, secondXid); }));
}
