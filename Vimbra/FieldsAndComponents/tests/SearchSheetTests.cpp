// A contact sheet of the search field and the declarative styled text field in their looks (empty with
// the placeholder, with text (and the search field's cancel button), focused, disabled), each drawn in a
// window of its own at 1x and 2x and written as search-sheet@1x.png and search-sheet@2x.png beside the
// test binary, with pixel checks on each look.
#include "Vimbra/FieldsAndComponents/PelkoStyledTextField.hpp"
#include "Vimbra/StyledControls/StyledSearchField.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"

#include <cairo.h>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using graphics::Rect;

namespace {

constexpr double cellWidth = 160;
constexpr double cellHeight = 34;

enum class Look { placeholder, text, focused, disabled };
const std::vector<Look> sheetLooks = {Look::placeholder, Look::text, Look::focused, Look::disabled};

// One control in one look, drawn in a window of its own; the pixels are kept.
struct Shot {
    graphics::ImageRef pixels;
    Rect controlFrame; // window coordinates, y up
    double scale = 1;

    graphics::ImageRep::RGBA at(double x, double yUp) const {
        const auto& rep = *pixels->representations().at(0);
        return rep.pixel(static_cast<int>(std::floor(x * scale)),
                         static_cast<int>(std::floor((cellHeight - yUp) * scale)));
    }
    // The brightest channel value over an area of the control (its own coordinates, y up).
    int brightest(const Rect& area) const {
        int best = 0;
        for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
            for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
                const auto p = at(controlFrame.minX() + x, controlFrame.minY() + y);
                best = std::max({best, static_cast<int>(p.r), static_cast<int>(p.g), static_cast<int>(p.b)});
            }
        }
        return best;
    }
};

// Pixels around the control's frame (grown by 3 points for rings) that differ between two shots.
int differing(const Shot& a, const Shot& b, double grow = 3) {
    int count = 0;
    const Rect r = a.controlFrame.insetBy(-grow, -grow);
    for (double y = r.minY() + 0.25; y < r.maxY(); y += 0.5) {
        for (double x = r.minX() + 0.25; x < r.maxX(); x += 0.5) {
            count += a.at(x, y) == b.at(x, y) ? 0 : 1;
        }
    }
    return count;
}

struct Shooter {
    double scale;

    Shot searchField(Look look, bool keyWindow = true) const {
        vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
        auto field = std::make_shared<StyledSearchField>(Rect(8, 6, 144, 22));
        field->setPlaceholderString("Search");
        scene.add(field);
        switch (look) {
        case Look::placeholder:
            break;
        case Look::text:
            field->setStringValue("Warm pad");
            break;
        case Look::focused:
            field->setStringValue("Warm pad");
            EXPECT_TRUE(scene.window->makeFirstResponder(field));
            if (!keyWindow) {
                scene.backend->focusOut();
            }
            break;
        case Look::disabled:
            field->setStringValue("Warm pad");
            field->setEnabled(false);
            break;
        }
        scene.window->contentView()->setNeedsDisplay();
        scene.backend->displayIfNeeded();
        return {graphics::Image::fromSurface(scene.backend->surface(), scale), field->frame(), scale};
    }

    // The declarative styled text field, hosted at the same place.
    Shot wrappedField(Look look) const {
        vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
        const std::string text = look == Look::placeholder ? std::string() : std::string("Warm pad");
        auto value = std::make_shared<std::string>(text);
        declarative::Binding<std::string> binding([value] { return *value; },
                                                  [value](std::string v) { *value = std::move(v); });
        auto host = declarative::HostingView::make(declarative::View(PelkoStyledTextField("Name", binding))
                                                       .frame(144, 22)
                                                       .disabled(look == Look::disabled),
                                                   Rect(0, 0, cellWidth, cellHeight));
        scene.window->setContentView(host);
        core::MainQueue::shared().drain();
        host->layoutIfNeeded();
        std::shared_ptr<ui::View> field;
        for (const auto& v : host->subviews()) {
            field = std::dynamic_pointer_cast<StyledTextField>(v) ? v : field;
        }
        EXPECT_NE(field, nullptr);
        if (look == Look::focused) {
            EXPECT_TRUE(scene.window->makeFirstResponder(field));
        }
        scene.window->contentView()->setNeedsDisplay();
        scene.backend->displayIfNeeded();
        // The window's y-up coordinates of the field.
        const Rect frame = field->convertRectToView(field->bounds(), nullptr);
        return {graphics::Image::fromSurface(scene.backend->surface(), scale), frame, scale};
    }
};

} // namespace

