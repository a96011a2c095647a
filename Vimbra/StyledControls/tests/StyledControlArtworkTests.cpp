// The images the styled buttons and check boxes ask for by name are in the library's catalogue and its
// built bundle at 1x and 2x, and look like the library's other artwork.
#include "Vimbra/AssetCatalog.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <algorithm>
#include <cairo.h>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
namespace fs = std::filesystem;

namespace {

// By control: push, check box, tool, back, corner and favourite buttons, and the cycling cursor button.
const std::vector<const char*> styledButtonImages = {
    "qel-button",
    "qel-button-down",
    "qel-button-selected",
    "qel-checkbox",
    "qel-checkbox-on",
    "qel-checkbox-mixed",
    "qel-checkbox-down",
    "qel-checkbox-on-down",
    "qel-checkbox-mixed-down",
    "corner-tool-background",
    "corner-tool-background-selected",
    "corner-tool-background-down",
    "corner-tool-more",
    "organiser-navbar-back",
    "organiser-navbar-back-down",
    "organiser-icon-star-empty",
    "organiser-icon-star",
    "cursor-cycle",
};

struct Pixels {
    cairo_surface_t* surface;
    std::uint32_t at(int x, int y) const {
        const auto* data = cairo_image_surface_get_data(surface);
        return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x];
    }
    std::uint8_t alpha(int x, int y) const { return at(x, y) >> 24; }
    // Pixels in the rectangle that differ from the colour given.
    int differing(int x0, int y0, int w, int h, std::uint32_t from) const {
        int count = 0;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                count += at(x, y) != from ? 1 : 0;
            }
        }
        return count;
    }
};

} // namespace

