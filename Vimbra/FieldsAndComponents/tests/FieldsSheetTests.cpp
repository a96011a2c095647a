// A contact sheet of the text fields, the search field, the declarative styled text field and the labels:
// each in each look (with its message popover where it has one), drawn in a window of its own at 1x and 2x
// and written as fields-sheet@1x.png and fields-sheet@2x.png beside the test binary, with pixel checks on
// placeholders, focus rings, invalid looks, disabled text, the search field's cancel button and popovers.
// The rows come from a table, so new fields join by adding a row.
#include "FieldsTestSupport.hpp"
#include "Vimbra/FieldsAndComponents/PelkoStyledTextField.hpp"
#include "Vimbra/FieldsAndComponents/StyledLabels.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingPropertiesField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"
#include "Vimbra/StyledControls/StyledSearchField.hpp"
#include "declarative/Hosting.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using graphics::Rect;

namespace {

constexpr double cellWidth = 150;
constexpr double cellHeight = 84;
// Where each control sits in its cell (window coordinates, y up): in the middle, with room for a
// popover below it (flipped fields) or above it (the properties field).
const Rect controlFrame(8, 31, 134, 22);

enum class Look { normal, placeholder, focused, invalid, invalidFocused, disabled };
const std::vector<Look> sheetLooks = {Look::normal,  Look::placeholder,    Look::focused,
                                      Look::invalid, Look::invalidFocused, Look::disabled};

// What a row's checks expect of it. Rows that cannot be invalid (plain fields, the search field, the
// declarative field) show the invalid looks as the normal and focused ones.
enum class Kind { field, validating, label, search, hosted };

// A row: how to make its control in a look (only the declarative field, whose value and enabling come
// from its tree, needs the look), and what kind of control it is.
struct SheetRow {
    const char* name;
    std::function<std::shared_ptr<ui::View>(Look)> make;
    Kind kind = Kind::field;
};

std::shared_ptr<ui::View> labelled(std::shared_ptr<StyledTextField> label) {
    label->setBezeled(false);
    label->setDrawsBackground(false);
    label->setEditable(false);
    label->setSelectable(false);
    return label;
}

// The declarative styled text field, hosted at the control's place.
std::shared_ptr<ui::View> hostedField(Look look) {
    auto value = std::make_shared<std::string>(look == Look::placeholder ? "" : "Tessaray 42");
    declarative::Binding<std::string> binding([value] { return *value; },
                                              [value](std::string v) { *value = std::move(v); });
    return declarative::HostingView::make(declarative::View(PelkoStyledTextField("Placeholder", binding))
                                              .frame(controlFrame.width(), controlFrame.height())
                                              .disabled(look == Look::disabled),
                                          controlFrame);
}

const std::vector<SheetRow>& sheetRows() {
    static const std::vector<SheetRow> rows = {
        {"styled field", [](Look) { return std::make_shared<StyledTextField>(); }},
        {"validating field", [](Look) { return std::make_shared<ValidatingTextField>(); }, Kind::validating},
        {"width-resizing field", [](Look) { return std::make_shared<WidthResizingTextField>(); }},
        {"properties field",
         [](Look) {
             return ValidatingPropertiesField::make(
                 graphics::Image::draw({14, 24}, 2.0, [](graphics::GraphicsContext& context) {
                     context.fillRect(Rect(3, 6, 8, 12), graphics::Color::white(0.7));
                 }));
         },
         Kind::validating},
        {"search field", [](Look) { return std::make_shared<StyledSearchField>(controlFrame); },
         Kind::search},
        {"declarative field", hostedField, Kind::hosted},
        {"text label", [](Look) { return labelled(std::make_shared<StyledTextLabel>()); }, Kind::label},
        {"table row label", [](Look) { return labelled(std::make_shared<StyledTableRowLabel>()); },
         Kind::label},
        {"group row label", [](Look) { return labelled(std::make_shared<StyledTableGroupRowLabel>()); },
         Kind::label},
    };
    return rows;
}

// The text field inside a control (the control itself, a properties field's, or a hosting view's).
std::shared_ptr<ui::TextField> textOf(const std::shared_ptr<ui::View>& view) {
    if (auto validating = std::dynamic_pointer_cast<ValidatingField>(view)) {
        return validating->textField();
    }
    if (std::dynamic_pointer_cast<declarative::HostingView>(view)) {
        for (const auto& subview : view->subviews()) {
            if (auto field = std::dynamic_pointer_cast<StyledTextField>(subview)) {
                return field;
            }
        }
    }
    return std::dynamic_pointer_cast<ui::TextField>(view);
}

std::shared_ptr<SimpleTextViewPopoverController> popoverOf(const std::shared_ptr<ui::View>& view) {
    if (auto field = std::dynamic_pointer_cast<ValidatingTextField>(view)) {
        return field->popoverController();
    }
    if (auto field = std::dynamic_pointer_cast<ValidatingPropertiesField>(view)) {
        return field->popoverController();
    }
    return nullptr;
}

// One control in one look, with its popover drawn over the cell where it shows; the pixels are kept.
struct Shot {
    graphics::ImageRef pixels;
    double scale = 1;
    Rect text; // the text field's frame, window coordinates, y up
    bool popoverShown = false;