TEST(SearchSheet, TheSearchFieldAndTheDeclarativeStyledFieldInEveryLookAtBothScales) {
    for (double scale : {1.0, 2.0}) {
        const Shooter shooter{scale};
        const int width = static_cast<int>(cellWidth * scale * static_cast<double>(sheetLooks.size()));
        const int height = static_cast<int>(cellHeight * scale * 2);
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(sheet);
        std::vector<Shot> shots;
        for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
            shots.push_back(shooter.searchField(sheetLooks[column]));
            cairo_set_source_surface(cr, shots.back().pixels->representations().at(0)->surface(),
                                     static_cast<double>(column) * cellWidth * scale, 0);
            cairo_paint(cr);
        }
        const Shot& placeholder = shots[0];
        const Shot& text = shots[1];
        const Shot& focused = shots[2];
        const Shot& disabled = shots[3];
        // The text area (between the magnifier and the cancel button) and the cancel button.
        const Rect textArea(24, 4, 90, 14);
        const Rect cancel(126, 4, 14, 14);
        // The placeholder is drawn dimmer than the text; the cancel button only with text.
        EXPECT_GT(text.brightest(textArea), placeholder.brightest(textArea) + 30) << scale;
        EXPECT_GT(placeholder.brightest(textArea), placeholder.brightest(Rect(60, 19, 40, 1)) + 20) << scale;
        EXPECT_GT(text.brightest(cancel), placeholder.brightest(cancel) + 30) << scale;
        // The focus ring shows with keyboard focus in the key window only, outside the bezel too.
        // (The field editor shows the text of both focused shots; the ring runs round the frame's edge.)
        const Shot inactive = shooter.searchField(Look::focused, false);
        const Rect leftEdge(-2, 6, 4, 10);
        EXPECT_GT(differing(text, focused), 0) << scale;
        EXPECT_NE(focused.brightest(leftEdge), text.brightest(leftEdge)) << scale;
        EXPECT_EQ(inactive.brightest(leftEdge), text.brightest(leftEdge)) << scale;
        // Disabled text is dimmer.
        EXPECT_LT(disabled.brightest(textArea) + 20, text.brightest(textArea)) << scale;

        // The second row: the declarative styled text field in the same looks.
        std::vector<Shot> wrapped;
        for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
            wrapped.push_back(shooter.wrappedField(sheetLooks[column]));
            cairo_set_source_surface(cr, wrapped.back().pixels->representations().at(0)->surface(),
                                     static_cast<double>(column) * cellWidth * scale, cellHeight * scale);
            cairo_paint(cr);
        }
        const Rect fieldText(4, 4, 100, 14);
        EXPECT_GT(wrapped[1].brightest(fieldText), wrapped[0].brightest(fieldText) + 30) << scale;
        EXPECT_GT(wrapped[0].brightest(fieldText), wrapped[0].brightest(Rect(110, 4, 20, 14)) + 20) << scale;
        EXPECT_GT(differing(wrapped[1], wrapped[2]), 0) << scale;
        EXPECT_NE(wrapped[2].brightest(leftEdge), wrapped[1].brightest(leftEdge)) << scale;
        EXPECT_LT(wrapped[3].brightest(fieldText) + 20, wrapped[1].brightest(fieldText)) << scale;

        cairo_destroy(cr);
        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "search-sheet@1x.png" : "search-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);
    }
}
