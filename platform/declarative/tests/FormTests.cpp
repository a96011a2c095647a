// Forms, labelled rows, sections, dividers and the iteration over a content view's children.
#include "Support.hpp"

#include <gtest/gtest.h>

using namespace decltest;
using graphics::DrawOpKind;

namespace {

View box(graphics::ColorRef color, double w, double h) {
    return ColorView(std::move(color)).frame(w, h);
}

// A row that takes the width it is offered.
View wideRow(graphics::ColorRef color, double h) {
    return ColorView(std::move(color)).frame({.maxWidth = infinity, .minHeight = h, .maxHeight = h});
}

struct Counter {
    std::string name;
    std::shared_ptr<std::map<std::string, State<int>>> states;
    View body(Context& context) const {
        auto count = context.state(0);
        (*states)[name] = count;
        return Text(name + std::to_string(count.get()));
    }
};

std::vector<std::string> texts(Harness& h) {
    std::vector<std::string> out;
    for (const auto& op : h.record(DrawOpKind::text)) {
        out.push_back(op.text);
    }
    return out;
}

} // namespace

TEST(Form, RowsStackFromTheTopAtTheFormsWidthAndSectionsKeepTheSpacing) {
    Harness h(Form({wideRow(red(), 10), box(blue(), 30, 10),
                    Section({wideRow(red(), 6)}, Text("H"), box(blue(), 20, 4))}),
              {200, 100});
    // Rows 8 apart from the top; a fixed row sits at the leading edge; the section's header, row and
    // footer continue with the same spacing.
    EXPECT_EQ(h.fills(),
              (std::vector<Rect>{{0, 0, 200, 10}, {0, 18, 30, 10}, {0, 57, 200, 6}, {0, 71, 20, 4}}));
    const auto header = h.record(DrawOpKind::text);
    ASSERT_EQ(header.size(), 1u);
    EXPECT_EQ(header[0].rect, Rect(0, 36, 13, 13));

    // A section without header or footer is only its rows.
    h.host->setRootView(Form({Section({wideRow(red(), 10), wideRow(blue(), 10)})}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{0, 0, 200, 10}, {0, 18, 200, 10}}));
}

TEST(Form, LabeledContentPutsTheLabelBeforeItsContent) {
    Harness h(LabeledContent(box(red(), 40, 30), Text("ab")), {200, 100});
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{97, 35, 40, 30}}));
    const auto label = h.record(DrawOpKind::text);
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(label[0].rect, Rect(63, 43.5, 26, 13)); // centred on the content, 8 before it

    h.host->setRootView(
        LabeledContent(box(red(), 40, 30), Text("ab"), {.alignment = VerticalAlignment::top, .spacing = 2}));
    h.settle();
    EXPECT_EQ(h.record(DrawOpKind::text)[0].rect, Rect(66, 35, 26, 13));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{94, 35, 40, 30}}));
}

TEST(Form, DividersRunAcrossTheirStack) {
    const auto separator = graphics::Color::separatorColor();
    Harness h(VStack({.spacing = 0}, {box(red(), 50, 10), Divider(), box(red(), 50, 10)}), {200, 100});
    auto ops = h.record();
    ASSERT_EQ(ops.size(), 3u);
    // The divider takes the whole width it is offered, 1 point high.
    EXPECT_EQ(ops[1].rect, Rect(0, 49.5, 200, 1));
    EXPECT_EQ(ops[0].rect, Rect(75, 39.5, 50, 10));
    ASSERT_TRUE(ops[1].color);
    EXPECT_EQ(ops[1].color->red(), separator->red());
    EXPECT_EQ(ops[1].color->alpha(), separator->alpha());

    h.host->setRootView(HStack({.spacing = 0}, {box(red(), 10, 40), Divider(), box(red(), 10, 40)}));
    ops = h.record();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].rect, Rect(99.5, 0, 1, 100));

    // Outside a stack (here under padding) it is horizontal and takes the width it is offered.
    h.host->setRootView(Divider().padding(EdgeInsets{8, 16, 8, 16}).frame(100, std::nullopt));
    ops = h.record();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].rect, Rect(66, 49.5, 68, 1));
    EXPECT_EQ(h.host->sizeThatFits({100, std::nullopt}).height, 17);
}

TEST(Form, ChildrenOfFlattenGroupsAndKeepIdentities) {
    EXPECT_EQ(childrenOf(Text("a")).size(), 1u);
    EXPECT_TRUE(childrenOf(Group({})).empty());

    const std::vector<int> items{3, 1};
    const auto children = childrenOf(Group(
        {Text("a"), If(true, Text("b")),
         ForEach(
             items, [](int i) { return std::int64_t{i}; }, [](int i) { return Text(std::to_string(i)); }),
         Group({Text("c"), Text("d")})}));
    std::vector<Id> ids;
    for (const auto& child : children) {
        ids.push_back(child.id);
    }
    EXPECT_EQ(ids, (std::vector<Id>{std::string("/#0"), std::string("/#1/=1"), std::string("/#2/=3"),
                                    std::string("/#2/=1"), std::string("/#3/#0"), std::string("/#3/#1")}));

    // Wrapped children keep their state when their ForEach reorders them.
    auto states = std::make_shared<std::map<std::string, State<int>>>();
    const auto rows = [&](std::vector<std::string> names) {
        return VStack({.spacing = 0}, {ForEachChild(ForEach(
                                                        names, [](const std::string& n) { return n; },
                                                        [&](const std::string& n) {
                                                            return View(Counter{n, states});
                                                        }),
                                                    [](const View& child) {
                                                        return HStack({.spacing = 0}, {child, Spacer()});
                                                    })});
    };
    Harness h(rows({"x", "y"}));
    (*states)["y"].set(5);
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"x0", "y5"}));
    h.host->setRootView(rows({"y", "x"}));
    EXPECT_EQ(texts(h), (std::vector<std::string>{"y5", "x0"}));
    // Each wrapped child sits at the leading edge of the full width.
    const auto placed = h.record(DrawOpKind::text);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].rect.x(), 0);
    EXPECT_EQ(placed[1].rect.x(), 0);
}
