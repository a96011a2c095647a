// The styled and cursor buttons on a real X server, driven by XTest: the pointer and the mouse buttons
// really move, so event routing, the press-and-hold timer and the server's cursor all take part.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/StyledControls/ClickableImageView.hpp"
#include "Vimbra/StyledControls/CursorButtons.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledSearchField.hpp"
#include "Vimbra/StyledControls/ToolButton.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/tests/XSendEvents.hpp"
#include "display/tests/Xvfb.hpp"
#include "ui/Cursor.hpp"
#include "ui/Text.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
#include <chrono>
#include <utility>

using graphics::Rect;

namespace {

using RootPoint = std::pair<int, int>;

// The cursor image the X server shows.
struct ShownCursor {
    int width = -1;
    int height = -1;
    int xhot = -1;
    int yhot = -1;
    unsigned long checksum = 0;
    bool operator==(const ShownCursor&) const = default;
};

class X11StyledControls : public ::testing::Test {
protected:
    void open() {
        if (server.name().empty()) {
            GTEST_SKIP() << "Xvfb is not available";
        }
        display = displaytest::openAttachedDisplay(server.name());
        ASSERT_NE(display, nullptr);
        dpy = display->xdisplay();
        input = displaytest::XTestInput(dpy);
        if (!input.available()) {
            GTEST_SKIP() << "no XTest";
        }
        window = ui::Window::make(Rect(0, 0, 320, 200));
    }

    // Puts the window on screen once its views are in.
    void show() {
        backend = display->createWindow(window);
        ASSERT_NE(backend, nullptr);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(pumpUntil([&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    }

    void TearDown() override {
        if (display) {
            for (auto& w : ui::Application::shared()->windows()) {
                w->close();
            }
            display->detach();
        }
        core::MainQueue::shared().drain();
        ui::Application::shared()->setKeyWindow(nullptr);
    }

    // Waits for what a test expects, giving up after a long while (a loaded machine is slow).
    template <class Predicate> bool pumpUntil(Predicate done) {
        return displaytest::pumpUntil(*display, done);
    }
    // Pumps for about the given time whatever happens, to see that nothing more does.
    void pumpFor(int milliseconds) {
        displaytest::pumpUntil(
            *display, [] { return false; }, std::chrono::milliseconds(milliseconds));
    }

    // The middle of a view in root pixels.
    RootPoint centreOf(const ui::View& view) const {
        const Rect r = view.convertRectToView(view.bounds(), nullptr);
        return input.rootPosition(backend->xid(), static_cast<int>(r.midX()),
                                  static_cast<int>(window->contentView()->bounds().height() - r.midY()));
    }
    void move(RootPoint p) { input.moveTo(p.first, p.second); }
    void click(RootPoint p) { input.click(p.first, p.second); }

    // What the server shows now; width -1 without XFixes.
    ShownCursor shownCursor() const {
        ShownCursor shown;
        int eventBase = 0, errorBase = 0;
        if (!XFixesQueryExtension(dpy, &eventBase, &errorBase)) {
            return shown;
        }
        XFixesCursorImage* image = XFixesGetCursorImage(dpy);
        if (!image) {
            return shown;
        }
        shown.width = image->width;
        shown.height = image->height;
        shown.xhot = image->xhot;
        shown.yhot = image->yhot;
        for (int i = 0; i < image->width * image->height; ++i) {
            shown.checksum = shown.checksum * 31 + (image->pixels[i] & 0xffffffff);
        }
        XFree(image);
        return shown;
    }

    displaytest::XvfbServer server{"640x480x24"};
    std::shared_ptr<display::X11Display> display;
    ::Display* dpy = nullptr;
    displaytest::XTestInput input{nullptr};
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::X11WindowBackend> backend;
    std::shared_ptr<vimbratest::Receiver> receiver = std::make_shared<vimbratest::Receiver>(
        std::initializer_list<const char*>{"press:", "tool:", "more:"});
};

} // namespace

TEST_F(X11StyledControls, AClickSendsTheStyledButtonsActionAndAHeldToolButtonItsSecondAction) {
    open();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    auto styled = std::make_shared<vimbra::StyledButton>(Rect(20, 140, 100, 30));
    styled->setTitle("Go");
    styled->setTarget(receiver);
    styled->setAction("press:");
    auto tool = std::make_shared<vimbra::ToolButton>(Rect(150, 140, 40, 30));
    tool->setTarget(receiver);
    tool->setAction("tool:");
    tool->setSecondaryTarget(receiver);
    tool->setSecondaryAction("more:");
    window->contentView()->addSubview(styled);
    window->contentView()->addSubview(tool);
    show();
    if (HasFatalFailure()) {
        return;
    }

    click(centreOf(*styled));
    ASSERT_TRUE(pumpUntil([&] { return !receiver->log.empty(); }));
    EXPECT_EQ(receiver->log, std::vector<std::string>{"press:"});
    EXPECT_EQ(receiver->senders.front(), styled);
    EXPECT_FALSE(styled->isHighlighted());

    // Held past the double-click interval: the second action goes while the button is still down, and
    // the release sends nothing more and leaves the toggle as it was.
    receiver->log.clear();
    move(centreOf(*tool));
    input.button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return !receiver->log.empty(); }));
    EXPECT_EQ(receiver->log, std::vector<std::string>{"more:"});
    EXPECT_FALSE(tool->isHighlighted());
    input.button(1, false);
    pumpFor(200);
    EXPECT_EQ(receiver->log, std::vector<std::string>{"more:"});
    EXPECT_EQ(tool->state(), ui::StateValue::off);
}

