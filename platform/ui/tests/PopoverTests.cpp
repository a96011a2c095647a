// Observation of the first responder, event monitors, popovers beside a view, and the field editor's
// word selection, undo and tightened truncation.
#include "Helpers.hpp"
#include "graphics/Image.hpp"
#include "ui/Popover.hpp"
#include "ui/StringDrawing.hpp"
#include "ui/TextField.hpp"
#include "ui/ViewController.hpp"

#include <gtest/gtest.h>

using graphics::Rect;
using graphics::Size;
using ui::EventType;
using ui::RectEdge;

namespace {

// A key window with two text fields.
struct Form {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(100, 100, 240, 120));
    std::shared_ptr<ui::TextField> first = std::make_shared<ui::TextField>(Rect(10, 80, 200, 22));
    std::shared_ptr<ui::TextField> second = std::make_shared<ui::TextField>(Rect(10, 20, 200, 22));

    Form() {
        window->contentView()->addSubview(first);
        window->contentView()->addSubview(second);
        window->makeKeyWindow();
    }
    void key(const std::string& text, ui::ModifierFlags flags = 0) {
        window->sendEvent(ui::Event::keyEvent(EventType::keyDown, text, text, flags, 0, 0, window));
    }
    void click(const std::shared_ptr<ui::View>& view, double x, int count = 1) {
        const auto p = view->convertPointToView({x, view->bounds().midY()}, nullptr);
        window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseDown, p, 0, 0, window, count));
        window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseUp, p, 0, 0, window, count));
    }
};

std::shared_ptr<ui::ViewController> contentOfSize(Size size) {
    auto controller = std::make_shared<ui::ViewController>();
    controller->setView(std::make_shared<ui::View>(Rect({}, size)));
    return controller;
}

} // namespace

TEST(FirstResponderObservation, HearsEveryChangeIncludingAViewLeavingItsWindow) {
    Form f;
    std::vector<std::shared_ptr<ui::Responder>> heard;
    auto token = f.window->observeFirstResponder([&](const auto& responder) { heard.push_back(responder); });
    ASSERT_EQ(heard.size(), 1u); // the current one at once: the window itself
    EXPECT_EQ(heard[0], f.window);

    // A text field hands the role to the field editor: one change, to the editor.
    ASSERT_TRUE(f.window->makeFirstResponder(f.first));
    auto editor = f.first->currentEditor();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1], editor);
    // Asking again for what holds the role changes nothing and says nothing.
    f.window->makeFirstResponder(editor);
    EXPECT_EQ(heard.size(), 2u);

    // The field (with its editor) leaving the window gives the role back to the window, and says so.
    f.first->removeFromSuperview();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[2], f.window);

    // A second observer made now starts from the present; cancelling stops the first.
    std::vector<std::shared_ptr<ui::Responder>> later;
    auto second = f.window->observeFirstResponder([&](const auto& responder) { later.push_back(responder); });
    token.cancel();
    f.window->makeFirstResponder(f.second);
    EXPECT_EQ(heard.size(), 3u);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[1], f.second->currentEditor());
}

