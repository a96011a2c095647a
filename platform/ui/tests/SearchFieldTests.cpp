#include "Helpers.hpp"
#include "core/RunLoop.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/SearchField.hpp"
#include "ui/ToolTip.hpp"

#include <chrono>
#include <gtest/gtest.h>

using graphics::Point;
using graphics::Rect;
using ui::EventType;

namespace {

// A key window holding a search field (200 by 22 at (20, 40)) with a target that records each action's
// string.
struct SearchScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 260, 100));
    std::shared_ptr<ui::SearchField> field = std::make_shared<ui::SearchField>(Rect(20, 40, 200, 22));
    std::shared_ptr<ui::Responder> target = std::make_shared<ui::Responder>();
    std::vector<std::string> actions;

    SearchScene() {
        window->contentView()->addSubview(field);
        target->setActionHandler("search:", [this](const std::shared_ptr<ui::Object>& sender) {
            actions.push_back(std::dynamic_pointer_cast<ui::SearchField>(sender)->stringValue());
        });
        field->setTarget(target);
        field->setAction("search:");
        window->makeKeyWindow();
    }
    void type(const std::string& text) {
        window->sendEvent(ui::Event::keyEvent(EventType::keyDown, text, text, 0, 0, 0, window));
    }
    // Down and up at a point of the field's own (flipped) coordinates; the up may go elsewhere.
    void click(Point local, std::optional<Point> upAt = std::nullopt) {
        const Point down = field->convertPointToView(local, nullptr);
        const Point up = field->convertPointToView(upAt.value_or(local), nullptr);
        window->sendEvent(uitest::mouse(EventType::leftMouseDown, down.x, down.y, window));
        if (upAt) {
            window->sendEvent(uitest::mouse(EventType::leftMouseDragged, up.x, up.y, window));
        }
        window->sendEvent(uitest::mouse(EventType::leftMouseUp, up.x, up.y, window));
    }
    Point cancelCentre() const {
        const Rect r = field->searchFieldCell()->cancelButtonRectForBounds(field->bounds());
        return {r.midX(), r.midY()};
    }
};

} // namespace

TEST(SearchField, ButtonsSitAtTheEndsAndTheTextBetween) {
    ui::SearchFieldCell cell;
    const Rect bounds(0, 0, 200, 22);
    const Rect search = cell.searchButtonRectForBounds(bounds);
    const Rect cancel = cell.cancelButtonRectForBounds(bounds);
    const Rect text = cell.searchTextRectForBounds(bounds);
    EXPECT_EQ(search, Rect(6, 3, 16, 16));
    EXPECT_EQ(cancel, Rect(180, 3, 16, 16));
    EXPECT_EQ(text, Rect(24, 3, 154, 16));
    // A low field gets smaller buttons; without a cancel button its rect is zero and the text runs on.
    EXPECT_EQ(cell.searchButtonRectForBounds(Rect(0, 0, 100, 16)).size, graphics::Size(12, 12));
    cell.setCancelButtonCell(nullptr);
    EXPECT_EQ(cell.cancelButtonRectForBounds(bounds), Rect());
    EXPECT_EQ(cell.searchTextRectForBounds(bounds).maxX(), 196);
    EXPECT_EQ(ui::SearchField().intrinsicContentSize(), graphics::Size(ui::View::noIntrinsicMetric, 22));
}

TEST(SearchField, EveryEditSendsTheActionUnlessOnlyWholeStringsAreSent) {
    SearchScene s;
    s.click({60, 11});
    auto editor = s.field->currentEditor();
    ASSERT_NE(editor, nullptr);
    // The editor covers the text area only, so the buttons stay clickable.
    EXPECT_EQ(editor->frame().minX(),
              s.field->searchFieldCell()->searchTextRectForBounds(s.field->bounds()).minX() + 2);
    EXPECT_LT(editor->frame().maxX(), s.cancelCentre().x);
    s.type("a");
    s.type("b");
    s.type(ui::utf8(ui::SpecialKey::backspace));
    EXPECT_EQ(s.actions, (std::vector<std::string>{"a", "ab", "a"}));

    s.actions.clear();
    s.field->setSendsWholeSearchString(true);
    s.type("c");
    EXPECT_TRUE(s.actions.empty());
    s.type(ui::utf8(ui::SpecialKey::carriageReturn));
    EXPECT_EQ(s.actions, (std::vector<std::string>{"ac"}));
}

