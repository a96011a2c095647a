#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/HeadlessMenuPresenter.hpp"
#include "ui/Application.hpp"
#include "ui/Cursor.hpp"
#include "ui/PopUpButton.hpp"

#include <gtest/gtest.h>

using graphics::Point;
using graphics::Rect;

namespace {

// A view that takes keys and logs what reaches it.
class LogView : public ui::View {
public:
    using View::View;
    bool acceptsFirstResponder() const override { return true; }
    void mouseDown(const ui::Event&) override { log.push_back("down"); }
    void keyDown(const ui::Event& e) override { log.push_back("key " + e.characters); }
    void resetCursorRects() override {
        if (cursor) {
            addCursorRect(Rect(0, 0, 20, 20), cursor);
        }
    }
    std::vector<std::string> log;
    std::shared_ptr<ui::Cursor> cursor;
};

// One editor: a window with a pop-up button and a view that logs.
struct Editor {
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
    std::shared_ptr<ui::PopUpButton> popUp = std::make_shared<ui::PopUpButton>(Rect(10, 150, 120, 22));
    std::shared_ptr<LogView> view = std::make_shared<LogView>(Rect(0, 0, 200, 100));
    std::shared_ptr<ui::Object> target = std::make_shared<ui::Object>();
    std::vector<std::string> actions;

    explicit Editor(Rect frame) : window(ui::Window::make(frame)) {
        backend = display::HeadlessBackend::attach(window, 1.0);
        popUp->addItems({"One", "Two", "Three"});
        target->setActionHandler("picked:", [this](const auto&) { actions.push_back("picked"); });
        popUp->setTarget(target);
        popUp->setAction("picked:");
        window->contentView()->addSubview(popUp);
        window->contentView()->addSubview(view);
        window->orderFront();
    }
    ~Editor() { window->close(); }
    Point popUpCentre() const {
        const Rect r = popUp->convertRectToView(popUp->bounds(), nullptr);
        return {r.midX(), r.midY()};
    }
    std::shared_ptr<display::HeadlessMenuPresenter> presenter() const {
        return std::static_pointer_cast<display::HeadlessMenuPresenter>(backend->menuPresenter());
    }
};

struct Reset {
    ~Reset() {
        core::MainQueue::shared().drain();
        ui::Application::shared()->setKeyWindow(nullptr);
    }
};

} // namespace

TEST(MenuSeparation, AMenuInOneWindowLeavesTheOtherWindowsEventsAlone) {
    Reset reset;
    Editor a(Rect(0, 0, 200, 200));
    Editor b(Rect(400, 0, 200, 200));
    auto app = ui::Application::shared();

    a.window->makeKeyWindow();
    a.backend->click(a.popUpCentre());
    ASSERT_TRUE(a.popUp->isMenuShown());
    EXPECT_EQ(a.window->menuTracking(), app->menuTracking());
    EXPECT_FALSE(b.window->menuTracking());

    // The other window's clicks and keys reach its own views while the menu stays open.
    b.window->makeKeyWindow();
    b.backend->mouseDown({50, 50});
    b.backend->mouseUp({50, 50});
    ASSERT_TRUE(b.window->makeFirstResponder(b.view));
    b.backend->typeKey("x");
    b.backend->typeKey("\x1b");
    EXPECT_EQ(b.view->log, (std::vector<std::string>{"down", "key x", "key \x1b"}));
    EXPECT_TRUE(a.popUp->isMenuShown());
    EXPECT_EQ(a.window->menuTracking()->highlightedItem()->title(), "One");

    // Both windows can show a menu; each is chosen from its own window and sends its own action.
    b.backend->click(b.popUpCentre());
    ASSERT_TRUE(b.popUp->isMenuShown());
    EXPECT_EQ(app->menuTrackings().size(), 2u);
    b.backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
    b.backend->typeKey("\r");
    EXPECT_FALSE(b.popUp->isMenuShown());
    EXPECT_EQ(b.popUp->titleOfSelectedItem(), "Two");
    EXPECT_EQ(b.actions.size(), 1u);
    ASSERT_TRUE(a.popUp->isMenuShown());
    EXPECT_EQ(a.window->menuTracking()->highlightedItem()->title(), "One");
    auto levelA = a.presenter()->levelBackend(0);
    ASSERT_TRUE(levelA);
    const auto& row = a.window->menuTracking()->levels()[0].layout.rows[2].frame;
    levelA->click({row.midX(), levelA->window()->frame().height() - row.midY()});
    EXPECT_FALSE(a.popUp->isMenuShown());
    EXPECT_EQ(a.popUp->titleOfSelectedItem(), "Three");
    EXPECT_EQ(a.actions.size(), 1u);
    EXPECT_EQ(b.actions.size(), 1u);
    EXPECT_EQ(a.view->log.size(), 0u);
}

TEST(MenuSeparation, ClosingAWindowClosesItsMenu) {
    Reset reset;
    Editor a(Rect(0, 0, 200, 200));
    a.window->makeKeyWindow();
    a.backend->click(a.popUpCentre());
    ASSERT_TRUE(a.popUp->isMenuShown());
    auto tracking = a.window->menuTracking();
    auto presenter = a.presenter();
    a.window->close();
    EXPECT_FALSE(tracking->isActive());
    EXPECT_EQ(presenter->levelCount(), 0u);
    EXPECT_FALSE(ui::Application::shared()->menuTracking());
    EXPECT_TRUE(a.actions.empty());
}

TEST(MenuSeparation, EachWindowHasItsOwnCursorStack) {
    Reset reset;
    Editor a(Rect(0, 0, 200, 200));
    Editor b(Rect(400, 0, 200, 200));
    auto image = graphics::Image::make({16, 16});
    auto grab = ui::Cursor::make(image, {8, 8});
    auto busy = ui::Cursor::make(image, {0, 0});

    // Pushes follow the pointer's window; the other window's pop leaves them alone.
    a.backend->mouseMoved({150, 150});
    grab->push();
    b.backend->mouseMoved({150, 150});
    busy->push();
    EXPECT_EQ(a.backend->cursor(), grab);
    EXPECT_EQ(b.backend->cursor(), busy);
    ui::Cursor::pop();
    EXPECT_EQ(b.backend->cursor(), ui::Cursor::arrowCursor());
    EXPECT_EQ(a.backend->cursor(), grab);
    EXPECT_EQ(a.window->cursorStackDepth(), 1u);

    // Leaving a cursor rect shows the pushed cursor again, not the arrow.
    a.view->cursor = ui::Cursor::make(image, {1, 1});
    a.window->invalidateCursorRects();
    a.backend->mouseMoved({10, 10});
    EXPECT_EQ(a.backend->cursor(), a.view->cursor);
    a.backend->mouseMoved({150, 150});
    EXPECT_EQ(a.backend->cursor(), grab);
    a.window->popCursor();
    EXPECT_EQ(a.backend->cursor(), ui::Cursor::arrowCursor());
}
