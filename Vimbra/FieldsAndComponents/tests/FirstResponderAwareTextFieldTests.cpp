// The first-responder-aware text field: what it announces, when, and for which window.
#include "FieldsTestSupport.hpp"
#include "Vimbra/FieldsAndComponents/FirstResponderAwareTextField.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::Rect;

namespace {

// Counts the hook's calls.
class CountingField : public FirstResponderAwareTextField {
public:
    using FirstResponderAwareTextField::FirstResponderAwareTextField;
    void firstResponderStatusDidChange(bool status) override { hooks.push_back(status); }
    std::vector<bool> hooks;
};

struct Announcements {
    std::vector<std::pair<ui::TextField*, bool>> values;
    int completions = 0;
    core::Cancellable token;

    explicit Announcements(const FirstResponderAwareTextField& field)
        : token(field.firstResponderPublisher().sink(
              [this](const auto& value) { values.emplace_back(value.first.get(), value.second); },
              [this] { ++completions; })) {}
};

struct TwoFields {
    vimbratest::Scene scene;
    std::shared_ptr<CountingField> first = std::make_shared<CountingField>(Rect(10, 150, 200, 22));
    std::shared_ptr<CountingField> second = std::make_shared<CountingField>(Rect(10, 110, 200, 22));
    TwoFields() {
        scene.add(first);
        scene.add(second);
        fieldstest::turn();
    }
};

} // namespace

TEST(FirstResponderAwareTextField, AClickAnnouncesFocusOnceAndTabAnnouncesItsLoss) {
    TwoFields s;
    Announcements heard(*s.first);
    fieldstest::click(s.scene, *s.first);
    ASSERT_NE(s.first->currentEditor(), nullptr);
    EXPECT_TRUE(heard.values.empty()); // one turn of the main queue later
    fieldstest::turn();
    ASSERT_EQ(heard.values.size(), 1u);
    EXPECT_EQ(heard.values[0], std::make_pair(static_cast<ui::TextField*>(s.first.get()), true));
    EXPECT_EQ(s.first->hooks, std::vector<bool>{true});
    EXPECT_TRUE(s.first->publishedFirstResponderStatus());

    // Typing keeps the status: nothing more.
    fieldstest::type(s.scene, "abc");
    fieldstest::turn();
    EXPECT_EQ(heard.values.size(), 1u);

    fieldstest::key(s.scene, ui::utf8(ui::SpecialKey::tab));
    fieldstest::turn();
    ASSERT_EQ(heard.values.size(), 2u);
    EXPECT_FALSE(heard.values[1].second);
    EXPECT_EQ(s.first->hooks, (std::vector<bool>{true, false}));
    EXPECT_EQ(s.second->hooks, std::vector<bool>{true});

    // The window itself as first responder: false, already announced.
    s.scene.window->makeFirstResponder(nullptr);
    fieldstest::turn();
    EXPECT_EQ(s.second->hooks, (std::vector<bool>{true, false}));
    EXPECT_EQ(heard.values.size(), 2u);
}

TEST(FirstResponderAwareTextField, LeavingTheWindowStopsListeningWithoutAnnouncingAndDropsWhatWaits) {
    TwoFields s;
    Announcements heard(*s.first);
    s.scene.window->makeFirstResponder(s.first);
    fieldstest::turn();
    ASSERT_EQ(heard.values.size(), 1u);

    // Out of the window: no false for the departure.
    s.first->removeFromSuperview();
    fieldstest::turn();
    EXPECT_EQ(heard.values.size(), 1u);
    EXPECT_TRUE(s.first->publishedFirstResponderStatus());

    // Back in: the window's present first responder (the window) differs from what was said last.
    s.scene.add(s.first);
    fieldstest::turn();
    ASSERT_EQ(heard.values.size(), 2u);
    EXPECT_FALSE(heard.values[1].second);

    // A change still waiting on the main queue when the field leaves is never delivered.
    s.scene.window->makeFirstResponder(s.first);
    s.first->removeFromSuperview();
    fieldstest::turn();
    EXPECT_EQ(heard.values.size(), 2u);
}

TEST(FirstResponderAwareTextField, AFieldMovedToAnotherWindowHearsOnlyTheNewOne) {
    TwoFields s;
    auto other = ui::Window::make(Rect(600, 300, 320, 200));
    auto otherBackend = display::HeadlessBackend::attach(other, 1.0, false);
    auto moved = std::make_shared<CountingField>(Rect(10, 60, 200, 22));
    s.scene.add(moved);
    fieldstest::turn();

    // Straight from one window into the other, where it takes the focus.
    other->contentView()->addSubview(moved);
    other->makeFirstResponder(moved);
    fieldstest::turn();
    EXPECT_EQ(moved->hooks, std::vector<bool>{true});

    // The first window's focus moving about is no concern of the field any more.
    s.scene.window->makeFirstResponder(s.first);
    s.scene.window->makeFirstResponder(s.second);
    fieldstest::turn();
    EXPECT_EQ(moved->hooks, std::vector<bool>{true});
    EXPECT_TRUE(moved->publishedFirstResponderStatus());
    other->close();
}

TEST(FirstResponderAwareTextField, ThePublisherCompletesWhenTheFieldGoes) {
    auto field = std::make_shared<FirstResponderAwareTextField>();
    Announcements heard(*field);
    EXPECT_EQ(heard.completions, 0);
    field.reset();
    EXPECT_EQ(heard.completions, 1);
}
