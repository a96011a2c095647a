// A contact sheet of the button family: each control in each state, drawn in a window of its own at 1x
// and 2x and written as buttons-sheet@1x.png and buttons-sheet@2x.png beside the test binary, with
// pixel checks on focus rings and disabled looks.
#include "Vimbra/StyledControls/PelkoPushButton.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledCheckBox.hpp"
#include "Vimbra/StyledControls/ToolButton.hpp"
#include "Vimbra/StyledControls/tests/ContactSheet.hpp"
#include "ui/ScrollView.hpp"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using contactsheet::Shot;
using graphics::Rect;

namespace {

constexpr double cellWidth = 100;
constexpr double cellHeight = 32;

enum class Look { normal, highlighted, on, mixed, disabled, firstResponder, firstResponderInactive };
const std::vector<Look> sheetLooks = {Look::normal, Look::highlighted, Look::on,
                                      Look::mixed,  Look::disabled,    Look::firstResponder};

// The sheet's rows: a push button, a Pelko button, a check box and a tool button with its marker.
constexpr std::size_t sheetRows = 4;
std::shared_ptr<ui::Button> makeControl(std::size_t row) {
    if (row == 3) {
        auto tool = std::make_shared<ToolButton>(Rect(4, 4, 24, 24));
        tool->setImage(graphics::Image::draw({12, 12}, 2.0, [](graphics::GraphicsContext& context) {
            context.fillRect(Rect(1, 1, 10, 10), graphics::Color::white(0.9));
        }));
        tool->setShowMoreIcon(true);
        return tool;
    }
    std::shared_ptr<ui::Button> control;
    if (row == 0) {
        control = std::make_shared<StyledButton>(Rect(4, 5, 84, 22));
    } else if (row == 1) {
        control = std::make_shared<PelkoPushButton>(Rect(4, 2, 84, 28));
    } else {
        control = std::make_shared<StyledCheckBox>(Rect(6, 6, 84, 20));
    }
    control->setTitle(row == 0 ? "Button" : row == 1 ? "Pelko" : "Check");
    return control;
}

// One control in one look, drawn in a window of its own.
Shot shoot(std::size_t row, Look look, double scale) {
    vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
    auto control = makeControl(row);
    scene.add(control);
    switch (look) {
    case Look::normal:
        break;
    case Look::highlighted:
        control->setHighlighted(true);
        break;
    case Look::on:
        control->setState(ui::StateValue::on);
        break;
    case Look::mixed:
        control->setAllowsMixedState(true);
        control->setState(ui::StateValue::mixed);
        break;
    case Look::disabled:
        control->setEnabled(false);
        break;
    case Look::firstResponder:
        EXPECT_TRUE(scene.window->makeFirstResponder(control));
        break;
    case Look::firstResponderInactive:
        EXPECT_TRUE(scene.window->makeFirstResponder(control));
        scene.backend->focusOut();
        break;
    }
    return contactsheet::shoot(scene, control->frame(), scale);
}

// Pixels around the control's frame (grown by 3 points for rings) that differ between two shots.
int differing(const Shot& a, const Shot& b) {
    return contactsheet::differing(a, b, a.controlFrame.insetBy(-3, -3));
}

// Where the artwork of the normal shot stands out from the background inside area (control coordinates),
// the disabled shot shows it at half strength over the same background; answers how many pixels were
// compared.
int expectHalfStrength(const Shot& normal, const Shot& disabled, const Rect& area) {
    return contactsheet::expectHalfStrength(
        normal, disabled, area.offsetBy(normal.controlFrame.minX(), normal.controlFrame.minY()),
        normal.at(1, 1), 30, 4);
}

} // namespace

