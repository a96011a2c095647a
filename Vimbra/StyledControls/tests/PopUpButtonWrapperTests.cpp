// The declarative pop-up wrapper: its items become the menu, the binding picks the shown item, and a
// choice made with real events on the headless back end writes back through the binding.
#include "Vimbra/StyledControls/StyledPopUpButtonWrapper.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"
#include "display/HeadlessMenuPresenter.hpp"
#include "ui/MenuTracking.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::Rect;

namespace {

struct Rate : Displayable {
    int hz = 0;
    explicit Rate(int hz = 0) : hz(hz) {}
    std::string displayString() const override { return std::to_string(hz) + " Hz"; }
    bool operator==(const Rate& other) const { return hz == other.hz; }
};

struct Shape : Displayable {
    std::string displayString() const override { return "Sine"; }
};

using Item = PopupItem<int>;

struct Model {
    declarative::StateBox<int> first{2};
    declarative::StateBox<int> second{0};
    declarative::StateBox<bool> useSecond{false};
    declarative::StateBox<std::optional<std::string>> label{std::optional<std::string>{"Rate"}};
    declarative::StateBox<std::optional<double>> width{std::optional<double>{150.0}};
    std::vector<Item> items;
};

// A form holding the wrapper; its body reads the model, so a change of it re-evaluates the wrapper.
struct Form {
    std::shared_ptr<Model> model;
    declarative::View body(declarative::Context&) const {
        auto& bound = model->useSecond.get() ? model->second : model->first;
        return StyledPopUpButtonWrapper<int>{model->items, declarative::Binding<int>::to(bound),
                                             model->label.get(), model->width.get()};
    }
};

struct WrapperScene : vimbratest::Scene {
    std::shared_ptr<Model> model = std::make_shared<Model>();
    std::shared_ptr<declarative::HostingView> host;

    explicit WrapperScene(std::vector<Item> items) : Scene(Rect(200, 300, 320, 120)) {
        model->items = std::move(items);
        host = declarative::HostingView::make(Form{model}, Rect(0, 0, 320, 120));
        window->setContentView(host);
        settle();
    }
    ~WrapperScene() {
        window->close();
        core::MainQueue::shared().drain();
    }
    void settle() {
        core::MainQueue::shared().drain();
        host->layoutIfNeeded();
    }
    std::shared_ptr<StyledPopUpButton> button() const {
        for (const auto& view : host->subviews()) {
            if (auto popUp = std::dynamic_pointer_cast<StyledPopUpButton>(view)) {
                return popUp;
            }
        }
        return nullptr;
    }
    std::string shownTitle() const { return button()->popUpCell()->title(); }
    // Clicks the button, then a row of the level (hovering its rows first, so sub-menus open).
    void choose(std::vector<int> rows) {
        backend->click(vimbratest::centre(*button()));
        auto presenter = std::static_pointer_cast<display::HeadlessMenuPresenter>(backend->menuPresenter());
        auto tracking = window->menuTracking();
        ASSERT_TRUE(tracking);
        for (std::size_t level = 0; level < rows.size(); ++level) {
            ASSERT_GT(tracking->levels().size(), level);
            const auto& l = tracking->levels()[level];
            const Rect f = l.layout.rows[static_cast<std::size_t>(rows[level])].frame;
            const graphics::Point p{f.midX(), l.frame.height() - f.midY()};
            presenter->levelBackend(level)->mouseMoved(p);
            if (level + 1 == rows.size()) {
                presenter->levelBackend(level)->click(p);
            }
        }
    }
};

std::vector<Item> rates() {
    Item deeper(std::nullopt, "More");
    deeper.subMenu = std::vector<Item>{Item(4, "Fast"), Item(5, "Faster", nullptr, false)};
    return {Item(1, "Slow"), Item(2, "Medium"),
            Item::divider(), Item(3, "Medium"),
            deeper,          Item(std::nullopt, "Nothing")};
}

} // namespace

TEST(PopupItem, MenuItemsKeepTheirFlagsValuesAndSubMenus) {
    auto target = std::make_shared<ui::Object>();
    auto divider = Item::divider();
    divider.title = "Ignored";
    divider.object = 9;
    divider.subMenu = std::vector<Item>{Item(1, "x")};
    EXPECT_TRUE(divider.asMenuItem("a:", target)->isSeparatorItem());
    EXPECT_FALSE(Item(false).isDivider);

    Item parent(7, "Parent", nullptr, false);
    parent.subMenu = std::vector<Item>{Item(8, "Child", nullptr, false), Item(9, "Other")};
    auto item = parent.asMenuItem("a:", target);
    EXPECT_EQ(item->title(), "Parent");
    EXPECT_EQ(item->action(), "a:");
    EXPECT_EQ(item->target(), target);
    EXPECT_EQ(std::any_cast<int>(item->representedObject()), 7);
    EXPECT_FALSE(item->isEnabled());
    ASSERT_TRUE(item->submenu());
    EXPECT_FALSE(item->submenu()->autoenablesItems());
    EXPECT_FALSE(item->submenu()->itemAt(0)->isEnabled());
    EXPECT_TRUE(item->submenu()->itemAt(1)->isEnabled());
    EXPECT_EQ(item->submenu()->itemAt(1)->target(), target);
    EXPECT_FALSE(Item(std::nullopt, "None").asMenuItem("a:", target)->representedObject().has_value());

    const PopupItem<Rate> fromRate(Rate(48), nullptr);
    EXPECT_EQ(fromRate.title, "48 Hz");
    EXPECT_EQ(fromRate.object, Rate(48));
    const PopupItem<Rate> fromShape(Shape(), nullptr);
    EXPECT_EQ(fromShape.title, "Sine");
    EXPECT_FALSE(fromShape.object);
}

