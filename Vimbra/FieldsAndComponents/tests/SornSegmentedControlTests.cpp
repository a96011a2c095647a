// The declarative segmented control: its model's selection rules and notifications, and the control
// driven by real clicks on a headless hosting view, in both directions between model and view.
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/SornSegmentedControl.hpp"
#include "declarative/tests/Support.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::RecordedOp;

namespace {

std::vector<SornSegmentItemRef> makeItems(std::initializer_list<std::pair<int, const char*>> entries) {
    std::vector<SornSegmentItemRef> items;
    for (const auto& [id, title] : entries) {
        items.push_back(std::make_shared<SornSegmentItem>(id, title));
    }
    return items;
}

// A model of three items whose callback records every selection it is given (-1 for none).
struct ModelFixture {
    std::shared_ptr<SornSegmentedControlModel> model =
        std::make_shared<SornSegmentedControlModel>(makeItems({{10, "Alpha"}, {20, "Beta"}, {30, "Gamma"}}));
    std::vector<int> calls;
    ModelFixture() {
        model->onSelectionChanged.set(
            [this](const SornSegmentItemRef& item) { calls.push_back(item ? item->id() : -1); });
    }
    SornSegmentItemRef item(std::size_t index) const { return model->items.peek().at(index); }
    int selectedId() const { return model->selectedItem.peek() ? model->selectedItem.peek()->id() : -1; }
};

// Counts the notifications of an observed property.
template <class Property> struct Counter {
    int count = 0;
    core::ObservationToken token;
    explicit Counter(Property& property) : token(property.observe([this](const auto&) { ++count; })) {}
};

} // namespace

TEST(SornSegmentedControlModel, AClickSelectsDeselectsOrShowsAHiddenSelection) {
    ModelFixture f;
    f.model->select(f.item(0));
    EXPECT_EQ(f.selectedId(), 10);
    f.model->select(f.item(0)); // the selected one again: cleared
    EXPECT_EQ(f.selectedId(), -1);
    EXPECT_EQ(f.calls, (std::vector<int>{10, -1}));

    // A hidden selection clicked is shown again and kept.
    f.model->select(f.item(1));
    f.model->hideSelection.set(true);
    f.model->select(f.item(1));
    EXPECT_FALSE(f.model->hideSelection.peek());
    EXPECT_EQ(f.selectedId(), 20);
    // Another segment while hidden: selected, and the look comes back.
    f.model->hideSelection.set(true);
    f.model->select(f.item(2));
    EXPECT_FALSE(f.model->hideSelection.peek());
    EXPECT_EQ(f.selectedId(), 30);
    EXPECT_EQ(f.calls, (std::vector<int>{10, -1, 20, 20, 30}));

    // Without a callback nothing is called, and nothing breaks.
    f.model->onSelectionChanged.set(nullptr);
    f.model->select(f.item(2));
    EXPECT_EQ(f.selectedId(), -1);
}

TEST(SornSegmentedControlModel, SelectingByIdTakesTheFirstMatchAndCallsNoOne) {
    ModelFixture f;
    f.model->items.set(makeItems({{10, "Alpha"}, {20, "First twenty"}, {20, "Second twenty"}}));
    EXPECT_EQ(SornSegmentItem(20, "A"), SornSegmentItem(20, "B"));
    f.model->selectItem(20);
    EXPECT_EQ(f.model->selectedItem.peek(), f.item(1));
    f.model->selectItem(99);
    EXPECT_EQ(f.model->selectedItem.peek(), f.item(1));
    EXPECT_TRUE(f.calls.empty());
    EXPECT_FALSE(f.model->hideSelection.peek());
}

TEST(SornSegmentedControlModel, PropertiesNotifyOnlyOnAChange) {
    ModelFixture f;
    Counter items(f.model->items);
    Counter selected(f.model->selectedItem);
    Counter hidden(f.model->hideSelection);
    Counter callback(f.model->onSelectionChanged);

    f.model->items.set(makeItems({{10, "New"}, {20, "Titles"}, {30, "Same ids"}}));
    EXPECT_EQ(items.count, 0);
    f.model->items.set(makeItems({{10, "A"}, {30, "C"}, {20, "B"}}));
    f.model->items.set(makeItems({{10, "A"}, {30, "C"}}));
    EXPECT_EQ(items.count, 2);

    f.model->selectedItem.set(nullptr);
    EXPECT_EQ(selected.count, 0);
    f.model->selectedItem.set(std::make_shared<SornSegmentItem>(10, "x"));
    f.model->selectedItem.set(std::make_shared<SornSegmentItem>(10, "y"));
    EXPECT_EQ(selected.count, 1);

    f.model->hideSelection.set(false);
    EXPECT_EQ(hidden.count, 0);
    f.model->onSelectionChanged.set(f.model->onSelectionChanged.peek());
    EXPECT_EQ(callback.count, 1);
}

