// The styled controls on a real X server, driven by XTest: the pointer and the mouse buttons really move,
// so event routing, the press-and-hold timer, menus and list windows and the server's cursor all take part.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/StyledControls/ClickableImageView.hpp"
#include "Vimbra/StyledControls/CursorButtons.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledComboBox.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "Vimbra/StyledControls/StyledSearchField.hpp"
#include "Vimbra/StyledControls/StyledSegmentedControl.hpp"
#include "Vimbra/StyledControls/ToolButton.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/X11MenuPresenter.hpp"
#include "display/tests/X11TestFixture.hpp"
#include "display/tests/XSendEvents.hpp"
#include "display/tests/Xvfb.hpp"
#include "ui/ComboBoxList.hpp"
#include "ui/Cursor.hpp"
#include "ui/MenuTracking.hpp"
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

class X11StyledControls : public displaytest::X11TestFixture {
protected:
    void open() {
        openDisplay();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        dpy = display->xdisplay();
        window = ui::Window::make(Rect(0, 0, 320, 200));
    }

    // Puts the window on screen once its views are in.
    void show() { showWindow(window, backend); }

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

    ::Display* dpy = nullptr;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::X11WindowBackend> backend;
    std::shared_ptr<vimbratest::Receiver> receiver = std::make_shared<vimbratest::Receiver>(
        std::initializer_list<const char*>{"press:", "tool:", "more:", "pick:"});
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

TEST_F(X11StyledControls, AClickPicksTheSegmentUnderThePointer) {
    open();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    auto segments = std::make_shared<vimbra::StyledSegmentedControl>(Rect(20, 100, 280, 24));
    segments->setSegmentCount(3);
    for (int i = 0; i < 3; ++i) {
        segments->setLabelForSegment(std::string(1, static_cast<char>('A' + i)), i);
        segments->setWidthForSegment(0, i);
    }
    segments->setHideSelection(false);
    segments->setTarget(receiver);
    segments->setAction("pick:");
    window->contentView()->addSubview(segments);
    show();
    if (HasFatalFailure()) {
        return;
    }

    // The middle of the last segment, in root pixels.
    const Rect last = segments->convertRectToView(
        segments->segmentedCell()->frameForSegment(2, segments->bounds()), nullptr);
    const RootPoint target =
        input.rootPosition(backend->xid(), static_cast<int>(last.midX()),
                           static_cast<int>(window->contentView()->bounds().height() - last.midY()));
    click(target);
    ASSERT_TRUE(pumpUntil([&] { return !receiver->log.empty(); }));
    EXPECT_EQ(receiver->log, std::vector<std::string>{"pick:"});
    EXPECT_EQ(receiver->senders.front(), segments);
    EXPECT_EQ(segments->selectedSegment(), 2);
    EXPECT_EQ(segments->segmentedCell()->pressedSegment(), -1);
}

TEST_F(X11StyledControls, AStyledPopUpIsChosenWithTheMouseInItsOverrideRedirectMenu) {
    open();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    auto popUp = std::make_shared<vimbra::StyledPopUpButton>(Rect(20, 120, 140, 22), false, std::nullopt);
    popUp->addItems({"Sine", "Square", "Saw"});
    popUp->setLabel("Shape");
    popUp->setTarget(receiver);
    popUp->setAction("press:");
    window->contentView()->addSubview(popUp);
    show();
    if (HasFatalFailure()) {
        return;
    }
    auto presenter = std::static_pointer_cast<display::X11MenuPresenter>(backend->menuPresenter());
    const auto menuOpen = [&] {
        auto tracking = window->menuTracking();
        return tracking && tracking->isActive();
    };
    const auto highlighted = [&] {
        auto item = menuOpen() ? window->menuTracking()->highlightedItem() : nullptr;
        return item ? item->title() : std::string{};
    };

    click(centreOf(*popUp));
    ASSERT_TRUE(pumpUntil([&] {
        auto level = menuOpen() ? presenter->levelBackend(0) : nullptr;
        return level && level->isMapped() && level->presentedFrames() > 0;
    }));
    EXPECT_TRUE(popUp->isHighlighted());
    auto level = presenter->levelBackend(0);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, level->xid(), &attributes));
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(highlighted(), "Sine");

    const Rect row = window->menuTracking()->levels()[0].layout.rows[2].frame;
    const RootPoint saw =
        input.rootPosition(level->xid(), static_cast<int>(row.midX()), static_cast<int>(row.midY()));
    move(saw);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Saw"; }));
    click(saw);
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Saw");
    EXPECT_EQ(receiver->log, std::vector<std::string>{"press:"});
    EXPECT_EQ(receiver->senders.front(), popUp);
    EXPECT_FALSE(popUp->isHighlighted());
}

TEST_F(X11StyledControls, TheComboBoxListOpensAsAnOverrideRedirectWindowAndAClickInItChoosesANumber) {
    open();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    auto box = std::make_shared<vimbra::StyledComboBox>(Rect(20, 140, 160, 26));
    box->addItemsWithObjectValues({12.5, 25.0, 50.0});
    box->setTarget(receiver);
    box->setAction("press:");
    window->contentView()->addSubview(box);
    show();
    if (HasFatalFailure()) {
        return;
    }

    // A click on the arrow: the list comes up in a window of its own that bypasses the window manager.
    const Rect arrow =
        box->convertRectToView(box->comboBoxCell()->buttonRectForBounds(box->bounds()), nullptr);
    click(input.rootPosition(backend->xid(), static_cast<int>(arrow.midX()),
                             static_cast<int>(window->contentView()->bounds().height() - arrow.midY())));
    ASSERT_TRUE(pumpUntil([&] { return box->isListShown(); }));
    auto list = std::dynamic_pointer_cast<display::X11WindowBackend>(box->listWindow()->backend());
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return list->isMapped() && list->presentedFrames() > 0; }));
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, list->xid(), &attributes));
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.map_state, IsViewable);
    // Right under the box on the screen.
    const auto boxBottomLeft = input.rootPosition(
        backend->xid(), static_cast<int>(box->convertRectToView(box->bounds(), nullptr).minX()),
        static_cast<int>(window->contentView()->bounds().height() -
                         box->convertRectToView(box->bounds(), nullptr).minY()));
    EXPECT_EQ(input.rootPosition(list->xid()), boxBottomLeft);
    EXPECT_TRUE(window->isKeyWindow());

    // The second row, clicked for real: 25 goes into the box and the action goes once; the list closes.
    const Rect row = box->listView()->rectOfIndex(1); // the list view is flipped and fills its window
    click(input.rootPosition(list->xid(), static_cast<int>(row.midX()), static_cast<int>(row.midY())));
    ASSERT_TRUE(pumpUntil([&] { return !box->isListShown(); }));
    EXPECT_EQ(box->indexOfSelectedItem(), 1);
    EXPECT_EQ(box->doubleValue(), 25.0);
    EXPECT_EQ(receiver->log, std::vector<std::string>{"press:"});
    ASSERT_TRUE(pumpUntil([&] { return !list->isMapped() || list->isClosed(); }));
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
