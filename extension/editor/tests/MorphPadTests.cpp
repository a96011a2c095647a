// The morph pad through a hosting view: the edits it sends for clicks, drags and option-clicks, and the
// dot it draws.

#include "EditorSupport.hpp"
#include "extension/editor/WaveformMorphPadView.hpp"

#include <gtest/gtest.h>

using namespace edtest;
using editor::WaveformMorphPadView;
using Phase = zelto::ParameterEditorState;

namespace {

// The pad reads its parameters from the settings, as the editor builds it.
struct PadFromSettings {
    View body(Context& context) const {
        auto settings = context.environmentObject<Settings>();
        return WaveformMorphPadView{settings->morphX(), settings->morphY(), 96, 146};
    }
};

constexpr std::size_t morphXField = 9;
constexpr std::size_t morphYField = 10;
constexpr Point origin{50, 20}; // the pad's top-left corner in the host

struct Pad {
    EditLog log = std::make_shared<std::vector<Edit>>();
    EditorHarness e{View(PadFromSettings{})
                        .padding(EdgeInsets{origin.y, origin.x, 0, 0})
                        .frame(200, 200, Alignment::topLeading()),
                    {200, 200}};
    std::shared_ptr<LoggingParameter> x = logEdits(*e.settings, morphXField, log);
    std::shared_ptr<LoggingParameter> y = logEdits(*e.settings, morphYField, log);

    Pad() { e.harness.settle(); }
    static Point at(double px, double py) { return {origin.x + px, origin.y + py}; }
    void down(Point p, ui::ModifierFlags f = 0) { e.harness.down(p, f); }
    void drag(Point p, ui::ModifierFlags f = 0) { e.harness.drag(p, f); }
    void up(Point p, ui::ModifierFlags f = 0) {
        e.harness.up(p, f);
        core::MainQueue::shared().drain();
        e.harness.settle();
    }
    // The dot image drawn and its centre.
    std::pair<graphics::ImageRef, Point> dot() {
        const auto ops = e.harness.record(graphics::DrawOpKind::image);
        if (ops.empty()) {
            return {};
        }
        return {std::const_pointer_cast<graphics::Image>(ops.back().image),
                {ops.back().rect.midX(), ops.back().rect.midY()}};
    }
};

Edit X(float v, Phase s) {
    return {"morphX", v, s};
}
Edit Y(float v, Phase s) {
    return {"morphY", v, s};
}

} // namespace

TEST(MorphPad, AClickWithoutMovementSendsBeginAndEndAtThePointAndMovesTheDotThere) {
    Pad pad;
    EXPECT_EQ(pad.dot().second, Pad::at(48, 73)); // both parameters start at 0.5
    pad.down(Pad::at(24, 36.5));
    pad.up(Pad::at(24, 36.5));
    EXPECT_EQ(*pad.log,
              (std::vector<Edit>{X(0.25f, Phase::beginInteractive), Y(0.25f, Phase::beginInteractive),
                                 X(0.25f, Phase::endInteractive), Y(0.25f, Phase::endInteractive)}));
    EXPECT_EQ(pad.x->value(), 0.25f);
    const auto [image, centre] = pad.dot();
    EXPECT_EQ(image, editor::assets::morphDot());
    EXPECT_EQ(centre, Pad::at(24, 36.5));
}

TEST(MorphPad, DraggingBeyondThePadClampsToItsEdgesWithTheTopEdgeAtZero) {
    Pad pad;
    pad.down(Pad::at(48, 0));
    pad.drag(Pad::at(-40, -15));
    pad.drag(Pad::at(140, 180));
    pad.up(Pad::at(140, 180));
    EXPECT_EQ(*pad.log, (std::vector<Edit>{X(0.5f, Phase::beginInteractive), Y(0.0f, Phase::beginInteractive),
                                           X(0.0f, Phase::change), Y(0.0f, Phase::change),
                                           X(1.0f, Phase::change), Y(1.0f, Phase::change),
                                           X(1.0f, Phase::endInteractive), Y(1.0f, Phase::endInteractive)}));
}