TEST(StyledControlArtwork, EveryNamedImageIsInTheCatalogueAndTheBundleAtBothScales) {
    const auto resources = VimbraAssets::bundle()->resourcePath();
    for (const char* name : styledButtonImages) {
        const auto* entry = assetImage(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_TRUE(fs::is_regular_file(resources / (std::string(name) + ".png"))) << name;
        EXPECT_TRUE(fs::is_regular_file(resources / (std::string(name) + "@2x.png"))) << name;
        const auto image = vimbraImage(name);
        ASSERT_NE(image, nullptr) << name;
        const auto& reps = image->representations();
        ASSERT_EQ(reps.size(), 2u) << name;
        EXPECT_EQ(reps[0]->pixelsWide(), static_cast<int>(entry->width)) << name;
        EXPECT_EQ(reps[0]->pixelsHigh(), static_cast<int>(entry->height)) << name;
        EXPECT_EQ(reps[1]->pixelsWide(), static_cast<int>(2 * entry->width)) << name;
        EXPECT_EQ(reps[1]->pixelsHigh(), static_cast<int>(2 * entry->height)) << name;
        for (const auto& rep : reps) {
            Pixels pixels{rep->surface()};
            EXPECT_GT(pixels.differing(0, 0, rep->pixelsWide(), rep->pixelsHigh(), 0), 0)
                << name << " is not blank at " << rep->scale() << "x";
        }
    }
    // The check box's images fill the 16-point box the cell draws them in.
    for (const char* name : {"qel-checkbox", "qel-checkbox-on", "qel-checkbox-mixed-down"}) {
        EXPECT_EQ(vimbraImage(name)->size(), (graphics::Size{16, 16})) << name;
    }
}

TEST(StyledControlArtwork, TheMoreMarkerCoversTheToolBezelWithItsMarkInTheCorner) {
    // The tool cell draws the marker over its whole frame: sized like the bezel, it leaves the tool's own
    // icon in the middle uncovered and puts its mark in the lower right corner.
    const auto marker = vimbraImage("corner-tool-more");
    const auto bezel = vimbraImage("corner-tool-background");
    ASSERT_TRUE(marker && bezel);
    EXPECT_EQ(marker->size(), bezel->size());
    EXPECT_TRUE(marker->isTemplate());
    for (const auto& rep : marker->representations()) {
        const Pixels pixels{rep->surface()};
        const int w = rep->pixelsWide(), h = rep->pixelsHigh();
        const int quarterW = w / 4, quarterH = h / 4;
        EXPECT_EQ(pixels.differing(quarterW, quarterH, w - 2 * quarterW, h - 2 * quarterH, 0), 0)
            << rep->scale() << "x: the middle stays clear";
        EXPECT_GT(pixels.differing(w - quarterW - 2, h - quarterH - 2, quarterW + 2, quarterH + 2, 0), 0)
            << rep->scale() << "x: the mark sits in the lower right corner";
        EXPECT_EQ(pixels.differing(0, 0, w / 2, h, 0), 0) << rep->scale() << "x: nothing on the left half";
    }
}

TEST(StyledControlArtwork, ContactSheetShowsEachImageAtBothScalesOnTheLibraryBackground) {
    // One row per image: its 1x bitmap enlarged to the 2x size, then its 2x bitmap, on the library's
    // normal background; template images tinted light as the controls tint them.
    const double cell = 56, pad = 8;
    const int columns = 3;
    const int rows = static_cast<int>((styledButtonImages.size() + columns - 1) / columns);
    const int wide = static_cast<int>(columns * (2 * cell + 3 * pad));
    const int high = static_cast<int>(rows * (cell + pad) + pad);
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wide, high);
    cairo_t* cr = cairo_create(sheet);
    const auto background = vimbraColor("Background/Normal");
    ASSERT_NE(background, nullptr);
    cairo_set_source_rgb(cr, background->red(), background->green(), background->blue());
    cairo_paint(cr);
    cairo_surface_flush(sheet);
    const std::uint32_t paper = Pixels{sheet}.at(0, 0);

    struct Placed {
        const char* name;
        int x, y, w, h;
    };
    std::vector<Placed> placed;
    for (std::size_t i = 0; i < styledButtonImages.size(); ++i) {
        const char* name = styledButtonImages[i];
        const auto image = vimbraImage(name);
        ASSERT_NE(image, nullptr) << name;
        const double left = static_cast<double>(i % columns) * (2 * cell + 3 * pad) + pad;
        const double top = static_cast<double>(i / columns) * (cell + pad) + pad;
        for (int column = 0; column < 2; ++column) {
            const auto& rep = image->representations()[column];
            const double x = left + column * (cell + pad) + (cell - 2 * image->width()) / 2;
            const double y = top + (cell - 2 * image->height()) / 2;
            cairo_save(cr);
            cairo_translate(cr, x, y);
            cairo_scale(cr, 2.0 / rep->scale(), 2.0 / rep->scale());
            cairo_pattern_t* pattern = cairo_pattern_create_for_surface(rep->surface());
            cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
            if (image->isTemplate()) {
                cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
                cairo_mask(cr, pattern);
            } else {
                cairo_set_source(cr, pattern);
                cairo_paint(cr);
            }
            cairo_pattern_destroy(pattern);
            cairo_restore(cr);
            placed.push_back({name, static_cast<int>(x), static_cast<int>(y),
                              static_cast<int>(2 * image->width()), static_cast<int>(2 * image->height())});
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(sheet);
    const auto file = fs::path(VIMBRA_TEST_OUTPUT_DIR) / "styled-button-artwork.png";
    EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);

    // Each image left a mark where it was placed at both scales, and the 1x and 2x drawings agree on
    // where their ink is: their covered areas differ by little.
    const Pixels pixels{sheet};
    for (std::size_t i = 0; i < placed.size(); i += 2) {
        const auto& one = placed[i];
        const auto& two = placed[i + 1];
        const int inkOne = pixels.differing(one.x, one.y, one.w, one.h, paper);
        const int inkTwo = pixels.differing(two.x, two.y, two.w, two.h, paper);
        EXPECT_GT(inkOne, one.w * one.h / 100) << one.name;
        EXPECT_GT(inkTwo, two.w * two.h / 100) << two.name;
        EXPECT_LT(std::abs(inkOne - inkTwo), std::max(inkOne, inkTwo) / 3 + 8) << one.name;
    }
    // The gaps between images stay the background colour.
    EXPECT_EQ(pixels.differing(0, 0, wide, static_cast<int>(pad) - 1, paper), 0);
    cairo_surface_destroy(sheet);
}