    graphics::ImageRep::RGBA at(double x, double yUp) const {
        return pixels->representations().at(0)->pixel(
            static_cast<int>(std::floor(x * scale)),
            static_cast<int>(std::floor((cellHeight - yUp) * scale)));
    }
};

// Calls `each` with every half-point sample of an area.
template <typename Each> void sample(const Rect& area, Each each) {
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            each(x, y);
        }
    }
}

// Pixels of an area (window coordinates) that differ between two shots.
int differing(const Shot& a, const Shot& b, const Rect& area) {
    int count = 0;
    sample(area, [&](double x, double y) { count += a.at(x, y) == b.at(x, y) ? 0 : 1; });
    return count;
}

// Pixels of an area whose red stands out over green and blue: the error colour.
int reddish(const Shot& shot, const Rect& area) {
    int count = 0;
    sample(area, [&](double x, double y) {
        const auto p = shot.at(x, y);
        count += p.r > p.g + 40 && p.r > p.b + 40 ? 1 : 0;
    });
    return count;
}

// The brightest channel value over an area of the text field (its own coordinates, y up).
int brightest(const Shot& shot, const Rect& area) {
    int best = 0;
    sample(area.offsetBy(shot.text.minX(), shot.text.minY()), [&](double x, double y) {
        const auto p = shot.at(x, y);
        best = std::max({best, static_cast<int>(p.r), static_cast<int>(p.g), static_cast<int>(p.b)});
    });
    return best;
}

// A shot of a row's control in a look; `keyWindow` false takes the focus away from the window after
// the control has become first responder.
Shot shoot(const SheetRow& row, Look look, double scale, bool keyWindow = true) {
    vimbratest::Scene scene(Rect(300, 300, cellWidth, cellHeight), scale);
    auto control = row.make(look);
    control->setFrame(controlFrame);
    scene.add(control);
    fieldstest::turn();
    control->layoutSubtreeIfNeeded();
    auto text = textOf(control);
    auto validating = std::dynamic_pointer_cast<ValidatingField>(control);
    text->setStringValue(look == Look::placeholder ? "" : "Tessaray 42");
    text->setPlaceholderString("Placeholder");
    if (look == Look::invalid || look == Look::invalidFocused) {
        if (validating) {
            validating->setValid(false);
            validating->setMessage("Needs a number");
        }
    }
    if (look == Look::disabled) {
        text->setEnabled(false);
    }
    if (look == Look::focused || look == Look::invalidFocused) {
        // Labels refuse the focus.
        EXPECT_EQ(scene.window->makeFirstResponder(text), row.kind != Kind::label) << row.name;
        if (!keyWindow) {
            scene.backend->focusOut();
        }
    }
    fieldstest::turn();
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();

    Shot shot{graphics::Image::fromSurface(scene.backend->surface(), scale), scale,
              text->convertRectToView(text->bounds(), nullptr)};
    cairo_t* cr = cairo_create(shot.pixels->representations().at(0)->surface());
    if (auto popover = popoverOf(control); popover && popover->popover()->isShown()) {
        auto window = popover->popover()->window();
        auto backend = std::dynamic_pointer_cast<display::HeadlessBackend>(window->backend());
        backend->displayIfNeeded();
        const Rect at = window->frame();
        const Rect cell = scene.window->frame();
        cairo_set_source_surface(cr, backend->surface(), (at.minX() - cell.minX()) * scale,
                                 (cell.maxY() - at.maxY()) * scale);
        cairo_paint(cr);
        shot.popoverShown = true;
    }
    cairo_destroy(cr);
    return shot;
}

} // namespace