TEST_F(X11StyledControls, HoveringACursorButtonShowsItsCursorAndAClickOnAnImageViewEmits) {
    open();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    auto cursorButton = std::make_shared<vimbra::CursorButton>(Rect(20, 120, 80, 40));
    cursorButton->setTitle("Cycle");
    auto image = vimbra::ClickableImageView::make(Rect(150, 120, 40, 40));
    image->setImage(graphics::Image::draw({40, 40}, 1.0, [](graphics::GraphicsContext& context) {
        context.fillRect({0, 0, 40, 40}, graphics::Color::rgba(1, 1, 1));
    }));
    int clicks = 0;
    core::AnyCancellable subscription = image->clicked()->sink([&](const vimbra::Void&) { ++clicks; });
    window->contentView()->addSubview(cursorButton);
    window->contentView()->addSubview(image);
    show();
    if (HasFatalFailure()) {
        return;
    }
    const auto cursor = cursorButton->cursor();
    ASSERT_NE(cursor, nullptr);

    // From outside every view onto the button: its cursor, on the server too.
    RootPoint outside = centreOf(*cursorButton);
    outside.second += 60;
    move(outside);
    pumpFor(100);
    ASSERT_NE(backend->cursor(), cursor);
    move(centreOf(*cursorButton));
    ASSERT_TRUE(pumpUntil([&] { return backend->cursor() == cursor; }));
    const ShownCursor hovered = shownCursor();
    if (hovered.width >= 0) {
        EXPECT_EQ(hovered.xhot, 3);
        EXPECT_EQ(hovered.yhot, 4);
        EXPECT_EQ(hovered.width, static_cast<int>(cursorButton->cursorImage()->width()));
    }
    // Off it again: the cursor is popped and the arrow shows.
    move(outside);
    ASSERT_TRUE(pumpUntil([&] { return backend->cursor() == ui::Cursor::arrowCursor(); }));
    if (hovered.width >= 0) {
        EXPECT_TRUE(pumpUntil([&] { return shownCursor() != hovered; }));
    }

    click(centreOf(*image));
    ASSERT_TRUE(pumpUntil([&] { return clicks > 0; }));
    pumpFor(100);
    EXPECT_EQ(clicks, 1);
    EXPECT_DOUBLE_EQ(image->alphaValue(), 1.0);
}

TEST_F(X11StyledControls, TheSearchFieldTakesTypingAndItsCancelButtonClearsIt) {
    open();
    auto field = std::make_shared<vimbra::StyledSearchField>(Rect(20, 120, 240, 22));
    field->setPlaceholderString("Search");
    auto receiver = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"search:"});
    std::vector<std::string> strings;
    receiver->setActionHandler(
        "search:", [&](const std::shared_ptr<ui::Object>&) { strings.push_back(field->stringValue()); });
    field->setTarget(receiver);
    field->setAction("search:");
    window->contentView()->addSubview(field);
    show();

    click(centreOf(*field));
    ASSERT_TRUE(pumpUntil([&] { return field->currentEditor() != nullptr; }));
    for (KeySym key : {XK_f, XK_o, XK_x}) {
        input.tap(key);
    }
    ASSERT_TRUE(pumpUntil([&] { return field->stringValue() == "fox"; }));
    EXPECT_EQ(strings, (std::vector<std::string>{"f", "fo", "fox"}));

    const Rect cancel =
        field->convertRectToView(field->styledCell()->cancelButtonRectForBounds(field->bounds()), nullptr);
    click(input.rootPosition(backend->xid(), static_cast<int>(cancel.midX()),
                             static_cast<int>(window->contentView()->bounds().height() - cancel.midY())));
    ASSERT_TRUE(pumpUntil([&] { return field->stringValue().empty(); }));
    EXPECT_EQ(strings.back(), "");
    ASSERT_NE(field->currentEditor(), nullptr);
    EXPECT_EQ(field->currentEditor()->string(), "");
    // Typing goes on in the same session.
    input.tap(XK_o);
    ASSERT_TRUE(pumpUntil([&] { return field->stringValue() == "o"; }));
}