TEST(FirstResponderObservation, ObserversMayCancelThemselvesAndMonitorsMayTakeEvents) {
    Form f;
    core::Cancellable token;
    int calls = 0;
    token = f.window->observeFirstResponder([&](const auto&) {
        if (++calls == 2) {
            token.cancel();
        }
    });
    f.window->makeFirstResponder(f.first);
    f.window->makeFirstResponder(f.second);
    EXPECT_EQ(calls, 2);

    std::vector<std::string> seen;
    auto monitor = f.window->addEventMonitor([&](const ui::Event& event) {
        seen.push_back(event.characters);
        return event.characters == "x";
    });
    f.key("x");
    f.key("y");
    EXPECT_EQ(seen, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(f.second->stringValue(), "y"); // the taken key never reached the field
    monitor.cancel();
    f.key("x");
    EXPECT_EQ(f.second->stringValue(), "yx");
}

TEST(Popover, FramesSitOnThePreferredEdgeOrTheOppositeOneWhenTheScreenHasNoRoom) {
    const Rect anchor(100, 100, 40, 20);
    const Rect screen(0, 0, 400, 300);
    RectEdge used{};
    EXPECT_EQ(ui::Popover::frameBeside(anchor, {60, 30}, RectEdge::minY, screen, &used),
              Rect(90, 100 - ui::Popover::gap - 30, 60, 30));
    EXPECT_EQ(used, RectEdge::minY);
    EXPECT_EQ(ui::Popover::frameBeside(anchor, {60, 30}, RectEdge::maxX, screen, &used),
              Rect(140 + ui::Popover::gap, 95, 60, 30));
    // No room below: above instead; no room on either side: stays where asked.
    EXPECT_EQ(ui::Popover::frameBeside(anchor, {60, 120}, RectEdge::minY, screen, &used).minY(),
              120 + ui::Popover::gap);
    EXPECT_EQ(used, RectEdge::maxY);
    ui::Popover::frameBeside(anchor, {60, 400}, RectEdge::minY, screen, &used);
    EXPECT_EQ(used, RectEdge::minY);
    // Moved along the edge to stay on the screen.
    EXPECT_EQ(ui::Popover::frameBeside(Rect(2, 100, 10, 10), {60, 30}, RectEdge::maxY, screen).minX(), 0);
    EXPECT_EQ(ui::Popover::frameBeside(Rect(395, 100, 10, 10), {60, 30}, RectEdge::maxY, screen).maxX(), 400);
}

TEST(Popover, ShowsBesideTheViewWithoutTakingKeyOrFocusAndClosesWhenTheProgramSays) {
    Form f;
    ASSERT_TRUE(f.window->makeFirstResponder(f.first));
    const auto editor = f.first->currentEditor();
    auto popover = std::make_shared<ui::Popover>();
    popover->setContentViewController(contentOfSize({80, 24}));
    popover->setContentSize({80, 24});
    EXPECT_FALSE(popover->isShown());

    // The field is flipped: its maximum-y edge is its lower one on the screen.
    popover->show(f.second->bounds(), f.second, RectEdge::maxY);
    ASSERT_TRUE(popover->isShown());
    auto window = popover->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isPopUp());
    EXPECT_TRUE(window->isVisible());
    const Rect field =
        f.window->convertRectToScreen(f.second->convertRectToView(f.second->bounds(), nullptr));
    EXPECT_EQ(window->frame(), Rect(field.midX() - 40, field.minY() - ui::Popover::gap - 24, 80, 24));
    EXPECT_EQ(popover->shownEdge(), RectEdge::maxY);
    EXPECT_EQ(popover->positioningView(), f.second);
    EXPECT_EQ(window->contentView(), popover->contentViewController()->view());
    EXPECT_TRUE(f.window->isKeyWindow());
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(f.window->firstResponder(), editor);

    // A new size while shown re-places it; the user cannot close an application-defined popover.
    popover->setContentSize({100, 30});
    EXPECT_EQ(window->frame().size, Size(100, 30));
    f.key(ui::utf8(ui::SpecialKey::escape));
    f.click(f.second, 5);
    EXPECT_TRUE(popover->isShown());
    popover->performClose(nullptr);
    EXPECT_FALSE(popover->isShown());
    EXPECT_FALSE(window->isVisible());

    // Shown again over the other field's upper edge.
    popover->show(f.first->bounds(), f.first, RectEdge::minY);
    ASSERT_TRUE(popover->isShown());
    const Rect upper = f.window->convertRectToScreen(f.first->convertRectToView(f.first->bounds(), nullptr));
    EXPECT_EQ(popover->window()->frame().minY(), upper.maxY() + ui::Popover::gap);
}

TEST(Popover, ATransientPopoverClosesOnEscapeOrAClickOutside) {
    Form f;
    auto popover = std::make_shared<ui::Popover>();
    popover->setContentViewController(contentOfSize({50, 20}));
    popover->setContentSize({50, 20});
    popover->setBehavior(ui::PopoverBehavior::transient);
    ASSERT_TRUE(f.window->makeFirstResponder(f.first));
    popover->show(f.first->bounds(), f.first, RectEdge::maxY);
    ASSERT_TRUE(popover->isShown());
    f.key("a");
    EXPECT_TRUE(popover->isShown());
    f.key(ui::utf8(ui::SpecialKey::escape));
    EXPECT_FALSE(popover->isShown());

    popover->show(f.first->bounds(), f.first, RectEdge::maxY);
    f.click(f.second, 5); // closes the popover and still reaches the field
    EXPECT_FALSE(popover->isShown());
    EXPECT_NE(f.second->currentEditor(), nullptr);
}