TEST(StyledPopUpButtonWrapper, TheBindingPicksTheItemAndAChoiceWritesItBack) {
    WrapperScene s(rates());
    auto button = s.button();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->numberOfItems(), 6u);
    EXPECT_EQ(button->indexOfSelectedItem(), 1);
    EXPECT_EQ(button->label(), "Rate");
    EXPECT_FALSE(button->autoenablesItems());
    EXPECT_EQ(button->fixedWidth(), 150.0);

    // Chosen with the mouse: the binding is written at once, and the pop-up follows it.
    s.choose({0});
    EXPECT_EQ(s.model->first.peek(), 1);
    s.settle();
    EXPECT_EQ(s.button(), button);
    EXPECT_EQ(button->indexOfSelectedItem(), 0);
    // An item without a value writes nothing.
    s.choose({5});
    s.settle();
    EXPECT_EQ(s.model->first.peek(), 1);

    // Set from the model: the button follows when the tree next re-evaluates, on the main queue.
    s.model->first.set(3);
    EXPECT_EQ(button->indexOfSelectedItem(), 5);
    s.settle();
    EXPECT_EQ(button->indexOfSelectedItem(), 3);
    // A value no item carries: the first item, as a freshly filled pop-up shows.
    s.model->first.set(42);
    s.settle();
    EXPECT_EQ(button->indexOfSelectedItem(), 0);

    // The label reaches the button and its cell; a new width never does.
    s.model->label.set("Speed");
    s.model->width.set(90.0);
    s.settle();
    EXPECT_EQ(button->label(), "Speed");
    EXPECT_EQ(std::static_pointer_cast<StyledPopUpButtonCell>(button->cell())->label(), "Speed");
    EXPECT_EQ(button->fixedWidth(), 150.0);

    // A wrapper with another binding: later choices write to it, not to the first one.
    s.model->useSecond.set(true);
    s.settle();
    s.choose({1});
    EXPECT_EQ(s.model->second.peek(), 2);
    EXPECT_EQ(s.model->first.peek(), 42);
    EXPECT_EQ(button->numberOfItems(), 6u);
}

TEST(StyledPopUpButtonWrapper, SelectsTheVeryItemOfTheValueWithoutTouchingTheMenu) {
    WrapperScene s(rates());
    auto button = s.button();
    // Two items titled "Medium": the one with the value is selected, not the first of that title.
    s.model->first.set(3);
    s.settle();
    EXPECT_EQ(button->indexOfSelectedItem(), 3);
    EXPECT_EQ(button->selectedItem()->state(), ui::StateValue::on);
    EXPECT_EQ(button->itemAt(1)->state(), ui::StateValue::off);

    // A value inside a sub-menu: shown through the cell's own item; the menu keeps its items.
    s.model->first.set(4);
    s.settle();
    s.model->label.set(std::nullopt);
    s.settle();
    EXPECT_EQ(s.shownTitle(), "Fast");
    EXPECT_EQ(button->indexOfSelectedItem(), -1);
    EXPECT_EQ(button->itemTitles(),
              (std::vector<std::string>{"Slow", "Medium", "", "Medium", "More", "Nothing"}));

    // Chosen from the sub-menu with the mouse; the disabled one there cannot be.
    s.model->first.set(1);
    s.settle();
    EXPECT_EQ(s.shownTitle(), "Slow");
    s.choose({4, 1});
    s.settle();
    EXPECT_EQ(s.model->first.peek(), 1);
    s.window->menuTracking()->cancel();
    s.choose({4, 0});
    EXPECT_EQ(s.model->first.peek(), 4);
    s.settle();
    EXPECT_EQ(s.shownTitle(), "Fast");
    EXPECT_EQ(button->numberOfItems(), 6u);
}

TEST(StyledPopUpButtonWrapper, NoItemsMakeAnEmptyPopUp) {
    WrapperScene s({});
    auto button = s.button();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->numberOfItems(), 0u);
    EXPECT_EQ(button->selectedItem(), nullptr);
    EXPECT_EQ(s.shownTitle(), "");
    EXPECT_FALSE(button->showMenu());
}
