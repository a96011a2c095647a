#include "Helpers.hpp"

#include <gtest/gtest.h>

using graphics::Point;
using graphics::Rect;
using uitest::ProbeView;

namespace {

class HookView : public ui::View {
public:
    HookView(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void viewWillMoveToSuperview(const std::shared_ptr<ui::View>& s) override {
        log_.push_back(name_ + " willSuper " + (s ? "set" : "null"));
    }
    void viewDidMoveToSuperview() override { log_.push_back(name_ + " didSuper"); }
    void viewWillMoveToWindow(const std::shared_ptr<ui::Window>& w) override {
        log_.push_back(name_ + " willWindow " + (w ? "set" : "null"));
    }
    void viewDidMoveToWindow() override { log_.push_back(name_ + " didWindow"); }
    void didAddSubview(const std::shared_ptr<ui::View>&) override { log_.push_back(name_ + " didAdd"); }

private:
    std::vector<std::string>& log_;
    std::string name_;
};

// A 200 x 100 window: A unflipped at (10,10,50,50); B flipped on the right half holding C (flipped)
// in its top-left corner and E (unflipped) further right.
struct Scene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 200, 100));
    std::shared_ptr<ProbeView> a = std::make_shared<ProbeView>(Rect(10, 10, 50, 50));
    std::shared_ptr<ProbeView> b = std::make_shared<ProbeView>(Rect(100, 0, 100, 100), true);
    std::shared_ptr<ProbeView> c = std::make_shared<ProbeView>(Rect(0, 0, 20, 20), true);
    std::shared_ptr<ProbeView> e = std::make_shared<ProbeView>(Rect(50, 0, 40, 20));

    Scene() {
        window->contentView()->addSubview(a);
        window->contentView()->addSubview(b);
        b->addSubview(c);
        b->addSubview(e);
    }
};

} // namespace

TEST(ViewTree, SubviewOrderMovesAndWindowHooks) {
    uitest::WindowScope scope;
    std::vector<std::string> log;
    auto window = ui::Window::make(Rect(0, 0, 100, 100));
    auto parent = std::make_shared<HookView>(log, "p");
    auto child = std::make_shared<HookView>(log, "c");
    parent->addSubview(child);
    log.clear();

    window->contentView()->addSubview(parent);
    EXPECT_EQ(parent->window(), window);
    EXPECT_EQ(child->window(), window);
    EXPECT_EQ(log, (std::vector<std::string>{"p willSuper set", "p willWindow set", "c willWindow set",
                                             "c didWindow", "p didWindow", "p didSuper"}));

    // Moving within the same window changes the superview but not the window.
    auto other = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    window->contentView()->addSubview(other);
    log.clear();
    other->addSubview(child);
    EXPECT_EQ(child->superview(), other);
    EXPECT_TRUE(parent->subviews().empty());
    EXPECT_EQ(log, (std::vector<std::string>{"c willSuper set", "c didSuper"}));

    // Ordering relative to a sibling.
    auto x = std::make_shared<ui::View>();
    auto y = std::make_shared<ui::View>();
    other->addSubview(x, ui::View::Ordering::below, child);
    other->addSubview(y, ui::View::Ordering::above, x);
    EXPECT_EQ(other->subviews(), (std::vector<std::shared_ptr<ui::View>>{x, y, child}));

    // Removal clears superview, window and the responder link.
    log.clear();
    child->removeFromSuperview();
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_EQ(child->window(), nullptr);
    EXPECT_EQ(child->nextResponder(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"c willSuper null", "c willWindow null", "c didWindow",
                                             "c didSuper"}));

    // A view cannot be added into its own subtree.
    parent->addSubview(child);
    child->addSubview(parent);
    EXPECT_EQ(parent->superview(), window->contentView());
    EXPECT_TRUE(child->subviews().empty());
}

