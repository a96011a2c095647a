// A contact sheet of the sliders: the toolkit's horizontal and vertical (ticked) sliders, the styled
// slider and the tracking slider, each at its minimum, middle and maximum, pressed and disabled, drawn in
// a window of its own at 1x and 2x and written as sliders-sheet@1x.png and sliders-sheet@2x.png beside
// the test binary, with pixel checks on the knob's place, the pressed knob and the disabled look.
#include "Vimbra/StyledControls/StyledSlider.hpp"
#include "Vimbra/StyledControls/TrackingSlider.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using graphics::Rect;

namespace {

constexpr double cellWidth = 240;
constexpr double cellHeight = 48;

enum class Look { minimum, middle, maximum, pressed, disabled };
const std::vector<Look> sheetLooks = {Look::minimum, Look::middle, Look::maximum, Look::pressed,
                                      Look::disabled};

enum Row { toolkit = 0, toolkitVertical, styled, tracking, rowCount };

std::shared_ptr<ui::Control> makeControl(int row) {
    switch (row) {
    case toolkit:
        return std::make_shared<ui::Slider>(Rect(20, 14, 200, 20));
    case toolkitVertical: {
        auto slider = std::make_shared<ui::Slider>(Rect(100, 2, 30, 44));
        slider->setVertical(true);
        slider->setNumberOfTickMarks(5);
        return slider;
    }
    case styled:
        return StyledSlider::make(Rect(20, 14, 200, 20));
    default: {
        auto image = graphics::Image::draw({28, 28}, 2.0, [](graphics::GraphicsContext& context) {
            context.fillPath(graphics::BezierPath::roundedRect({2, 2, 24, 24}, 5, 5),
                             graphics::Color::white(0.85), graphics::CompositingOperation::sourceOver);
            context.fillRect({13, 6, 2, 16}, graphics::Color::rgba(0.2, 0.5, 1.0));
        });
        auto slider = TrackingSlider::imageViewWithImage(image);
        slider->setFrameOrigin({106, 10});
        return slider;
    }
    }
}

struct Shot {
    graphics::ImageRef pixels;
    Rect controlFrame; // window coordinates, y up
    double scale = 1;

    graphics::ImageRep::RGBA at(double x, double yUp) const {
        const auto& rep = *pixels->representations().at(0);
        return rep.pixel(static_cast<int>(std::floor(x * scale)),
                         static_cast<int>(std::floor((cellHeight - yUp) * scale)));
    }
    // At a point of the control (its own coordinates, flipped when the control is).
    graphics::ImageRep::RGBA atControl(double x, double y, bool flipped) const {
        return at(controlFrame.minX() + x, flipped ? controlFrame.maxY() - y : controlFrame.minY() + y);
    }
};

Shot shoot(int row, Look look, double scale) {
    vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
    auto control = makeControl(row);
    scene.add(control);
    if (auto slider = std::dynamic_pointer_cast<ui::Slider>(control)) {
        slider->setMaxValue(10);
        slider->setDoubleValue(look == Look::minimum ? 0 : look == Look::maximum ? 10 : 5);
    }
    if (look == Look::pressed) {
        if (row == tracking) {
            scene.backend->mouseDown(vimbratest::centre(*control));
        } else {
            control->setHighlighted(true);
        }
    } else if (look == Look::disabled) {
        control->setEnabled(false);
    }
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    Shot shot{graphics::Image::fromSurface(scene.backend->surface(), scale), control->frame(), scale};
    if (look == Look::pressed && row == tracking) {
        scene.backend->mouseUp(vimbratest::centre(*control));
    }
    return shot;
}

int contrast(const graphics::ImageRep::RGBA& a, const graphics::ImageRep::RGBA& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// Where the normal shot's artwork stands out from the background inside area (control coordinates, y
// up), the other shows it at half strength; answers how many pixels were compared.
int expectHalfStrength(const Shot& normal, const Shot& other, const Rect& area) {
    const auto background = normal.at(1, 1);
    int compared = 0;
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            const double wx = normal.controlFrame.minX() + x;
            const double wy = normal.controlFrame.minY() + y;
            const auto n = normal.at(wx, wy);
            const auto d = other.at(wx, wy);
            if (contrast(n, background) < 60) {
                continue;
            }
            ++compared;
            EXPECT_NEAR(d.r, background.r + (n.r - background.r) * 0.5, 5) << wx << "," << wy;
            EXPECT_NEAR(d.g, background.g + (n.g - background.g) * 0.5, 5) << wx << "," << wy;
            EXPECT_NEAR(d.b, background.b + (n.b - background.b) * 0.5, 5) << wx << "," << wy;
        }
    }
    return compared;
}

} // namespace