TEST(Popover, GoesWhenTheWindowOfItsCurrentAnchorIsOrderedOutOrClosed) {
    Form f;
    Form g;
    g.window->setFrameOrigin({400, 100});
    f.window->orderFront();
    g.window->orderFront();
    auto popover = std::make_shared<ui::Popover>();
    popover->setContentViewController(contentOfSize({50, 20}));
    popover->setContentSize({50, 20});
    popover->show(f.first->bounds(), f.first, RectEdge::maxY);
    auto window = popover->window();
    ASSERT_TRUE(popover->isShown());
    g.window->orderOut();
    EXPECT_TRUE(popover->isShown());
    f.window->orderOut();
    EXPECT_FALSE(popover->isShown());
    EXPECT_TRUE(window->isClosed());

    // Moved beside a view in another window, it goes with that window and no longer with the first.
    f.window->orderFront();
    g.window->orderFront();
    popover->show(f.first->bounds(), f.first, RectEdge::maxY);
    popover->show(g.first->bounds(), g.first, RectEdge::maxY);
    f.window->close();
    EXPECT_TRUE(popover->isShown());
    g.window->close();
    EXPECT_FALSE(popover->isShown());
}

TEST(Popover, ATransientPopoverShownAgainInAnotherWindowWatchesThatWindow) {
    Form f;
    Form g;
    g.window->setFrameOrigin({400, 100});
    auto popover = std::make_shared<ui::Popover>();
    popover->setContentViewController(contentOfSize({50, 20}));
    popover->setContentSize({50, 20});
    popover->setBehavior(ui::PopoverBehavior::transient);
    popover->show(f.first->bounds(), f.first, RectEdge::maxY);
    popover->show(g.first->bounds(), g.first, RectEdge::maxY);
    f.key(ui::utf8(ui::SpecialKey::escape));
    f.click(f.second, 5);
    EXPECT_TRUE(popover->isShown());
    g.key(ui::utf8(ui::SpecialKey::escape));
    EXPECT_FALSE(popover->isShown());

    popover->show(f.first->bounds(), f.first, RectEdge::maxY);
    popover->show(g.first->bounds(), g.first, RectEdge::maxY);
    g.click(g.second, 5);
    EXPECT_FALSE(popover->isShown());
}

TEST(FieldEditor, DoubleClickSelectsAWordAndTripleClickTheLine) {
    Form f;
    f.first->setStringValue("alpha beta.gamma");
    f.click(f.first, 5);
    auto editor = f.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    const double beta = editor->caretOffset(8);
    const auto inEditor = [&](double x) {
        return f.first->convertPointFromView(editor->convertPointToView({x, 0}, nullptr), nullptr).x;
    };
    f.click(f.first, inEditor(beta), 2);
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{6, 10}));
    f.click(f.first, inEditor(editor->caretOffset(10) + 1), 2); // the full stop alone
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{10, 11}));
    f.click(f.first, inEditor(beta), 3);
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{0, 16}));
}

TEST(FieldEditor, UndoAndRedoTakeBackTypingAsOneEditAndOtherEditsOneByOne) {
    Form f;
    f.click(f.first, 5);
    for (const char* c : {"a", "b", "c"}) {
        f.key(c);
    }
    f.key(ui::utf8(ui::SpecialKey::backspace));
    f.key("d");
    EXPECT_EQ(f.first->stringValue(), "abd");
    const ui::ModifierFlags control = ui::Modifier::control;
    f.key("\x1a", control); // as X delivers Control-Z
    EXPECT_EQ(f.first->stringValue(), "ab");
    f.key("z", control);
    EXPECT_EQ(f.first->stringValue(), "abc");
    f.key("z", control);
    EXPECT_EQ(f.first->stringValue(), "");
    EXPECT_FALSE(f.first->currentEditor()->canUndo());
    f.key("Z", control | ui::Modifier::shift);
    EXPECT_EQ(f.first->stringValue(), "abc");
    f.key("Z", control | ui::Modifier::shift);
    f.key("Z", control | ui::Modifier::shift);
    EXPECT_EQ(f.first->stringValue(), "abd");
    // A new edit forgets what could be redone.
    f.key("z", control);
    f.key("e");
    EXPECT_FALSE(f.first->currentEditor()->canRedo());
    EXPECT_EQ(f.first->stringValue(), "abe");
}

