#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/HeadlessMenuPresenter.hpp"
#include "ui/Application.hpp"
#include "ui/Button.hpp"
#include "ui/Cursor.hpp"
#include "ui/PopUpButton.hpp"

#include <filesystem>
#include <gtest/gtest.h>

using graphics::Point;
using graphics::Rect;
namespace Modifier = ui::Modifier;

namespace {

// Closes the windows and any menu a test left, so the shared application starts the next one empty.
struct Scope {
    ~Scope() {
        auto app = ui::Application::shared();
        if (auto t = app->menuTracking()) {
            t->cancel();
        }
        for (auto& w : app->windows()) {
            w->close();
        }
        app->setKeyWindow(nullptr);
        app->setDelegate(nullptr);
    }
};

// Records the actions that reach it and who sent them.
class Receiver : public ui::Responder {
public:
    explicit Receiver(std::initializer_list<const char*> actions) {
        for (const char* a : actions) {
            setActionHandler(a, [this, a](const std::shared_ptr<ui::Object>& sender) {
                log.push_back(a);
                senders.push_back(sender);
            });
        }
    }
    std::vector<std::string> log;
    std::vector<std::shared_ptr<ui::Object>> senders;
};

class ContextView : public ui::View {
public:
    using View::View;
    void mouseEntered(const ui::Event& e) override { log.push_back(e.trackingArea ? "entered" : "entered?"); }
    void mouseExited(const ui::Event&) override { log.push_back("exited"); }
    void mouseMoved(const ui::Event&) override { log.push_back("moved"); }
    void resetCursorRects() override {
        if (cursor) {
            addCursorRect(Rect(10, 10, 40, 40), cursor);
        }
    }
    std::shared_ptr<ui::Cursor> cursor;
    std::vector<std::string> log;
};

struct Fixture {
    Scope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make({200, 300, 320, 200});
    std::shared_ptr<display::HeadlessBackend> backend;
    std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>(
        std::initializer_list<const char*>{"colourChanged:", "close:", "closeAll:", "deep:", "copy:"});

    explicit Fixture(double scale = 1.0) {
        backend = display::HeadlessBackend::attach(window, scale, true);
        window->makeKeyAndOrderFront();
        window->setDelegate(receiver);
    }
    std::shared_ptr<display::HeadlessMenuPresenter> presenter() const {
        return std::static_pointer_cast<display::HeadlessMenuPresenter>(backend->menuPresenter());
    }
    // The middle of a row of an open level, in that level window's coordinates.
    Point rowInLevel(std::size_t level, int row) const {
        auto t = ui::Application::shared()->menuTracking();
        const auto& l = t->levels()[level];
        const Rect f = l.layout.rows[static_cast<std::size_t>(row)].frame;
        return {f.midX(), l.frame.height() - f.midY()};
    }
    // The same point in the opening window's coordinates.
    Point rowInWindow(std::size_t level, int row) const {
        auto t = ui::Application::shared()->menuTracking();
        const Point p = rowInLevel(level, row);
        const Rect f = t->levels()[level].frame;
        return {f.minX() + p.x - window->frame().minX(), f.minY() + p.y - window->frame().minY()};
    }
};

std::shared_ptr<ui::PopUpButton> colours(Fixture& f) {
    auto popUp = std::make_shared<ui::PopUpButton>(Rect(20, 20, 140, 22));
    popUp->addItems({"Red", "Green", "Blue"});
    for (int i = 0; i < 3; ++i) {
        popUp->itemAt(i)->setTag(i + 1);
    }
    popUp->setAction("colourChanged:");
    f.window->contentView()->addSubview(popUp);
    return popUp;
}

Point centre(const ui::View& view) {
    const Rect r = view.convertRectToView(view.bounds(), nullptr);
    return {r.midX(), r.midY()};
}

} // namespace

