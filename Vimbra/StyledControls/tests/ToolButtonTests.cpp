// The tool button's second action (press-and-hold, right- and Control-click), its toggling and its
// drawing, driven by real events on the headless back end with a manual clock.
#include "Vimbra/StyledControls/ToolButton.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/Clock.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "ui/Menu.hpp"
#include "ui/MenuTracking.hpp"

#include <chrono>
#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Rect;

namespace {

struct ToolScene : vimbratest::Scene {
    std::shared_ptr<core::ManualClock> clock = std::make_shared<core::ManualClock>();
    core::RunLoop loop{core::MainQueue::shared(), clock};
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"primary:", "secondary:"});
    std::shared_ptr<ToolButton> button = std::make_shared<ToolButton>(Rect(20, 20, 24, 24));
    graphics::Point inside;

    ToolScene() : Scene(Rect(200, 300, 120, 80)) {
        window->setAnimationRunLoop(&loop);
        button->setTarget(receiver);
        button->setAction("primary:");
        button->setSecondaryTarget(receiver);
        button->setSecondaryAction("secondary:");
        add(button);
        inside = vimbratest::centre(*button);
    }
    ~ToolScene() {
        ui::Event::setDoubleClickInterval(0.5);
        window->setAnimationRunLoop(nullptr);
    }
    void wait(int milliseconds) {
        clock->advance(std::chrono::milliseconds(milliseconds));
        loop.fireDueTimers();
    }
    std::vector<graphics::RecordedOp> redraw() {
        backend->recorder()->clear();
        window->contentView()->setNeedsDisplay();
        backend->displayIfNeeded();
        return backend->recorder()->ops();
    }
    std::size_t drawnImages(const std::string& name) {
        std::size_t count = 0;
        for (const auto& op : redraw()) {
            count += op.kind == DrawOpKind::image && op.imageName == name ? 1 : 0;
        }
        return count;
    }
    using Log = std::vector<std::string>;
};

} // namespace

TEST(ToolButton, HoldingSendsOnlyTheSecondActionOnceAndEndsThePress) {
    ToolScene s;
    s.backend->mouseDown(s.inside);
    EXPECT_TRUE(s.button->isHighlighted());
    EXPECT_TRUE(s.window->isWaitingForMouseUp());
    s.wait(400);
    EXPECT_TRUE(s.receiver->log.empty());
    s.backend->mouseDragged({s.inside.x + 1, s.inside.y});
    s.wait(200);
    EXPECT_EQ(s.receiver->log, ToolScene::Log{"secondary:"});
    EXPECT_EQ(s.receiver->senders[0], s.button);
    EXPECT_FALSE(s.button->isHighlighted());
    s.wait(2000);
    s.backend->mouseUp(s.inside);
    EXPECT_EQ(s.receiver->log, ToolScene::Log{"secondary:"});
    EXPECT_EQ(s.button->state(), ui::StateValue::off);
    EXPECT_FALSE(s.button->isHighlighted());
}

TEST(ToolButton, AQuickClickSendsThePrimaryActionAndToggles) {
    ToolScene s;
    s.backend->mouseDown(s.inside);
    s.wait(100);
    s.backend->mouseUp(s.inside);
    EXPECT_EQ(s.receiver->log, ToolScene::Log{"primary:"});
    EXPECT_EQ(s.button->state(), ui::StateValue::on);
    EXPECT_FALSE(s.button->isHighlighted());
    s.wait(1000);
    EXPECT_EQ(s.receiver->log.size(), 1u);

    // A press dragged out and released outside is no click.
    s.backend->mouseDown(s.inside);
    s.backend->mouseDragged({100, 70});
    s.backend->mouseUp({100, 70});
    EXPECT_EQ(s.receiver->log.size(), 1u);
    EXPECT_EQ(s.button->state(), ui::StateValue::on);
    EXPECT_FALSE(s.button->isHighlighted());
}

TEST(ToolButton, WithoutASecondActionOrOnADoubleClickNothingWaits) {
    ToolScene s;
    s.backend->mouseDown(s.inside, 0, 1);
    s.backend->mouseUp(s.inside, 0, 1);
    s.backend->mouseDown(s.inside, 0, 2);
    EXPECT_FALSE(s.window->isWaitingForMouseUp());
    s.wait(1000);
    s.backend->mouseUp(s.inside, 0, 2);
    EXPECT_EQ(s.receiver->log, (ToolScene::Log{"primary:", "primary:"}));

    s.button->setSecondaryAction({});
    s.backend->mouseDown(s.inside);
    EXPECT_FALSE(s.window->isWaitingForMouseUp());
    s.wait(1000);
    s.backend->mouseUp(s.inside);
    EXPECT_EQ(s.receiver->log.size(), 3u);
}