TEST(MorphPad, AnOptionClickResetsEachAxisAsOneEditAndItsReleaseSendsNothing) {
    Pad pad;
    pad.x->setValue(0.8f, ParameterEditor::parameterObserver, Phase::change);
    pad.y->setValue(0.2f, ParameterEditor::parameterObserver, Phase::change);
    core::MainQueue::shared().drain();
    pad.down(Pad::at(10, 10), ui::Modifier::option);
    pad.up(Pad::at(10, 10), ui::Modifier::option);
    EXPECT_EQ(*pad.log, (std::vector<Edit>{X(0.8f, Phase::beginInteractive), X(0.5f, Phase::change),
                                           X(0.5f, Phase::endInteractive), Y(0.2f, Phase::beginInteractive),
                                           Y(0.5f, Phase::change), Y(0.5f, Phase::endInteractive)}));
    EXPECT_EQ(pad.x->value(), 0.5f);
    EXPECT_EQ(pad.y->value(), 0.5f);
}

TEST(MorphPad, OptionInTheMiddleOfADragResetsThenTheDragCarriesOn) {
    Pad pad;
    pad.down(Pad::at(24, 36.5));
    pad.drag(Pad::at(48, 73));
    pad.drag(Pad::at(60, 80), ui::Modifier::option);
    core::MainQueue::shared().drain();
    EXPECT_EQ(pad.dot().first, editor::assets::morphDotDown()); // still dragging
    pad.log->clear();
    pad.drag(Pad::at(72, 109.5));
    pad.up(Pad::at(72, 109.5));
    EXPECT_EQ(*pad.log,
              (std::vector<Edit>{X(0.75f, Phase::change), Y(0.75f, Phase::change),
                                 X(0.75f, Phase::endInteractive), Y(0.75f, Phase::endInteractive)}));
    EXPECT_EQ(pad.dot().first, editor::assets::morphDot());

    // With option still down at the last change, the release sends no position.
    pad.log->clear();
    pad.down(Pad::at(24, 36.5));
    pad.drag(Pad::at(30, 40), ui::Modifier::option);
    pad.up(Pad::at(30, 40), ui::Modifier::option);
    ASSERT_EQ(pad.log->size(), 2u + 6u);
    EXPECT_EQ(pad.log->back(), Y(0.5f, Phase::endInteractive));
    EXPECT_EQ(pad.x->value(), 0.5f);
}

TEST(MorphPad, ACancelledDragEndsAtTheLastPositionSent) {
    // The grab is lost in the same main-queue turn as the last move, before the observed values catch up.
    Pad pad;
    pad.down(Pad::at(24, 36.5));
    pad.drag(Pad::at(72, 109.5));
    pad.e.harness.host->cancelPointerTracking();
    EXPECT_EQ(*pad.log,
              (std::vector<Edit>{X(0.25f, Phase::beginInteractive), Y(0.25f, Phase::beginInteractive),
                                 X(0.75f, Phase::change), Y(0.75f, Phase::change),
                                 X(0.75f, Phase::endInteractive), Y(0.75f, Phase::endInteractive)}));
    core::MainQueue::shared().drain();
    pad.e.harness.settle();
    EXPECT_EQ(pad.x->value(), 0.75f);
    EXPECT_EQ(pad.y->value(), 0.75f);
    const auto [image, centre] = pad.dot();
    EXPECT_EQ(image, editor::assets::morphDot());
    EXPECT_EQ(centre, Pad::at(72, 109.5));

    // A cancel after an option reset sends nothing more.
    pad.log->clear();
    pad.down(Pad::at(10, 10), ui::Modifier::option);
    pad.e.harness.host->cancelPointerTracking();
    EXPECT_EQ(pad.log->size(), 6u);
}
