#include "Vimbra/Protocols.hpp"
#include "Vimbra/StyledControls/Selection.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/Button.hpp"
#include "ui/TextField.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using graphics::Rect;
using namespace vimbra;

namespace {

// A selectable view that notes in a shared log when it is told its state.
class SelectableView : public ui::View, public Selectable {
public:
    SelectableView(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    bool isSelected() const override { return selected_; }
    void setSelected(bool selected) override {
        selected_ = selected;
        log_.push_back(name_);
    }

private:
    std::string name_;
    std::vector<std::string>& log_;
    bool selected_ = false;
};

// A container with, in order: A (selectable, holding B, which holds C), a plain view holding D, and E.
struct Tree {
    std::vector<std::string> log;
    std::shared_ptr<ui::View> root = std::make_shared<ui::View>();
    std::shared_ptr<SelectableView> a = std::make_shared<SelectableView>("A", log);
    std::shared_ptr<SelectableView> b = std::make_shared<SelectableView>("B", log);
    std::shared_ptr<SelectableView> c = std::make_shared<SelectableView>("C", log);
    std::shared_ptr<ui::View> plain = std::make_shared<ui::View>();
    std::shared_ptr<SelectableView> d = std::make_shared<SelectableView>("D", log);
    std::shared_ptr<SelectableView> e = std::make_shared<SelectableView>("E", log);

    Tree() {
        root->addSubview(a);
        a->addSubview(b);
        b->addSubview(c);
        root->addSubview(plain);
        plain->addSubview(d);
        root->addSubview(e);
    }
};

} // namespace

TEST(SelectionPropagation, ReachesTwoLevelsOfSelectableViewsInOrder) {
    struct Case {
        bool includingNested;
        std::vector<std::string> told;
    };
    for (const auto& c : {Case{true, {"A", "B", "E"}}, Case{false, {"A", "E"}}}) {
        Tree tree;
        setSelectedInSubviews(*tree.root, true, c.includingNested);
        EXPECT_EQ(tree.log, c.told) << c.includingNested;
        EXPECT_TRUE(tree.a->isSelected());
        EXPECT_EQ(tree.b->isSelected(), c.includingNested);
        EXPECT_FALSE(tree.c->isSelected()); // a third level is never reached
        EXPECT_FALSE(tree.d->isSelected()); // a plain view hides everything inside it
        EXPECT_TRUE(tree.e->isSelected());

        setSelectedInSubviews(*tree.root, false, c.includingNested);
        EXPECT_FALSE(tree.a->isSelected());
        EXPECT_FALSE(tree.b->isSelected());
    }
    // A view without subviews, and a selectable leaf, take it quietly.
    std::vector<std::string> log;
    SelectableView leaf("leaf", log);
    setSelectedInSubviews(leaf, true, true);
    ui::View empty;
    setSelectedInSubviews(empty, true, true);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(leaf.isSelected());
}

TEST(SelectionPropagationDeathTest, StopsWhenCalledOffTheMainThread) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::thread worker([] {
                ui::View view;
                setSelectedInSubviews(view, true, true);
            });
            worker.join();
        },
        "main thread only");
}

TEST(ControlFocus, AControlIsFirstResponderWhenItOrItsFieldEditorIsTheWindowsFirstResponder) {
    struct Case {
        const char* what;
        // Sets the scene up and answers the control to ask.
        std::function<std::shared_ptr<ui::Control>(vimbratest::Scene&)> arrange;
        bool expected;
    };
    auto field = [](vimbratest::Scene& scene, double y) {
        auto made = std::make_shared<ui::TextField>(Rect(20, y, 120, 22));
        made->setEditable(true);
        scene.add(made);
        return made;
    };
    const std::vector<Case> cases = {
        {"a text field while the user types in it",
         [&](vimbratest::Scene& scene) {
             auto typed = field(scene, 20);
             EXPECT_TRUE(scene.window->makeFirstResponder(typed));
             scene.backend->typeKey("a");
             EXPECT_EQ(typed->currentEditor(), scene.window->firstResponder());
             return typed;
         },
         true},
        {"a button focused by keyboard navigation",
         [&](vimbratest::Scene& scene) {
             auto button = ui::Button::make("Go", nullptr, {});
             scene.add(button);
             EXPECT_TRUE(scene.window->makeFirstResponder(button));
             return button;
         },
         true},
        {"a button in no window",
         [&](vimbratest::Scene&) {
             return std::shared_ptr<ui::Control>(ui::Button::make("Alone", nullptr, {}));
         },
         false},
        {"a field while another field's editor is first responder",
         [&](vimbratest::Scene& scene) {
             auto first = field(scene, 20);
             auto second = field(scene, 60);
             EXPECT_TRUE(scene.window->makeFirstResponder(second));
             EXPECT_NE(second->currentEditor(), nullptr);
             return first;
         },
         false},
        {"a button while a field is being edited",
         [&](vimbratest::Scene& scene) {
             auto button = ui::Button::make("Go", nullptr, {});
             scene.add(button);
             EXPECT_TRUE(scene.window->makeFirstResponder(field(scene, 60)));
             return button;
         },
         false},
        {"a field in a window whose first responder is the window",
         [&](vimbratest::Scene& scene) {
             auto idle = field(scene, 20);
             scene.window->makeFirstResponder(nullptr);
             return idle;
         },
         false},
    };
    for (const auto& c : cases) {
        vimbratest::Scene scene;
        const auto control = c.arrange(scene);
        ASSERT_NE(control, nullptr) << c.what;
        EXPECT_EQ(isFirstResponder(*control), c.expected) << c.what;
    }
}