TEST(HeadlessMenus, PopUpButtonOpensOverItsSelectionAndAClickChoosesThroughTheChain) {
    Fixture f;
    auto popUp = colours(f);
    EXPECT_EQ(popUp->indexOfSelectedItem(), 0);
    EXPECT_EQ(popUp->selectedItem()->state(), ui::StateValue::on);

    f.backend->mouseDown(centre(*popUp));
    ASSERT_TRUE(popUp->isMenuShown());
    auto presenter = f.presenter();
    ASSERT_EQ(presenter->history().size(), 1u);
    EXPECT_EQ(presenter->history()[0].rowTitles, (std::vector<std::string>{"Red", "Green", "Blue"}));
    // The selected item lies over the button and is highlighted.
    auto tracking = ui::Application::shared()->menuTracking();
    EXPECT_EQ(tracking->highlightedItem(), popUp->itemAt(0));
    const Point selectedRow = f.rowInWindow(0, 0);
    EXPECT_NEAR(selectedRow.y, centre(*popUp).y, 1.0);
    EXPECT_GE(tracking->levels()[0].frame.width(), 100);

    // Releasing where it was pressed leaves the menu open; a click on an item chooses it.
    f.backend->mouseUp(centre(*popUp));
    EXPECT_TRUE(popUp->isMenuShown());
    auto level = presenter->levelBackend(0);
    ASSERT_TRUE(level);
    level->mouseMoved(f.rowInLevel(0, 2));
    EXPECT_EQ(tracking->highlightedItem()->title(), "Blue");
    level->click(f.rowInLevel(0, 2));
    EXPECT_FALSE(popUp->isMenuShown());
    EXPECT_EQ(presenter->levelCount(), 0u);
    EXPECT_EQ(popUp->indexOfSelectedItem(), 2);
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Blue");
    EXPECT_EQ(popUp->itemAt(0)->state(), ui::StateValue::off);
    EXPECT_EQ(f.receiver->log, std::vector<std::string>{"colourChanged:"});
    EXPECT_EQ(f.receiver->senders[0], popUp);
}

TEST(HeadlessMenus, PressDragReleaseAndKeyboardChoose) {
    Fixture f;
    auto popUp = colours(f);
    f.backend->mouseDown(centre(*popUp));
    f.backend->mouseDragged(f.rowInWindow(0, 1));
    f.backend->mouseUp(f.rowInWindow(0, 1));
    EXPECT_FALSE(popUp->isMenuShown());
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Green");

    // From the keyboard: Space opens, arrows move, Return chooses; Escape closes choosing nothing.
    ASSERT_TRUE(f.window->makeFirstResponder(popUp));
    f.backend->typeKey(" ");
    ASSERT_TRUE(popUp->isMenuShown());
    f.backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
    f.backend->typeKey("\r");
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Blue");
    f.backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
    ASSERT_TRUE(popUp->isMenuShown());
    f.backend->typeKey("r");
    f.backend->typeKey("\x1b");
    EXPECT_FALSE(popUp->isMenuShown());
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Blue");
    EXPECT_EQ(f.receiver->log.size(), 2u);

    // Selection by tag, with -1 for none.
    EXPECT_TRUE(popUp->selectItemWithTag(1));
    EXPECT_EQ(popUp->indexOfSelectedItem(), 0);
    EXPECT_FALSE(popUp->selectItemWithTag(9));
    EXPECT_EQ(popUp->indexOfSelectedItem(), 0);
    popUp->selectItemAt(-1);
    EXPECT_EQ(popUp->indexOfSelectedItem(), -1);
    EXPECT_EQ(popUp->selectedItem(), nullptr);
}

TEST(HeadlessMenus, OptionSwitchesToTheAlternateWhileTheMenuIsOpen) {
    Fixture f;
    auto menu = ui::Menu::make("File");
    menu->addItem("Close", "close:", "w");
    auto all = menu->addItem("Close All", "closeAll:", "w");
    all->setAlternate(true);
    all->setKeyEquivalentModifierMask(Modifier::command | Modifier::option);
    auto view = std::make_shared<ContextView>(Rect(0, 0, 320, 200));
    view->setMenu(menu);
    f.window->contentView()->addSubview(view);

    f.backend->rightMouseDown({50, 150});
    auto tracking = ui::Application::shared()->menuTracking();
    ASSERT_TRUE(tracking);
    // The context menu opens at the pointer.
    EXPECT_EQ(tracking->levels()[0].frame.minX(), 250);
    EXPECT_EQ(tracking->levels()[0].frame.maxY(), 450);
    f.backend->rightMouseUp({50, 150});
    auto level = f.presenter()->levelBackend(0);
    level->mouseMoved(f.rowInLevel(0, 0));
    EXPECT_EQ(tracking->highlightedItem()->title(), "Close");
    f.backend->flagsChanged(Modifier::option);
    EXPECT_EQ(tracking->highlightedItem(), all);
    f.backend->flagsChanged(0);
    EXPECT_EQ(tracking->highlightedItem()->title(), "Close");
    f.backend->flagsChanged(Modifier::option);
    level->click(f.rowInLevel(0, 0), Modifier::option);
    EXPECT_EQ(f.receiver->log, std::vector<std::string>{"closeAll:"});
    EXPECT_EQ(f.receiver->senders[0], all);
    f.backend->flagsChanged(0);

    // Control-click shows the same menu.
    f.backend->mouseDown({60, 100}, Modifier::control);
    EXPECT_TRUE(ui::Application::shared()->menuTracking());
    f.backend->typeKey("\x1b");
    EXPECT_FALSE(ui::Application::shared()->menuTracking());
}

