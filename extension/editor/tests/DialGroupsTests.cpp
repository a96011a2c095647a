// The sixteen dials in the editor: where each parameter sits, how its value reads, what a drag does and
// where keyboard focus goes when a typed value is done.

#include "EditorSupport.hpp"
#include "extension/editor/DialGroups.hpp"
#include "extension/editor/MainView.hpp"
#include "ui/Window.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

using namespace edtest;

namespace {

struct Drawn {
    std::string text;
    Rect rect;
};

std::vector<Drawn> textsIn(EditorHarness& e) {
    std::vector<Drawn> all;
    for (const auto& op : e.harness.record(graphics::DrawOpKind::text)) {
        all.push_back({op.text, op.deviceRect});
    }
    return all;
}

const Drawn* find(const std::vector<Drawn>& texts, const std::string& text) {
    for (const auto& t : texts) {
        if (t.text == text) {
            return &t;
        }
    }
    return nullptr;
}

// A view that takes the keyboard, as a host's own view does.
class KeyView final : public ui::View {
public:
    using ui::View::View;
    bool acceptsFirstResponder() const override { return true; }
};

// The centre x of dial `column` (0 to 3) of a group, on the 760-point canvas.
double dialCentre(bool left, int column) {
    return (left ? 26.0 : 458.0) + 30 + 72 * column;
}

} // namespace

TEST(DialGroups, EachParameterSitsInItsGroupRowAndColumn) {
    EditorHarness e(editor::MainView{}, {760, 512});
    const auto texts = textsIn(e);
    const std::vector<std::vector<std::string>> rows{
        {"BANDS", "SLICE", "LOW", "HIGH"},
        {"THRESH", "REDUCTION", "ATTACK", "RELEASE"},
        {"OCTAVE", "NOTE", "AGE", "BLUR"},
        {"FEEDBACK", "INPUT", "OUTPUT", "MIX"},
    };
    std::map<int, double> rowTop;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const auto* name = find(texts, rows[r][c]);
            ASSERT_NE(name, nullptr) << rows[r][c];
            EXPECT_NEAR(name->rect.midX(), dialCentre(r < 2, c), 0.5) << rows[r][c];
            if (c == 0) {
                rowTop[r] = name->rect.y();
            } else {
                EXPECT_NEAR(name->rect.y(), rowTop[r], 0.5) << rows[r][c];
            }
        }
    }
    // Two rows 57 points apart in each group; the groups level with each other.
    EXPECT_NEAR(rowTop[1] - rowTop[0], rowTop[3] - rowTop[2], 1e-9);
    EXPECT_NEAR(rowTop[0], rowTop[2], 1e-9);
    EXPECT_GT(rowTop[1] - rowTop[0], 57);
}

TEST(DialGroups, FiveDialsShowWholeNumbersAndTheOthersTheLabelsOneDecimal) {
    EditorHarness e(editor::MainView{}, {760, 512});
    auto set = [&](const std::shared_ptr<AudioParameter>& p, float v) {
        p->setValue(v, ParameterEditor::parameterObserver, ParameterEditorState::change);
    };
    set(e.settings->bands(), 63.6f);
    set(e.settings->slice(), 123.4f);
    set(e.settings->octave(), -2.0f);
    set(e.settings->note(), 250.0f);
    set(e.settings->blur(), 20.0f);
    set(e.settings->gateAttack(), 1.25f);
    core::MainQueue::shared().drain();
    e.harness.settle();
    const auto texts = textsIn(e);
    for (const char* shown : {"64", "123", "-2", "2.5", "20.0", "1.2", "%", "MS"}) {
        EXPECT_NE(find(texts, shown), nullptr) << shown;
    }
    EXPECT_EQ(find(texts, "63.6"), nullptr);
    EXPECT_EQ(editor::dialLabelOptions().labelWidth, 50);
    EXPECT_EQ(editor::dialLabelOptions().labelFontSize, 13);
    EXPECT_TRUE(editor::dialLabelOptions().showSuffix && editor::dialLabelOptions().showName);
    EXPECT_FALSE(editor::dialLabelOptions().customTitle);
}

TEST(DialGroups, DraggingADialUpRaisesItsParameterAtEveryScale) {
    for (double s : {1.0, 2.0}) {
        EditorHarness e(editor::MainView{}, {760 * s, 512 * s});
        const auto texts = textsIn(e);
        const auto* name = find(texts, "MIX");
        ASSERT_NE(name, nullptr);
        // The knob sits above its name.
        const Point knob{name->rect.midX(), name->rect.y() - 30 * s};
        const float before = e.settings->mix()->value();
        e.harness.down(knob);
        for (int i = 1; i <= 10; ++i) {
            e.harness.drag({knob.x, knob.y - 6 * i * s});
        }
        e.harness.up({knob.x, knob.y - 60 * s});
        core::MainQueue::shared().drain();
        EXPECT_GT(e.settings->mix()->value(), before) << s;
    }
}

TEST(DialGroups, FinishingATypedValueHandsFocusBackToTheRecordedResponder) {
    useBuildTreeResources();
    auto settings = Settings::create();
    auto done = editor::returnFocusToHost(settings);
    done(); // no window recorded: nothing happens

    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto main = std::make_shared<KeyView>(Rect(0, 0, 50, 50));
    auto other = std::make_shared<KeyView>(Rect(50, 0, 50, 50));
    window->contentView()->addSubview(main);
    window->contentView()->addSubview(other);
    settings->pluginWindow = window;
    settings->pluginMainResponder = main;
    ASSERT_TRUE(window->makeFirstResponder(other));
    done();
    EXPECT_EQ(window->firstResponder(), main);
    // No responder recorded: the window itself takes the keys.
    settings->pluginMainResponder.reset();
    done();
    EXPECT_EQ(window->firstResponder(), window);

    window->close();
    window.reset();
    done(); // the window is gone: nothing happens, nothing breaks
    core::MainQueue::shared().drain();
}

TEST(DialGroups, ATypedValueReachesItsParameterAndTheHostGetsTheKeysBack) {
    EditorHarness e(editor::MainView{}, {760, 512});
    auto hostView = std::make_shared<KeyView>(Rect(0, 500, 10, 10));
    e.harness.window->contentView()->addSubview(hostView);
    e.settings->pluginWindow = e.harness.window;
    e.settings->pluginMainResponder = hostView;
    ASSERT_TRUE(e.harness.window->makeFirstResponder(hostView));

    const auto texts = textsIn(e);
    const auto* mixName = find(texts, "MIX");
    ASSERT_NE(mixName, nullptr);
    const Drawn* mixValue = nullptr; // the value line under the name
    for (const auto& t : texts) {
        if (t.text == "50.0" && std::abs(t.rect.midX() - mixName->rect.midX()) < 20) {
            mixValue = &t;
        }
    }
    ASSERT_NE(mixValue, nullptr);
    e.harness.click(mixValue->rect.center());
    e.harness.settle();
    e.harness.settle();
    EXPECT_NE(e.harness.window->firstResponder(), hostView); // the field has the keys while editing
    for (char c : std::string("12")) {
        e.harness.backend->typeKey(std::string(1, c));
    }
    e.harness.backend->typeKey(ui::utf8(ui::SpecialKey::carriageReturn));
    core::MainQueue::shared().drain();
    e.harness.settle();
    EXPECT_EQ(e.settings->mix()->value(), 12.0f);
    EXPECT_EQ(e.harness.window->firstResponder(), hostView);
}