TEST(ViewHitTest, FindsTopmostVisibleViewInFlippedAndUnflippedViews) {
    Scene s;
    auto content = s.window->contentView();
    EXPECT_EQ(content->hitTest({20, 20}), s.a);
    EXPECT_EQ(content->hitTest({5, 5}), content);
    // C sits at the top of flipped B: window y 80..100.
    EXPECT_EQ(content->hitTest({105, 95}), s.c);
    EXPECT_EQ(content->hitTest({105, 5}), s.b);
    // E is unflipped inside flipped B, also at B's top.
    EXPECT_EQ(content->hitTest({160, 90}), s.e);
    EXPECT_EQ(content->hitTest({300, 50}), nullptr);

    // The later sibling is on top.
    auto cover = std::make_shared<ProbeView>(Rect(10, 10, 50, 50));
    content->addSubview(cover);
    EXPECT_EQ(content->hitTest({20, 20}), cover);

    // Hidden views and their subtrees are skipped.
    cover->setHidden(true);
    EXPECT_EQ(content->hitTest({20, 20}), s.a);
    s.b->setHidden(true);
    EXPECT_EQ(content->hitTest({105, 95}), content);
    EXPECT_TRUE(s.c->isHiddenOrHasHiddenAncestor());
}

TEST(ViewGeometry, ConvertsPointsAndRectsAcrossFlippedViews) {
    Scene s;
    EXPECT_EQ(s.c->convertPointToView({5, 5}, nullptr), Point(105, 95));
    EXPECT_EQ(s.c->convertPointFromView({105, 95}, nullptr), Point(5, 5));
    EXPECT_EQ(s.c->convertPointToView({5, 5}, s.a.get()), Point(95, 85));
    EXPECT_EQ(s.c->convertRectToView(Rect(0, 0, 20, 20), nullptr), Rect(100, 80, 20, 20));
    EXPECT_EQ(s.a->convertRectFromView(Rect(0, 0, 20, 20), s.c.get()), Rect(90, 70, 20, 20));
    // Unflipped inside flipped: E's origin is its bottom-left, 20 points below B's top.
    EXPECT_EQ(s.e->convertPointToView({0, 0}, nullptr), Point(150, 80));
    EXPECT_EQ(s.e->convertPointToView({0, 20}, s.b.get()), Point(50, 0));

    // Scrolling B's bounds moves its content: C's top-left now lies 10 points above the window top.
    s.b->setBoundsOrigin({0, 10});
    EXPECT_EQ(s.c->convertPointToView({5, 5}, nullptr), Point(105, 105));
    EXPECT_EQ(s.window->contentView()->hitTest({105, 95}), s.c);

    // Frame changes keep the bounds size in step.
    s.a->setFrameSize({70, 30});
    EXPECT_EQ(s.a->bounds().size, graphics::Size(70, 30));
}

TEST(ViewAppearance, ComesFromTheNearestViewThenTheWindowThenTheApplication) {
    Scene s;
    const auto application = ui::Application::shared();
    application->setAppearanceName("");
    auto loose = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    EXPECT_EQ(loose->effectiveAppearanceName(), ui::appearanceNameAqua) << "the system's by default";
    EXPECT_EQ(s.c->effectiveAppearanceName(), ui::appearanceNameAqua);

    application->setAppearanceName(ui::appearanceNameDarkAqua);
    EXPECT_EQ(loose->effectiveAppearanceName(), ui::appearanceNameDarkAqua) << "a view outside any window";
    EXPECT_EQ(s.c->effectiveAppearanceName(), ui::appearanceNameDarkAqua);
    EXPECT_EQ(s.window->effectiveAppearanceName(), ui::appearanceNameDarkAqua);

    s.window->setAppearanceName("Custom");
    EXPECT_EQ(s.c->effectiveAppearanceName(), "Custom") << "the window's own wins over the application's";
    s.b->setAppearanceName(ui::appearanceNameAqua);
    EXPECT_EQ(s.c->effectiveAppearanceName(), ui::appearanceNameAqua) << "the nearest superview's wins";
    EXPECT_EQ(s.a->effectiveAppearanceName(), "Custom");
    s.c->setAppearanceName(ui::appearanceNameDarkAqua);
    EXPECT_EQ(s.c->effectiveAppearanceName(), ui::appearanceNameDarkAqua);
    EXPECT_EQ(s.e->effectiveAppearanceName(), ui::appearanceNameAqua);
    application->setAppearanceName("");
}