TEST(HeadlessMenus, SubmenuOpensOnHoverAndItsItemIsChosen) {
    Fixture f;
    auto menu = ui::Menu::make();
    menu->addItem("Copy", "copy:", "c");
    menu->addItem(ui::MenuItem::separatorItem());
    auto more = menu->addItem("More", {});
    auto sub = ui::Menu::make("More");
    sub->addItem("Deep", "deep:");
    more->setSubmenu(sub);
    auto view = std::make_shared<ContextView>(Rect(0, 0, 320, 200));
    view->setMenu(menu);
    f.window->contentView()->addSubview(view);

    f.backend->rightMouseDown({10, 190});
    f.backend->rightMouseUp({10, 190});
    auto presenter = f.presenter();
    presenter->levelBackend(0)->mouseMoved(f.rowInLevel(0, 2));
    ASSERT_EQ(presenter->levelCount(), 2u);
    EXPECT_EQ(presenter->history().back().rowTitles, std::vector<std::string>{"Deep"});
    presenter->levelBackend(1)->mouseMoved(f.rowInLevel(1, 0));
    presenter->levelBackend(1)->click(f.rowInLevel(1, 0));
    EXPECT_EQ(f.receiver->log, std::vector<std::string>{"deep:"});
    EXPECT_EQ(presenter->levelCount(), 0u);
}

TEST(HeadlessMenus, DrawnMenuSnapshotsAt1xAnd2x) {
    for (double scale : {1.0, 2.0}) {
        Fixture f(scale);
        auto menu = ui::Menu::make();
        menu->addItem(ui::MenuItem::sectionHeader("Edit"));
        auto copy = menu->addItem("Copy", "copy:", "c");
        copy->setState(ui::StateValue::on);
        auto paste = menu->addItem("Paste", "paste:", "v");
        (void)paste;
        menu->addItem(ui::MenuItem::separatorItem());
        auto more = menu->addItem("More", {});
        more->setSubmenu(ui::Menu::make());
        more->submenu()->addItem("Deep", "deep:");
        auto view = std::make_shared<ContextView>(Rect(0, 0, 320, 200));
        view->setMenu(menu);
        f.window->contentView()->addSubview(view);
        f.backend->rightMouseDown({10, 190});
        f.backend->rightMouseUp({10, 190});
        auto level = f.presenter()->levelBackend(0);
        level->mouseMoved(f.rowInLevel(0, 1));
        const auto file =
            std::filesystem::path(TESSARAY_TEST_OUTPUT_DIR) / (scale == 1 ? "menu-1x.png" : "menu-2x.png");
        ASSERT_TRUE(level->writePNG(file));
        // The highlighted row is filled with the accent colour; the disabled Paste row is not.
        const Point copyRow = f.rowInLevel(0, 1);
        const auto h = level->window()->frame().height();
        const auto accent =
            level->pixel(static_cast<int>(8 * scale), static_cast<int>((h - copyRow.y) * scale));
        const auto plain =
            level->pixel(static_cast<int>(8 * scale), static_cast<int>((h - f.rowInLevel(0, 2).y) * scale));
        EXPECT_NE(accent.b, plain.b);
        EXPECT_LT(plain.r, 80);
    }
}