TEST(ButtonSheet, EveryControlInEveryLookAtBothScales) {
    for (double scale : contactsheet::scales) {
        contactsheet::Sheet sheet(
            {cellWidth * static_cast<double>(sheetLooks.size()), cellHeight * sheetRows}, scale);
        for (std::size_t row = 0; row < sheetRows; ++row) {
            std::vector<Shot> shots;
            for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
                shots.push_back(shoot(row, sheetLooks[column], scale));
                sheet.place(shots.back(),
                            {static_cast<double>(column) * cellWidth, static_cast<double>(row) * cellHeight});
            }
            // A focus ring only with keyboard focus in the key window.
            const Shot& normal = shots[0];
            EXPECT_GT(differing(normal, shots[5]), 0) << row << " @" << scale;
            EXPECT_EQ(differing(normal, shoot(row, Look::firstResponderInactive, scale)), 0)
                << row << " @" << scale;
            if (row == 2) {
                // The check box's box and ring start 2 points left of its bounds and show whole: the
                // ring's left and right strokes, and the box's leftmost points.
                for (const double x : {-1.5, 13.5}) {
                    EXPECT_GT(contactsheet::contrast(normal.atControl(x, 10, false),
                                                     shots[5].atControl(x, 10, false)),
                              30)
                        << x << " @" << scale;
                }
                EXPECT_GT(contactsheet::contrast(normal.atControl(-0.5, 10, false), normal.at(1, 1)), 30)
                    << scale;
            }
        }
        // Disabled artwork at half strength: the push button's bezel edge (left of its title) and the
        // check box's box, which keep their images when disabled.
        EXPECT_GT(expectHalfStrength(shoot(0, Look::normal, scale), shoot(0, Look::disabled, scale),
                                     Rect(0, 0, 6, 22)),
                  4);
        EXPECT_GT(expectHalfStrength(shoot(2, Look::normal, scale), shoot(2, Look::disabled, scale),
                                     Rect(0, 2, 14, 16)),
                  4);
        EXPECT_TRUE(sheet.write("buttons-sheet"));
    }
}

TEST(ButtonSheet, ACheckBoxAtAContainersEdgeShowsAndRedrawsItsWholeRingUnlessAClipViewHoldsIt) {
    // A check box at x = 0 in a plain container, then in a clip view, at 4x; focus comes and goes, each
    // time drawing only what changed. The ring's strokes are 2 points wide: the left one lies left of
    // the box's bounds, the right one inside them.
    constexpr double scale = 4;
    for (const bool clipView : {false, true}) {
        SCOPED_TRACE(clipView ? "clip view" : "plain container");
        vimbratest::Scene scene(Rect(100, 100, 120, 40), scale);
        auto container = clipView ? std::make_shared<ui::ClipView>(Rect(20, 6, 90, 28))
                                  : std::make_shared<ui::View>(Rect(20, 6, 90, 28));
        scene.add(container);
        const Shot empty = contactsheet::shoot(scene, {}, scale);
        auto box = std::make_shared<StyledCheckBox>(Rect(0, 4, 84, 20));
        box->setTitle("Check");
        container->addSubview(box);
        const Rect frame = box->convertRectToView(box->bounds(), nullptr);
        const Rect around = frame.insetBy(-3, -3);
        const double height = scene.window->contentView()->bounds().height();
        const Shot unfocused = contactsheet::shoot(scene, frame, scale);
        const auto redrawn = [&] {
            scene.backend->displayIfNeeded();
            return contactsheet::shotOf(scene.backend->surface(), frame, scale, height);
        };
        // Device pixels of a stroke (starting at x) where a shot differs from the unfocused one.
        const auto strokePixels = [&](const Shot& shot, double x) {
            int count = 0;
            for (int i = 0; i < 2 * static_cast<int>(scale); ++i) {
                const double at = x + (i + 0.5) / scale;
                count += contactsheet::contrast(shot.atControl(at, 10, false),
                                                unfocused.atControl(at, 10, false)) > 30;
            }
            return count;
        };

        EXPECT_TRUE(scene.window->makeFirstResponder(box));
        const Shot focused = redrawn();
        EXPECT_EQ(strokePixels(focused, 12), 8);
        EXPECT_EQ(strokePixels(focused, -2), clipView ? 0 : 8);

        EXPECT_TRUE(scene.window->makeFirstResponder(nullptr));
        EXPECT_EQ(contactsheet::differing(unfocused, redrawn(), around), 0);

        // Hidden, taken out or moved into a hidden view, the box leaves nothing behind.
        box->setHidden(true);
        EXPECT_EQ(contactsheet::differing(empty, redrawn(), around), 0);
        box->setHidden(false);
        EXPECT_EQ(contactsheet::differing(unfocused, redrawn(), around), 0);
        box->removeFromSuperview();
        EXPECT_EQ(contactsheet::differing(empty, redrawn(), around), 0);
        container->addSubview(box);
        EXPECT_EQ(contactsheet::differing(unfocused, redrawn(), around), 0);
        auto hidden = std::make_shared<ui::View>(Rect(60, 0, 10, 10));
        hidden->setHidden(true);
        scene.add(hidden);
        hidden->addSubview(box);
        EXPECT_EQ(contactsheet::differing(empty, redrawn(), around), 0);
    }
}