namespace {

// The control in a headless window of 300 by 60 points.
struct ControlHarness : ModelFixture {
    decltest::Harness h{declarative::View(SornSegmentedControl{model}), {300, 60}};

    graphics::Point centreOf(int id) {
        const auto frame = h.host->frameOfNode(declarative::Id(std::int64_t{id}));
        EXPECT_TRUE(frame.has_value()) << id;
        return frame ? graphics::Point{frame->midX(), frame->midY()} : graphics::Point{};
    }
    // The tab images drawn, left to right.
    std::vector<std::string> tabs() {
        std::vector<std::string> names;
        for (const auto& op : h.record(DrawOpKind::image)) {
            names.push_back(op.imageName);
        }
        return names;
    }
    std::vector<RecordedOp> labels() { return h.record(DrawOpKind::text); }
};

} // namespace

TEST(SornSegmentedControl, ClicksReachTheModelAndTheModelReachesTheLook) {
    ControlHarness c;
    EXPECT_EQ(c.tabs(), (std::vector<std::string>{"qel-window-tab", "qel-window-tab", "qel-window-tab"}));

    // Pressed: the down tab and the pressed colour on that segment only.
    c.h.down(c.centreOf(20));
    c.h.settle();
    EXPECT_EQ(c.tabs(),
              (std::vector<std::string>{"qel-window-tab", "qel-window-tab-down", "qel-window-tab"}));
    auto labels = c.labels();
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[1].text, "Beta");
    EXPECT_TRUE(labels[1].textColor->sameComponents(*vimbraColor("Grey 50%")));
    EXPECT_TRUE(labels[0].textColor->sameComponents(*vimbraColor("Grey 70%")));
    EXPECT_EQ(labels[0].fontSize, 12);
    c.h.up(c.centreOf(20));
    c.h.settle();
    EXPECT_EQ(c.calls, std::vector<int>{20});
    EXPECT_EQ(c.selectedId(), 20);
    EXPECT_EQ(c.tabs(),
              (std::vector<std::string>{"qel-window-tab", "qel-window-tab-selected", "qel-window-tab"}));
    EXPECT_TRUE(c.labels()[1].textColor->sameComponents(*vimbraColor("Grey 85%")));

    // The model drives the look: another selection, then the look hidden with the selection kept.
    c.model->selectItem(30);
    c.h.settle();
    EXPECT_EQ(c.tabs(),
              (std::vector<std::string>{"qel-window-tab", "qel-window-tab", "qel-window-tab-selected"}));
    c.model->hideSelection.set(true);
    c.h.settle();
    EXPECT_EQ(c.tabs(), (std::vector<std::string>{"qel-window-tab", "qel-window-tab", "qel-window-tab"}));

    // Clicking the hidden selection shows it; clicking it again clears it.
    c.h.click(c.centreOf(30));
    c.h.settle();
    EXPECT_EQ(c.tabs().back(), "qel-window-tab-selected");
    c.h.click(c.centreOf(30));
    c.h.settle();
    EXPECT_EQ(c.calls, (std::vector<int>{20, 30, -1}));
    EXPECT_EQ(c.tabs(), (std::vector<std::string>{"qel-window-tab", "qel-window-tab", "qel-window-tab"}));
}

TEST(SornSegmentedControl, SegmentsSitSideBySideAndAnEmptyModelDrawsNothing) {
    ControlHarness c;
    const auto a = c.h.host->frameOfNode(declarative::Id(std::int64_t{10}));
    const auto b = c.h.host->frameOfNode(declarative::Id(std::int64_t{20}));
    ASSERT_TRUE(a && b);
    EXPECT_DOUBLE_EQ(a->maxX(), b->minX());    // no spacing
    EXPECT_DOUBLE_EQ(a->width(), 5 * 12 + 32); // "Alpha" at one em a character, 16 each side
    EXPECT_DOUBLE_EQ(a->height(), 12 + 12);

    c.model->items.set({});
    c.h.settle();
    EXPECT_TRUE(c.tabs().empty());
    EXPECT_TRUE(c.labels().empty());
}

TEST(SornSegmentedControl, ItemsSharingAnIdAreBothShownAndSelectTogether) {
    ControlHarness c;
    c.model->items.set(makeItems({{10, "Alpha"}, {20, "First"}, {20, "Second"}}));
    c.h.settle();
    ASSERT_EQ(c.labels().size(), 3u);
    c.model->selectItem(20);
    c.h.settle();
    // Equal items: both look selected.
    EXPECT_EQ(c.tabs(), (std::vector<std::string>{"qel-window-tab", "qel-window-tab-selected",
                                                  "qel-window-tab-selected"}));
}