TEST(SliderSheet, EverySliderInEveryLookAtBothScales) {
    for (double scale : {1.0, 2.0}) {
        const int width = static_cast<int>(cellWidth * scale * static_cast<double>(sheetLooks.size()));
        const int height = static_cast<int>(cellHeight * scale * static_cast<double>(rowCount));
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(sheet);
        std::vector<std::vector<Shot>> shots(rowCount);
        for (int row = 0; row < rowCount; ++row) {
            for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
                shots[row].push_back(shoot(row, sheetLooks[column], scale));
                cairo_set_source_surface(cr, shots[row].back().pixels->representations().at(0)->surface(),
                                         static_cast<double>(column) * cellWidth * scale,
                                         static_cast<double>(row) * cellHeight * scale);
                cairo_paint(cr);
            }
        }
        cairo_destroy(cr);
        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "sliders-sheet@1x.png" : "sliders-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);

        const auto background = shots[styled][0].at(1, 1);
        // Horizontal sliders: the knob sits at the bar's start at the minimum and at its end at the
        // maximum, over the bar's middle line (y 10 in the flipped control).
        for (int row : {toolkit, styled}) {
            const auto& minimum = shots[row][0];
            const auto& maximum = shots[row][2];
            EXPECT_GT(contrast(minimum.atControl(8, 10, true), maximum.atControl(8, 10, true)), 60) << row;
            EXPECT_GT(contrast(minimum.atControl(191, 10, true), maximum.atControl(191, 10, true)), 60)
                << row;
        }
        // The vertical slider: at the bottom for the minimum, at the top for the maximum.
        EXPECT_GT(contrast(shots[toolkitVertical][0].atControl(15, 36, true),
                           shots[toolkitVertical][2].atControl(15, 36, true)),
                  60);
        EXPECT_GT(contrast(shots[toolkitVertical][0].atControl(15, 8, true),
                           shots[toolkitVertical][2].atControl(15, 8, true)),
                  60);
        // Pressed knobs look pressed.
        EXPECT_GT(
            contrast(shots[styled][1].atControl(100, 10, true), shots[styled][3].atControl(100, 10, true)),
            20);
        EXPECT_GT(
            contrast(shots[toolkit][1].atControl(100, 10, true), shots[toolkit][3].atControl(100, 10, true)),
            20);
        // The styled slider's fill runs from the bar's start to the knob: lit at x 40 in the middle, not
        // at the minimum.
        EXPECT_GT(
            contrast(shots[styled][1].atControl(40, 10, true), shots[styled][0].atControl(40, 10, true)), 60);
        EXPECT_GT(contrast(shots[styled][1].atControl(40, 10, true), background), 60);
        // Disabled: the styled and the toolkit's bars at half strength where nothing else is drawn over
        // them (right of the knob); the knobs change too.
        EXPECT_GT(expectHalfStrength(shots[styled][1], shots[styled][4], Rect(112, 8, 86, 4)), 20 * scale);
        EXPECT_GT(expectHalfStrength(shots[toolkit][1], shots[toolkit][4], Rect(112, 8, 88, 4)), 20 * scale);
        EXPECT_GT(contrast(shots[styled][1].atControl(100, 10, true), shots[styled][4].atControl(100, 10, true)), 20);
        // The tracking slider shows its image, the same at every value, dimmed while pressed.
        EXPECT_EQ(shots[tracking][0].atControl(8, 8, false), shots[tracking][2].atControl(8, 8, false));
        EXPECT_GT(expectHalfStrength(shots[tracking][1], shots[tracking][3], Rect(0, 0, 28, 28)), 20 * scale);
    }
}
