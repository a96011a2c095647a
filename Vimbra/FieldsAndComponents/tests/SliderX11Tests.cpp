// The declarative slider on a real X server, driven by XTest: the pointer, its button and the modifier
// keys really move, so the server's event state (Shift and Alt held) reaches the slider's gestures.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/FieldsAndComponents/Slider.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/tests/X11TestFixture.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

using graphics::Rect;

namespace {

class X11Slider : public displaytest::X11TestFixture {
protected:
    // A slider filling a 132 by 40 window: its track runs from x 16 to 116 (100 points for the range
    // 0...100), its icons at 2...16 and 116...130.
    void SetUp() override {
        openDisplay();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        model = std::make_shared<vimbra::SornSliderModel>(std::vector<double>{50}, 0, 100, 10, false, 25,
                                                          vimbra::SliderIconClickBehaviour::increment);
        for (auto* callback : {&model->onSlideStarted, &model->onSlideOngoing, &model->onSlideComplete}) {
            const char* what = callback == &model->onSlideStarted   ? "started "
                               : callback == &model->onSlideOngoing ? "ongoing "
                                                                    : "complete ";
            *callback = [this, what](double v) { log.push_back(what + std::to_string(std::lround(v))); };
        }
        window = ui::Window::make(Rect(0, 0, 132, 40));
        window->setContentView(declarative::HostingView::make(
            declarative::View(vimbra::SornSlider{model, nullptr, nullptr}), Rect(0, 0, 132, 40)));
        showWindow(window, backend);
        if (HasFatalFailure()) {
            return;
        }
        // The slider learns its track's width in its first layout and takes it on the next turn, which
        // draws again: only then do pointer positions map onto the track.
        ASSERT_TRUE(pumpUntil([&] { return backend->presentedFrames() >= 2; }));
    }

    // A point of the window (top-left origin) in root pixels.
    std::pair<int, int> at(int x, int y) const { return input.rootPosition(backend->xid(), x, y); }
    void moveTo(int x) {
        const auto p = at(x, 20);
        input.moveTo(p.first, p.second);
    }
    testing::AssertionResult logEnds(const std::string& last) {
        if (pumpUntil([&] { return !log.empty() && log.back() == last; })) {
            return testing::AssertionSuccess();
        }
        std::string seen;
        for (const auto& entry : log) {
            seen += " \"" + entry + "\"";
        }
        return testing::AssertionFailure() << "the log ends" << (seen.empty() ? " empty" : seen);
    }

    vimbratest::ApplicationScope scope;
    // Declared before the window: a window closed mid-drag still reports the drag's end into it.
    std::vector<std::string> log;
    std::shared_ptr<vimbra::SornSliderModel> model;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::X11WindowBackend> backend;
};

} // namespace

TEST_F(X11Slider, DragsStepsWithShiftResetsWithAltAndStepsFromItsIcons) {
    // A press off the knob jumps there; the drag follows the pointer.
    moveTo(16 + 20);
    input.button(1, true);
    ASSERT_TRUE(logEnds("started 20"));
    moveTo(16 + 30);
    ASSERT_TRUE(logEnds("ongoing 30"));
    input.button(1, false);
    ASSERT_TRUE(logEnds("complete 30"));

    // With Shift held the value moves in whole steps, reported once per step.
    log.clear();
    input.key(XK_Shift_L, true);
    moveTo(16 + 42);
    input.button(1, true);
    ASSERT_TRUE(logEnds("started 42"));
    moveTo(16 + 44);
    ASSERT_TRUE(logEnds("ongoing 40"));
    moveTo(16 + 46);
    moveTo(16 + 47);
    ASSERT_TRUE(logEnds("ongoing 50"));
    input.button(1, false);
    input.key(XK_Shift_L, false);
    ASSERT_TRUE(logEnds("complete 50"));
    EXPECT_EQ(log, (std::vector<std::string>{"started 42", "ongoing 40", "ongoing 50", "complete 50"}));

    // Alt (the option key) and a click: back to the default, no drag.
    log.clear();
    input.key(XK_Alt_L, true);
    const auto track = at(16 + 80, 20);
    input.click(track.first, track.second);
    input.key(XK_Alt_L, false);
    ASSERT_TRUE(logEnds("complete 25"));
    EXPECT_EQ(log, (std::vector<std::string>{"complete 25"}));

    // The icons step down and up by the increment.
    const auto left = at(8, 20);
    input.click(left.first, left.second);
    ASSERT_TRUE(logEnds("complete 15"));
    const auto right = at(124, 20);
    input.click(right.first, right.second);
    ASSERT_TRUE(logEnds("complete 25"));
    EXPECT_EQ(model->value.get(), 25.0);
}