TEST(HeadlessPointer, TrackingAreasAndCursorRectsFollowThePointer) {
    Fixture f;
    auto view = std::make_shared<ContextView>(Rect(100, 50, 100, 100));
    auto image = graphics::Image::make({16, 16});
    view->cursor = ui::Cursor::make(image, {3, 4});
    view->addTrackingArea(ui::TrackingArea::make(Rect(0, 0, 50, 50),
                                                 ui::TrackingAreaOptions::mouseEnteredAndExited |
                                                     ui::TrackingAreaOptions::mouseMoved |
                                                     ui::TrackingAreaOptions::activeAlways,
                                                 view));
    f.window->contentView()->addSubview(view);

    f.backend->mouseMoved({10, 10});
    EXPECT_TRUE(view->log.empty());
    f.backend->mouseMoved({120, 70});
    EXPECT_EQ(view->log, (std::vector<std::string>{"entered", "moved"}));
    ASSERT_TRUE(f.backend->cursor());
    EXPECT_EQ(f.backend->cursor(), view->cursor);
    EXPECT_EQ(f.backend->cursor()->hotSpot(), Point(3, 4));
    view->log.clear();
    f.backend->mouseMoved({190, 140}); // still over the view (which hears the move), out of the area
    EXPECT_EQ(view->log, (std::vector<std::string>{"exited", "moved"}));
    EXPECT_EQ(f.backend->cursor(), ui::Cursor::arrowCursor());

    // A pushed cursor wins until the pointer crosses into another rect.
    auto pushed = ui::Cursor::make(image, {0, 0});
    pushed->push();
    EXPECT_EQ(f.backend->cursor(), pushed);
    ui::Cursor::pop();
    EXPECT_EQ(f.backend->cursor(), ui::Cursor::arrowCursor());
}

TEST(HeadlessButtons, TypesChangeStateAndImagesThroughRealClicks) {
    Fixture f;
    auto normal = graphics::Image::make({10, 10});
    auto pressed = graphics::Image::make({10, 10});
    auto change = ui::Button::makeWithImage(normal, f.receiver, "copy:");
    change->setAlternateImage(pressed);
    change->setButtonType(ui::ButtonType::momentaryChange);
    change->setBordered(false);
    change->setFrameOrigin({10, 10});
    f.window->contentView()->addSubview(change);
    EXPECT_EQ(change->frame().size, graphics::Size(10, 10));

    f.backend->mouseDown(centre(*change));
    EXPECT_EQ(change->buttonCell()->displayedImage(), pressed);
    f.backend->mouseUp(centre(*change));
    EXPECT_EQ(change->buttonCell()->displayedImage(), normal);
    EXPECT_EQ(f.receiver->log, std::vector<std::string>{"copy:"});

    auto toggle = ui::Button::make("Toggle", nullptr, "copy:");
    toggle->setButtonType(ui::ButtonType::toggle);
    toggle->setAlternateTitle("On");
    toggle->setFrameOrigin({40, 40});
    f.window->contentView()->addSubview(toggle);
    f.backend->click(centre(*toggle));
    EXPECT_EQ(toggle->state(), ui::StateValue::on);
    EXPECT_EQ(toggle->buttonCell()->displayedTitle(), "On");
    f.backend->click(centre(*toggle));
    EXPECT_EQ(toggle->state(), ui::StateValue::off);
    EXPECT_EQ(f.receiver->log.size(), 3u); // the nil target reached the window's delegate

    auto check = ui::Button::make("Check", f.receiver, "copy:");
    check->setButtonType(ui::ButtonType::switchButton);
    check->setAllowsMixedState(true);
    check->sizeToFit();
    check->setFrameOrigin({40, 100});
    f.window->contentView()->addSubview(check);
    f.backend->click(centre(*check));
    EXPECT_EQ(check->state(), ui::StateValue::mixed);
    f.backend->click(centre(*check));
    EXPECT_EQ(check->state(), ui::StateValue::on);
    ASSERT_TRUE(f.backend->writePNG(std::filesystem::path(TESSARAY_TEST_OUTPUT_DIR) / "buttons-1x.png"));
    check->setEnabled(false);
    f.backend->click(centre(*check));
    EXPECT_EQ(check->state(), ui::StateValue::on);
    ASSERT_TRUE(
        f.backend->writePNG(std::filesystem::path(TESSARAY_TEST_OUTPUT_DIR) / "buttons-disabled-1x.png"));
}