TEST(FieldsSheet, EveryFieldAndLabelInEveryLookAtBothScales) {
    const Rect around = controlFrame.insetBy(-3, -3);
    const Rect below(0, 0, cellWidth, controlFrame.minY() - 3);
    const Rect above(0, controlFrame.maxY() + 3, cellWidth, cellHeight - controlFrame.maxY() - 3);
    // Areas of the text field (its own coordinates): its left edge, where the ring runs round it; the
    // search field's text (between the magnifier and the cancel button) and its cancel button; the
    // declarative field's text and the empty stretch after its placeholder.
    const Rect leftEdge(-2, 6, 4, 10);
    const Rect searchText(24, 4, controlFrame.width() - 54, 14);
    const Rect cancel(controlFrame.width() - 18, 4, 14, 14);
    const Rect fieldText(4, 4, 100, 14);
    const Rect afterPlaceholder(110, 4, 20, 14);
    for (double scale : {1.0, 2.0}) {
        const auto& rows = sheetRows();
        const int width = static_cast<int>(cellWidth * scale * static_cast<double>(sheetLooks.size()));
        const int height = static_cast<int>(cellHeight * scale * static_cast<double>(rows.size()));
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(sheet);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const SheetRow& row = rows[r];
            std::vector<Shot> shots;
            for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
                shots.push_back(shoot(row, sheetLooks[column], scale));
                cairo_set_source_surface(cr, shots.back().pixels->representations().at(0)->surface(),
                                         static_cast<double>(column) * cellWidth * scale,
                                         static_cast<double>(r) * cellHeight * scale);
                cairo_paint(cr);
            }
            const auto& normal = shots[0];
            const auto& placeholder = shots[1];
            const auto& focused = shots[2];
            const auto& invalid = shots[3];
            const auto& invalidFocused = shots[4];
            const auto& disabled = shots[5];
            const std::string what = std::string(row.name) + " @" + std::to_string(scale);
            // Placeholder and disabled text look different from the value.
            EXPECT_GT(differing(normal, placeholder, around), 0) << what;
            EXPECT_GT(differing(normal, disabled, around), 0) << what;
            // Labels never draw a ring; fields draw one only with focus.
            if (row.kind == Kind::label) {
                EXPECT_EQ(differing(normal, focused, around), 0) << what;
                EXPECT_EQ(reddish(invalidFocused, around), 0) << what;
                continue;
            }
            EXPECT_GT(differing(normal, focused, around), 0) << what;
            EXPECT_EQ(differing(normal, focused, below), 0) << what;
            EXPECT_EQ(differing(normal, focused, above), 0) << what;
            if (row.kind == Kind::validating) {
                // Invalid: the error look; focused, the message shows in its popover below or above.
                EXPECT_GT(reddish(invalid, around), 20) << what;
                EXPECT_FALSE(invalid.popoverShown) << what;
                EXPECT_TRUE(invalidFocused.popoverShown) << what;
                const Rect side = row.name == std::string("properties field") ? above : below;
                EXPECT_GT(differing(invalid, invalidFocused, side), 200 * scale * scale) << what;
                EXPECT_GT(reddish(invalidFocused, around), 20) << what;
            } else {
                EXPECT_EQ(reddish(invalid, around), 0) << what;
                EXPECT_FALSE(invalidFocused.popoverShown) << what;
            }
            if (row.kind == Kind::search || row.kind == Kind::hosted) {
                // The placeholder is drawn dimmer than the text, and brighter than the empty field;
                // disabled text is dimmer; the search field's cancel button shows only with text.
                const Rect textArea = row.kind == Kind::search ? searchText : fieldText;
                const Rect empty = row.kind == Kind::search ? Rect(60, 19, 40, 1) : afterPlaceholder;
                EXPECT_GT(brightest(normal, textArea), brightest(placeholder, textArea) + 30) << what;
                EXPECT_GT(brightest(placeholder, textArea), brightest(placeholder, empty) + 20) << what;
                EXPECT_LT(brightest(disabled, textArea) + 20, brightest(normal, textArea)) << what;
                if (row.kind == Kind::search) {
                    EXPECT_GT(brightest(normal, cancel), brightest(placeholder, cancel) + 30) << what;
                }
                // The ring runs round the frame's edge, and only with focus in the key window. (The
                // field editor shows the text of both focused shots.)
                const Shot inactive = shoot(row, Look::focused, scale, false);
                EXPECT_NE(brightest(focused, leftEdge), brightest(normal, leftEdge)) << what;
                EXPECT_EQ(brightest(inactive, leftEdge), brightest(normal, leftEdge)) << what;
            }
        }
        cairo_destroy(cr);
        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "fields-sheet@1x.png" : "fields-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);
    }
}