TEST(ToolButton, RightAndControlClicksSendTheSecondActionAndNeverTrack) {
    ToolScene s;
    auto menu = std::make_shared<ui::Menu>("context");
    menu->addItem("Item", "primary:");
    s.button->setMenu(menu);
    s.backend->rightMouseDown(s.inside);
    s.backend->rightMouseUp(s.inside);
    EXPECT_EQ(s.receiver->log, ToolScene::Log{"secondary:"});
    EXPECT_EQ(s.window->menuTracking(), nullptr); // the base's context menu never opened

    s.backend->mouseDown(s.inside, ui::Modifier::control);
    s.wait(100);
    s.backend->mouseUp(s.inside, ui::Modifier::control);
    EXPECT_EQ(s.receiver->log, (ToolScene::Log{"secondary:", "secondary:"}));
    EXPECT_EQ(s.button->state(), ui::StateValue::off);
    EXPECT_EQ(s.window->menuTracking(), nullptr);

    // Without a second action a Control-click still does nothing else.
    s.button->setSecondaryAction({});
    s.backend->mouseDown(s.inside, ui::Modifier::control);
    EXPECT_FALSE(s.button->isHighlighted());
    s.backend->mouseUp(s.inside, ui::Modifier::control);
    EXPECT_EQ(s.receiver->log.size(), 2u);
    EXPECT_EQ(s.button->state(), ui::StateValue::off);
}

TEST(ToolButton, AGoneSecondaryTargetLeavesTheActionToTheResponderChain) {
    ToolScene s;
    auto chain = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"secondary:"});
    s.window->setDelegate(chain);
    {
        auto temporary = std::make_shared<ui::Object>();
        s.button->setSecondaryTarget(temporary);
    }
    s.backend->rightMouseDown(s.inside);
    EXPECT_EQ(chain->log, ToolScene::Log{"secondary:"});
}

TEST(ToolButton, LosingKeyStatusDuringTheWaitEndsThePressUnhighlighted) {
    ToolScene s;
    s.backend->mouseDown(s.inside);
    ASSERT_TRUE(s.button->isHighlighted());
    s.backend->focusOut();
    EXPECT_FALSE(s.button->isHighlighted());
    s.wait(1000);
    EXPECT_TRUE(s.receiver->log.empty());
}

TEST(ToolButton, DrawsTheToolBezelByStateAndTheMoreMarkerOnRequest) {
    ToolScene s;
    EXPECT_EQ(s.drawnImages("corner-tool-background"), 1u);
    EXPECT_EQ(s.drawnImages("corner-tool-more"), 0u);
    s.backend->mouseDown(s.inside);
    EXPECT_EQ(s.drawnImages("corner-tool-background-down"), 1u);
    s.wait(100);
    s.backend->mouseUp(s.inside);
    EXPECT_EQ(s.drawnImages("corner-tool-background-selected"), 1u);

    s.button->setShowMoreIcon(true);
    EXPECT_TRUE(s.button->needsDisplay());
    EXPECT_EQ(s.drawnImages("corner-tool-more"), 1u);
    auto cell = std::dynamic_pointer_cast<ToolButtonCell>(s.button->cell());
    cell->setShowMoreIcon(false);
    EXPECT_EQ(s.drawnImages("corner-tool-more"), 0u);

    const auto bezel = ToolButtonCell::sharedToolStyle()->bezelImageForState(StyledControlState::default_);
    s.button->setState(ui::StateValue::off);
    EXPECT_EQ(s.button->intrinsicContentSize().height, bezel->height());
    EXPECT_GE(s.button->intrinsicContentSize().width, bezel->width());
}

TEST(ToolButton, ADisabledButtonSendsNothing) {
    ToolScene s;
    s.button->setEnabled(false);
    s.backend->mouseDown(s.inside);
    EXPECT_FALSE(s.button->isHighlighted());
    s.wait(1000);
    s.backend->mouseUp(s.inside);
    s.backend->rightMouseDown(s.inside);
    s.backend->mouseDown(s.inside, ui::Modifier::control);
    s.backend->mouseUp(s.inside, ui::Modifier::control);
    EXPECT_TRUE(s.receiver->log.empty());
}

TEST(ToolButton, ItsImageSitsOnePointBelowTheMiddleByTheToolStyleInsets) {
    ToolScene s;
    s.button->setImage(graphics::Image::draw({12, 12}, 1.0, [](graphics::GraphicsContext& context) {
        context.fillRect(Rect(0, 0, 12, 12), graphics::Color::whiteColor());
    }));
    s.button->image()->setName("glyph");
    std::vector<graphics::RecordedOp> glyphs;
    for (const auto& op : s.redraw()) {
        if (op.kind == DrawOpKind::image && op.imageName == "glyph") {
            glyphs.push_back(op);
        }
    }
    ASSERT_EQ(glyphs.size(), 1u);
    // The image rect is the bounds moved down by the bottom inset (1); the glyph is centred in it.
    const Rect frame = s.button->convertRectToView(s.button->bounds(), nullptr);
    const double top = s.window->contentView()->bounds().height() - frame.maxY();
    EXPECT_EQ(glyphs[0].deviceRect, Rect(frame.minX() + 6, top + 7, 12, 12));
}