TEST(SearchField, TheCancelButtonClearsTheTextAndSendsTheAction) {
    SearchScene s;
    s.field->setStringValue("fox");
    // Released outside the button: nothing happens.
    s.click(s.cancelCentre(), Point{100, 11});
    EXPECT_EQ(s.field->stringValue(), "fox");
    EXPECT_TRUE(s.actions.empty());
    EXPECT_FALSE(s.field->searchFieldCell()->cancelButtonCell()->isHighlighted());

    s.click(s.cancelCentre());
    EXPECT_EQ(s.field->stringValue(), "");
    EXPECT_EQ(s.actions, (std::vector<std::string>{""}));
    // With no text there is no button: a click there starts editing instead of sending.
    s.click(s.cancelCentre());
    EXPECT_EQ(s.actions.size(), 1u);

    // While editing, the button clears the editor's text too and editing goes on.
    s.click({60, 11});
    s.type("d");
    s.type("o");
    auto editor = s.field->currentEditor();
    ASSERT_NE(editor, nullptr);
    s.actions.clear();
    s.click(s.cancelCentre());
    EXPECT_EQ(editor->string(), "");
    EXPECT_EQ(s.field->currentEditor(), editor);
    EXPECT_EQ(s.actions, (std::vector<std::string>{""}));
}

TEST(SearchField, TheCancelButtonIsDrawnOnlyWithText) {
    uitest::WindowScope scope;
    auto field = std::make_shared<ui::SearchField>(Rect(0, 0, 120, 22));
    field->setPlaceholderString("Search");
    field->setBezeled(false); // no rounded frame or background near the button
    field->setDrawsBackground(false);
    auto inkAt = [&](const Rect& area) {
        graphics::BitmapCanvas canvas({120, 22}, 1, true);
        graphics::GraphicsContext::CurrentScope current(canvas.context());
        field->cell()->drawWithFrame(field->bounds(), *field);
        int ink = 0;
        for (int y = static_cast<int>(area.minY()); y < static_cast<int>(area.maxY()); ++y) {
            for (int x = static_cast<int>(area.minX()); x < static_cast<int>(area.maxX()); ++x) {
                ink += canvas.pixel(x, y).a > 128 ? 1 : 0;
            }
        }
        return ink;
    };
    const Rect cancel = field->searchFieldCell()->cancelButtonRectForBounds(field->bounds()).insetBy(2, 2);
    EXPECT_EQ(inkAt(cancel), 0);
    field->setStringValue("x");
    EXPECT_GT(inkAt(cancel), 20);
}

namespace {

const std::string longText = "The quick brown fox jumps over the lazy dog and keeps on running";

// The rows of a 160 by 60 field's drawing that hold ink.
std::pair<int, int> inkRows(ui::TextField& field) {
    graphics::BitmapCanvas canvas({160, 60}, 1, true);
    graphics::GraphicsContext::CurrentScope current(canvas.context());
    field.cell()->drawWithFrame(field.bounds(), field);
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 160; ++x) {
            if (canvas.pixel(x, y).a > 128) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
        }
    }
    return {top, bottom};
}

} // namespace

TEST(TextFieldLines, TheLineLimitWrapsAndTruncatesTheDrawnText) {
    auto field = ui::TextField::labelWithString(longText);
    field->setFrame(Rect(0, 0, 160, 60));
    field->setLineBreakMode(graphics::LineBreakMode::truncatingTail);
    const double line = field->cell()->attributedTitle().size().height;
    const auto one = inkRows(*field);
    ASSERT_GE(one.first, 0);
    EXPECT_LT(one.second - one.first, line);

    field->setMaximumNumberOfLines(2);
    const auto two = inkRows(*field);
    EXPECT_GT(two.second - two.first, line);
    EXPECT_LT(two.second - two.first, 2 * line);
    const std::string shown = field->cell()->attributedTitle().displayedText(160);
    EXPECT_EQ(shown.rfind("\u2026"), shown.size() - 3) << shown;

    // Wrapped text without a limit takes three lines here; the limit keeps two.
    field->setLineBreakMode(graphics::LineBreakMode::wordWrap);
    field->setMaximumNumberOfLines(0);
    EXPECT_GT(inkRows(*field).second - one.first, 2 * line);
    field->setMaximumNumberOfLines(2);
    EXPECT_LT(inkRows(*field).second - one.first, 2 * line);
}

TEST(TextFieldLines, TruncationIsToldForTheFieldsFrame) {
    auto field = ui::TextField::labelWithString(longText);
    field->setLineBreakMode(graphics::LineBreakMode::truncatingTail);
    auto cell = field->textFieldCell();
    EXPECT_TRUE(cell->isTextTruncatedInFrame(Rect(0, 0, 100, 20)));
    EXPECT_FALSE(cell->isTextTruncatedInFrame(Rect(0, 0, 2000, 20)));
    // Two lines in a rect high enough for them still cut this text; a rect one line high clips the second.
    cell->setMaximumNumberOfLines(2);
    EXPECT_TRUE(cell->isTextTruncatedInFrame(Rect(0, 0, 160, 60)));
    cell->setLineBreakMode(graphics::LineBreakMode::wordWrap);
    cell->setMaximumNumberOfLines(0);
    EXPECT_FALSE(cell->isTextTruncatedInFrame(Rect(0, 0, 160, 200)));
    EXPECT_TRUE(cell->isTextTruncatedInFrame(Rect(0, 0, 160, 20)));
    cell->setLineBreakMode(graphics::LineBreakMode::clipping);
    EXPECT_TRUE(cell->isTextTruncatedInFrame(Rect(0, 0, 100, 20)));
}