TEST(StringDrawing, TighteningFitsALineThatIsSlightlyTooWideInsteadOfTruncatingIt) {
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(20);
    attributes.foregroundColor = graphics::Color::black();
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    const std::string text = "MMMMMMMMMM";
    const double natural = graphics::AttributedString(text, attributes).size().width;
    const double width = std::floor(natural * 0.97);
    // Ink in the upper half of the last few points: letters, not the dots of an ellipsis.
    const auto tallInkAtEnd = [&](bool tightening) {
        attributes.paragraphStyle.allowsDefaultTighteningForTruncation = tightening;
        auto image = graphics::Image::draw(
            {width, 30}, 1.0,
            [&](graphics::GraphicsContext&) {
                ui::drawWithRect(text, Rect(0, 0, width, 30),
                                 ui::StringDrawingOptions::usesLineFragmentOrigin, attributes);
            },
            true);
        auto rep = image->bestRepresentation(1.0);
        int ink = 0;
        for (int y = 0; y < 15; ++y) {
            for (int x = static_cast<int>(width) - 8; x < static_cast<int>(width); ++x) {
                ink += rep->pixel(x, y).a > 128 ? 1 : 0;
            }
        }
        return ink;
    };
    EXPECT_EQ(tallInkAtEnd(false), 0);
    EXPECT_GT(tallInkAtEnd(true), 10);
}

TEST(FieldEditor, ALongLineKeepsCaretClicksAndDrawingInStepAndDrawsOnlyWhatShows) {
    Form f;
    auto backend = std::make_shared<uitest::FakeBackend>(Size(240, 120), 1.0);
    f.window->setBackend(backend);
    std::string text;
    for (int i = 0; text.size() < 2000; ++i) {
        text += "word" + std::to_string(i) + " ";
    }
    f.first->setStringValue(text);
    f.click(f.first, 5);
    auto editor = f.first->currentEditor();
    ASSERT_NE(editor, nullptr);
    editor->setSelectedRange(text.size(), 0);
    f.key("x");
    ASSERT_EQ(f.first->stringValue(), text + "x");
    // The caret stays in view, and each position measures where a click there lands.
    const double caret = editor->caretOffset(text.size() + 1);
    EXPECT_GT(caret, 0);
    EXPECT_LE(caret, editor->bounds().width());
    for (std::size_t index : {text.size() - 40, text.size() - 7, text.size() + 1}) {
        EXPECT_EQ(editor->characterIndexForX(editor->caretOffset(index) + 0.1), index);
    }
    // Positions grow along the line, across the pieces it is measured in.
    double last = -1e9;
    for (std::size_t index = text.size() - 200; index <= text.size(); index += 13) {
        const double x = editor->caretOffset(index);
        EXPECT_GT(x, last);
        last = x;
    }
    backend->recorder()->clear();
    f.window->display();
    bool drawn = false;
    for (const auto& op : backend->recorder()->ops(graphics::DrawOpKind::text)) {
        if (op.text.find("x") != std::string::npos && op.text.size() < 400 &&
            text.find(op.text.substr(0, 20)) != std::string::npos) {
            drawn = true;
            EXPECT_NE(op.text.back(), ' '); // it ends with the typed character, the end of the line
        }
    }
    EXPECT_TRUE(drawn) << backend->recorder()->dump();

    // Edits in the middle, undone and redone, leave the positions a fresh layout of the text measures.
    editor->setSelectedRange(1000, 0);
    for (const char* c : {"a", " ", "b"}) {
        f.key(c);
    }
    editor->setSelectedRange(300, 700);
    f.key(ui::utf8(ui::SpecialKey::backspace));
    f.key("z", ui::Modifier::control);
    f.key("z", ui::Modifier::control);
    f.key("Z", ui::Modifier::control | ui::Modifier::shift);
    const std::string edited = f.first->stringValue();
    ASSERT_EQ(edited, text.substr(0, 1000) + "a b" + text.substr(1000) + "x");
    auto fresh = std::make_shared<ui::Text>(editor->bounds());
    fresh->setFont(editor->font());
    fresh->setString(edited);
    for (std::size_t index = 0; index <= edited.size(); index += 97) {
        EXPECT_NEAR(editor->caretOffset(index) - editor->caretOffset(0),
                    fresh->caretOffset(index) - fresh->caretOffset(0), 1e-6)
            << index;
    }
}
