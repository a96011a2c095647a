// Constraint layout: pinning to a superview in both coordinate orientations, chains of siblings,
// centring and sizes, priorities, bounds, and re-layout when the superview changes size.

#include "ui/tests/Helpers.hpp"

#include <gtest/gtest.h>

using namespace ui;
using graphics::Rect;
using uitest::ProbeView;

namespace {

std::shared_ptr<ProbeView> child(const std::shared_ptr<View>& parent) {
    auto v = std::make_shared<ProbeView>(Rect(0, 0, 10, 10));
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(v);
    return v;
}

TEST(LayoutConstraint, PinnedEdgesFollowTheSuperviewInBothOrientations) {
    for (bool flipped : {false, true}) {
        auto parent = std::make_shared<ProbeView>(Rect(0, 0, 200, 100), flipped);
        auto v = child(parent);
        LayoutConstraint::activate({v->leadingAnchor().constraintEqualTo(parent->leadingAnchor(), 20),
                                    v->trailingAnchor().constraintEqualTo(parent->trailingAnchor(), -40),
                                    v->bottomAnchor().constraintEqualTo(parent->bottomAnchor(), -30),
                                    v->topAnchor().constraintEqualTo(parent->topAnchor(), 10)});
        EXPECT_EQ(parent->constraints().size(), 4u);
        parent->layoutSubtreeIfNeeded();
        // Top 10 below the top edge, bottom 30 above the bottom one, whichever way y grows.
        EXPECT_EQ(v->frame(), flipped ? Rect(20, 10, 140, 60) : Rect(20, 30, 140, 60))
            << "flipped " << flipped;

        parent->setFrameSize({300, 120});
        EXPECT_TRUE(parent->needsLayout());
        parent->layoutSubtreeIfNeeded();
        EXPECT_EQ(v->frame().width(), 240);
        EXPECT_EQ(v->frame().height(), 80);
    }
}

TEST(LayoutConstraint, SiblingsChainAndCentreAndReversedConstraintsSolve) {
    auto parent = std::make_shared<ProbeView>(Rect(0, 0, 300, 100));
    auto a = child(parent);
    auto b = child(parent);
    auto c = child(parent);
    // b is declared before a is placeable from the container alone: the solver orders them.
    LayoutConstraint::activate({
        b->leadingAnchor().constraintEqualTo(a->trailingAnchor(), 8),
        b->widthAnchor().constraintEqualToConstant(50),
        b->centerYAnchor().constraintEqualTo(parent->centerYAnchor()),
        b->heightAnchor().constraintEqualTo(a->heightAnchor()),
        a->leadingAnchor().constraintEqualTo(parent->leadingAnchor(), 10),
        a->widthAnchor().constraintEqualToConstant(30),
        a->topAnchor().constraintEqualTo(parent->topAnchor(), -5),
        a->heightAnchor().constraintEqualToConstant(20),
        // Written from the container's side: parent.trailing = c.trailing + 12.
        parent->trailingAnchor().constraintEqualTo(c->trailingAnchor(), 12),
        c->widthAnchor().constraintEqualToConstant(40),
        c->centerYAnchor().constraintEqualTo(parent->centerYAnchor()),
    });
    parent->layoutSubtreeIfNeeded();
    EXPECT_EQ(a->frame(), Rect(10, 85, 30, 20)); // 5 points above the top edge
    EXPECT_EQ(b->frame(), Rect(48, 40, 50, 20));
    EXPECT_EQ(c->frame().maxX(), 288);
    EXPECT_EQ(c->frame().width(), 40);
    EXPECT_EQ(c->frame().midY(), 50);
}

TEST(LayoutConstraint, PrioritiesBoundsAndDeactivation) {
    auto parent = std::make_shared<ProbeView>(Rect(0, 0, 200, 100));
    auto v = child(parent);
    auto weak = v->widthAnchor().constraintEqualToConstant(150);
    weak->setPriority(250);
    auto strong = v->widthAnchor().constraintEqualToConstant(60);
    auto most = v->widthAnchor().constraintLessThanOrEqualToConstant(50);
    LayoutConstraint::activate({weak, strong, most,
                                v->leadingAnchor().constraintEqualTo(parent->leadingAnchor()),
                                v->topAnchor().constraintEqualTo(parent->topAnchor())});
    parent->layoutSubtreeIfNeeded();
    EXPECT_EQ(v->frame().width(), 50);  // the required 60, then held to at most 50; the weak 150 lost
    EXPECT_EQ(v->frame().height(), 10); // no height constraint: the frame's own
    EXPECT_EQ(v->frame().maxY(), 100);

    LayoutConstraint::deactivate({strong, most});
    EXPECT_FALSE(strong->isActive());
    parent->layoutSubtreeIfNeeded();
    EXPECT_EQ(v->frame().width(), 150);
    weak->setConstant(120);
    parent->layoutSubtreeIfNeeded();
    EXPECT_EQ(v->frame().width(), 120);
}

TEST(LayoutConstraint, ViewsThatTranslateTheirMaskAndViewsInOtherTreesAreLeftAlone) {
    auto parent = std::make_shared<ProbeView>(Rect(0, 0, 200, 100));
    auto free = std::make_shared<ProbeView>(Rect(5, 5, 10, 10));
    parent->addSubview(free);
    auto stranger = std::make_shared<ProbeView>(Rect(0, 0, 10, 10));
    auto across = free->leadingAnchor().constraintEqualTo(stranger->leadingAnchor(), 50);
    across->setActive(true);
    EXPECT_FALSE(across->isActive());
    LayoutConstraint::activate({free->leadingAnchor().constraintEqualTo(parent->leadingAnchor(), 70)});
    parent->layoutSubtreeIfNeeded();
    EXPECT_EQ(free->frame(), Rect(5, 5, 10, 10));
}

} // namespace