namespace {

// A window stepped by a manual clock with a field that allows expansion tool tips.
struct HoverScene {
    uitest::WindowScope scope;
    std::shared_ptr<core::ManualClock> clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop{queue, clock};
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(100, 300, 300, 100));
    std::shared_ptr<ui::TextField> field = ui::TextField::labelWithString(longText);

    HoverScene() {
        window->setAnimationRunLoop(&loop);
        field->setFrame(Rect(20, 40, 120, 22));
        field->setLineBreakMode(graphics::LineBreakMode::truncatingTail);
        field->setAllowsExpansionToolTips(true);
        window->contentView()->addSubview(field);
        window->makeKeyAndOrderFront();
    }
    ~HoverScene() { window->setAnimationRunLoop(nullptr); }
    void moveTo(Point p) { window->sendEvent(uitest::mouse(EventType::mouseMoved, p.x, p.y, window)); }
    void wait(double seconds) {
        clock->advance(
            std::chrono::duration_cast<core::Clock::Duration>(std::chrono::duration<double>(seconds)));
        loop.fireDueTimers();
    }
};

} // namespace

TEST(ExpansionToolTip, AppearsAfterTheHoverDelayOnlyForCutText) {
    HoverScene s;
    s.moveTo({60, 50});
    s.wait(0.6);
    s.moveTo({70, 50}); // moving starts the delay again
    s.wait(0.6);
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);
    s.wait(0.5);
    auto tip = s.field->expansionToolTipWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->isPopUp());
    EXPECT_TRUE(tip->isVisible());
    EXPECT_FALSE(tip->isKeyWindow());
    EXPECT_TRUE(s.window->isKeyWindow());
    auto view = std::dynamic_pointer_cast<ui::ToolTipView>(tip->contentView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->text().string(), longText);
    // Below the field, lined up with its leading edge: the field spans y 340 to 362 on screen.
    EXPECT_EQ(tip->frame().minX(), 120);
    EXPECT_EQ(tip->frame().maxY(), 338);
    EXPECT_GT(tip->frame().width(), s.field->frame().width());

    // Leaving the field closes it.
    s.moveTo({200, 90});
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);
    EXPECT_TRUE(tip->isClosed());

    // Text that fits shows no tip, however long the pointer rests.
    s.field->setStringValue("fox");
    s.moveTo({60, 50});
    s.wait(5);
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);

    // Nor does a field that does not allow them.
    s.field->setStringValue(longText);
    s.field->setAllowsExpansionToolTips(false);
    s.moveTo({200, 90});
    s.moveTo({60, 50});
    s.wait(5);
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);
}

TEST(ExpansionToolTip, APressClosesItAndCancelsThePendingOne) {
    HoverScene s;
    s.moveTo({60, 50});
    s.wait(1.1);
    auto tip = s.field->expansionToolTipWindow();
    ASSERT_NE(tip, nullptr);
    s.window->sendEvent(uitest::mouse(EventType::leftMouseDown, 60, 50, s.window));
    s.window->sendEvent(uitest::mouse(EventType::leftMouseUp, 60, 50, s.window));
    EXPECT_TRUE(tip->isClosed());
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);
    // Taking the field out of its window drops a tip that was about to show.
    s.moveTo({200, 90});
    s.moveTo({60, 50});
    s.field->removeFromSuperview();
    s.wait(2);
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);
}

TEST(ExpansionToolTip, GoesWithTheFieldsWindowWhenItIsOrderedOutOrClosed) {
    HoverScene s;
    s.moveTo({60, 50});
    s.wait(1.1);
    auto tip = s.field->expansionToolTipWindow();
    ASSERT_NE(tip, nullptr);
    s.window->orderOut();
    EXPECT_TRUE(tip->isClosed());
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);

    // One about to show does not show over a window that has gone.
    s.window->makeKeyAndOrderFront();
    s.moveTo({200, 90});
    s.moveTo({60, 50});
    s.window->orderOut();
    s.wait(2);
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);

    s.window->makeKeyAndOrderFront();
    s.moveTo({200, 90});
    s.moveTo({60, 50});
    s.wait(1.1);
    tip = s.field->expansionToolTipWindow();
    ASSERT_NE(tip, nullptr);
    s.window->close();
    EXPECT_TRUE(tip->isClosed());
    EXPECT_EQ(s.field->expansionToolTipWindow(), nullptr);
}
