// Option-clicks on a real X server: window managers take Alt-click for themselves, so Control with Alt
// reaches the kit's option gestures (the morph pad's reset, the knob's reset, the image button's option
// press) as the option key alone, while a Control-click stays a secondary click.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../../platform/display/tests/InputTree.hpp"
#include "../../../platform/display/tests/XSendEvents.hpp"
#include "../../../platform/display/tests/Xvfb.hpp"
#include "EditorSupport.hpp"
#include "ZeltoCore/ParameterButtons.hpp"
#include "ZeltoDialsCore/KnobControl.hpp"
#include "declarative/Hosting.hpp"
#include "extension/editor/WaveformMorphPadView.hpp"

#include <X11/Xlib.h>

using namespace edtest;
using displaytest::pumpUntil;
using displaytest::sendClick;

namespace {

// A plain view beside the kit's: the modifiers of its presses, and how many were secondary clicks (the
// window asks a view for its context menu only then).
class ClickRecorder : public ui::View {
public:
    using ui::View::View;
    std::shared_ptr<ui::Menu> menuForEvent(const ui::Event& event) override {
        if (event.type == ui::EventType::leftMouseDown) {
            ++secondaryClicks;
        }
        return ui::View::menuForEvent(event);
    }
    void mouseDown(const ui::Event& event) override { presses.push_back(event.modifierFlags); }

    int secondaryClicks = 0;
    std::vector<ui::ModifierFlags> presses;
};

constexpr unsigned controlAlt = ControlMask | Mod1Mask;

} // namespace

TEST(X11OptionClick, ControlAltReachesEveryOptionGestureAndControlAloneStaysASecondaryClick) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);
    displaytest::Cleanup cleanup;
    useBuildTreeResources();

    // Top-left in the window: the pad (96 x 146), then the knob (40 x 40), then the image button
    // (48 x 56); the recorder takes the window's right part.
    const auto settings = Settings::create();
    const auto knob = settings->mix();
    std::vector<bool> imagePresses;
    const auto blank = graphics::Image::make({48, 56});
    View content =
        HStack({.alignment = VerticalAlignment::top, .spacing = 0},
               {View(editor::WaveformMorphPadView{settings->morphX(), settings->morphY(), 96, 146}),
                View(zelto::KnobControl{
                    knob, 6.0, 0.005f, 51,
                    [](int) { return ColorView(graphics::Color::rgba(1, 0, 0)).frame(40, 40); }}),
                View(zelto::ImageButton(declarative::Image(blank), declarative::Image(blank),
                                        [&](bool option) { imagePresses.push_back(option); }))})
            .frame(300, 200, Alignment::topLeading());
    auto window = ui::Window::make(graphics::Rect(0, 0, 400, 200));
    auto root = std::make_shared<ui::View>(graphics::Rect(0, 0, 400, 200));
    root->addSubview(declarative::HostingView::make(std::move(content), graphics::Rect(0, 0, 300, 200)));
    auto recorder = std::make_shared<ClickRecorder>(graphics::Rect(300, 0, 100, 200));
    root->addSubview(recorder);
    window->setContentView(root);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    ::Display* dpy = display->xdisplay();
    const auto xid = backend->xid();

    settings->morphX()->setValue(0.9f, ParameterEditor::parameterObserver, ParameterEditorState::change);
    settings->morphY()->setValue(0.1f, ParameterEditor::parameterObserver, ParameterEditorState::change);
    knob->setValue(knob->valueRange().lowerBound, ParameterEditor::parameterObserver,
                   ParameterEditorState::change);
    core::MainQueue::shared().drain();
    ASSERT_NE(knob->value(), knob->defaultValue());

    // The pad goes back to its middle, and its release sends no position.
    sendClick(dpy, xid, 20, 120, controlAlt);
    ASSERT_TRUE(pumpUntil(*display, [&] { return settings->morphX()->value() == 0.5f; }));
    EXPECT_EQ(settings->morphY()->value(), 0.5f);

    // The knob goes back to its default.
    sendClick(dpy, xid, 116, 20, controlAlt);
    ASSERT_TRUE(pumpUntil(*display, [&] { return knob->value() == knob->defaultValue(); }));

    // The image button reports the option key, with the chord and not without it.
    sendClick(dpy, xid, 160, 28, controlAlt);
    sendClick(dpy, xid, 160, 28);
    ASSERT_TRUE(pumpUntil(*display, [&] { return imagePresses.size() == 2; }));
    EXPECT_EQ(imagePresses, (std::vector<bool>{true, false}));

    // Elsewhere the chord is the option key alone, and Control alone is still a secondary click.
    sendClick(dpy, xid, 350, 100, controlAlt);
    sendClick(dpy, xid, 350, 100, ControlMask);
    sendClick(dpy, xid, 350, 100, Mod1Mask);
    ASSERT_TRUE(pumpUntil(*display, [&] { return recorder->presses.size() == 3; }));
    EXPECT_EQ(recorder->presses, (std::vector<ui::ModifierFlags>{ui::Modifier::option, ui::Modifier::control,
                                                                 ui::Modifier::option}));
    EXPECT_EQ(recorder->secondaryClicks, 1);

    window->close();
    display->detach();
    core::MainQueue::shared().drain();
}
