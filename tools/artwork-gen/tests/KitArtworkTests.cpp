// The kit's generated bundles hold every colour and image its catalogues name, at the right sizes, and
// the dial frames show the value they stand for.
#include "ZeltoCore/KitCatalog.hpp"
#include "ZeltoDialsCore/DialCatalog.hpp"
#include "graphics/Color.hpp"
#include "graphics/Image.hpp"
#include "tools/artwork-gen/DialArtwork.hpp"
#include "tools/artwork-gen/Paint.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path bundlesDirectory = ZELTO_BUNDLES_DIR;

fs::path resourcesOf(std::string_view module) {
    return bundlesDirectory / ("Zelto_" + std::string(module) + ".bundle") / "Resources";
}

// Checks that a named image has one 1x and one 2x bitmap of the given point size.
void expectBothScales(const graphics::ImageRef& image, double width, double height, const std::string& name) {
    ASSERT_NE(image, nullptr) << name;
    EXPECT_DOUBLE_EQ(image->width(), width) << name;
    EXPECT_DOUBLE_EQ(image->height(), height) << name;
    const auto& reps = image->representations();
    ASSERT_EQ(reps.size(), 2u) << name;
    EXPECT_EQ(reps[0]->pixelsWide(), static_cast<int>(width)) << name;
    EXPECT_EQ(reps[0]->pixelsHigh(), static_cast<int>(height)) << name;
    EXPECT_EQ(reps[1]->pixelsWide(), static_cast<int>(2 * width)) << name;
    EXPECT_EQ(reps[1]->pixelsHigh(), static_cast<int>(2 * height)) << name;
}

TEST(KitBundle, HoldsEveryCatalogueColourAndImage) {
    const auto resources = resourcesOf(zelto::kitBundleName.substr(6));
    const auto catalog = graphics::ColorCatalog::forDirectory(resources);
    ASSERT_NE(catalog, nullptr);
    EXPECT_EQ(catalog->count(), zelto::kitColors.size());
    for (const auto& entry : zelto::kitColors) {
        const std::string name(entry.name);
        const auto colour = catalog->color(name);
        ASSERT_NE(colour, nullptr) << name;
        const auto expected = graphics::Color::parseHex(std::string(entry.hex));
        ASSERT_TRUE(expected.has_value()) << name;
        EXPECT_TRUE(colour->sameComponents(*expected, 1e-6)) << name;
    }
    for (const auto& entry : zelto::kitImages) {
        const std::string name(entry.name);
        expectBothScales(graphics::Image::named(name, resources), entry.width, entry.height, name);
    }
}

TEST(DialBundles, HoldEveryFrameOfEverySequence) {
    for (const auto module : zelto::dialModules) {
        const auto bundle = bundlesDirectory / ("Zelto_" + std::string(module) + ".bundle");
        std::ifstream in(bundle / "Info.json");
        ASSERT_TRUE(in) << module;
        const auto info = nlohmann::json::parse(in);
        EXPECT_EQ(info.value("CFBundleIdentifier", ""), "com.kestrova." + std::string(module) + ".resources");
    }
    int frames = 0;
    for (const auto& sequence : zelto::dialSequences) {
        const auto resources = resourcesOf(sequence.module);
        for (int frame = 1; frame <= zelto::dialFrameCount; ++frame) {
            const std::string name = artwork::dialFrameName(sequence, frame);
            expectBothScales(graphics::Image::named(name, resources), sequence.width, sequence.height, name);
            ++frames;
        }
    }
    EXPECT_EQ(frames, 612);
    // A name with a folder resolves inside the resource directory.
    const auto seventh = graphics::Image::named("knobs/chaos-dial-grey_07", resourcesOf("ZeltoChaosDial"));
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(seventh->name(), "knobs/chaos-dial-grey_07");
    EXPECT_EQ(artwork::dialFrameName(zelto::dialSequences.back(), 51), "knobs/dial-small-grey-51");
}

// True when some pixel within two of (x, y) of the bitmap is opaque and near the colour.
bool showsColourNear(const graphics::ImageRep& rep, double x, double y, artwork::RGB colour) {
    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const auto p = rep.pixel(px + dx, py + dy);
            const double distance = std::max({std::abs(p.r - colour.r * 255), std::abs(p.g - colour.g * 255),
                                              std::abs(p.b - colour.b * 255)});
            if (p.a > 200 && distance < 40) {
                return true;
            }
        }
    }
    return false;
}

TEST(DialFrames, IndicatorAndValueArcFollowTheFrame) {
    using artwork::pointX, artwork::pointY, artwork::radians;
    for (const auto& sequence : zelto::dialSequences) {
        const auto resources = resourcesOf(sequence.module);
        const auto layout = artwork::dialLayout(sequence);
        const auto accent = artwork::hex(sequence.accent);
        const double scale = 2;
        auto bitmap = [&](int frame) {
            const auto image = graphics::Image::named(artwork::dialFrameName(sequence, frame), resources);
            return image ? image->bestRepresentation(scale) : nullptr;
        };
        // Whether the frame shows the accent at a radius and an angle (0 up, clockwise).
        auto accentAt = [&](const graphics::ImageRep& rep, double radius, double degrees) {
            const double a = radians(degrees);
            return showsColourNear(rep, pointX(layout.centreX, radius, a) * scale,
                                   pointY(layout.centreY, radius, a) * scale, accent);
        };
        const auto first = bitmap(1), middle = bitmap(26), last = bitmap(51);
        ASSERT_TRUE(first && middle && last) << sequence.prefix;
        EXPECT_EQ(artwork::dialAngleDegrees(1), -135);
        EXPECT_EQ(artwork::dialAngleDegrees(26), 0);
        EXPECT_EQ(artwork::dialAngleDegrees(51), 135);

        // The indicator: left-low at the minimum, up in the middle, right-low at the maximum.
        const double r = layout.indicatorRadius;
        EXPECT_TRUE(accentAt(*first, r, -135)) << sequence.prefix;
        EXPECT_FALSE(accentAt(*first, r, 0)) << sequence.prefix;
        EXPECT_FALSE(accentAt(*first, r, 135)) << sequence.prefix;
        EXPECT_TRUE(accentAt(*middle, r, 0)) << sequence.prefix;
        EXPECT_FALSE(accentAt(*middle, r, 135)) << sequence.prefix;
        EXPECT_TRUE(accentAt(*last, r, 135)) << sequence.prefix;
        EXPECT_FALSE(accentAt(*last, r, -135)) << sequence.prefix;

        // The value arc runs from the start to the indicator only.
        const double track = layout.trackRadius;
        EXPECT_FALSE(accentAt(*first, track, -90)) << sequence.prefix;
        EXPECT_TRUE(accentAt(*middle, track, -90)) << sequence.prefix;
        EXPECT_FALSE(accentAt(*middle, track, 90)) << sequence.prefix;
        EXPECT_TRUE(accentAt(*last, track, 90)) << sequence.prefix;

        // The lower quarter of a frame taller than its dial stays clear for the label.
        if (sequence.height > sequence.width) {
            for (const auto& rep : {first, middle, last}) {
                int opaque = 0;
                for (int y = static_cast<int>(sequence.height * 0.8 * scale); y < rep->pixelsHigh(); ++y) {
                    for (int x = 0; x < rep->pixelsWide(); ++x) {
                        opaque += rep->pixel(x, y).a > 64 ? 1 : 0;
                    }
                }
                EXPECT_EQ(opaque, 0) << sequence.prefix;
            }
        }
    }
}

// A contact sheet of the artwork for looking at: five frames of every sequence, then every kit image,
// and the flat mode button stretched as the button styles stretch it.
void writeContactSheet(double scale, const fs::path& file) {
    const double pad = 8, width = 460;
    std::vector<graphics::ImageRef> row;
    std::vector<std::vector<graphics::ImageRef>> rows;
    for (const auto& sequence : zelto::dialSequences) {
        row.clear();
        for (int frame : {1, 13, 26, 38, 51}) {
            row.push_back(graphics::Image::named(artwork::dialFrameName(sequence, frame),
                                                 resourcesOf(sequence.module)));
        }
        rows.push_back(row);
    }
    const auto kitResources = resourcesOf(zelto::kitBundleName.substr(6));
    row.clear();
    double x = pad;
    for (const auto& entry : zelto::kitImages) {
        if (x + entry.width + pad > width) {
            rows.push_back(row);
            row.clear();
            x = pad;
        }
        row.push_back(graphics::Image::named(std::string(entry.name), kitResources));
        x += entry.width + pad;
    }
    rows.push_back(row);

    double height = pad;
    for (const auto& images : rows) {
        double tallest = 0;
        for (const auto& image : images) {
            tallest = std::max(tallest, image ? image->height() : 0.0);
        }
        height += tallest + pad;
    }
    height += 27 + pad;

    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(width * scale), static_cast<int>(std::ceil(height * scale)));
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    artwork::set(cr, artwork::hex(zelto::kitColors[7].hex));
    cairo_paint(cr);
    auto place = [&](const graphics::ImageRef& image, double left, double top, double w, double h) {
        const auto rep = image->bestRepresentation(scale);
        cairo_save(cr);
        cairo_translate(cr, left, top);
        cairo_scale(cr, w / rep->pixelsWide(), h / rep->pixelsHigh());
        cairo_set_source_surface(cr, rep->surface(), 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    };
    double y = pad;
    for (const auto& images : rows) {
        double left = pad, tallest = 0;
        for (const auto& image : images) {
            if (image) {
                place(image, left, y, image->width(), image->height());
                left += image->width() + pad;
                tallest = std::max(tallest, image->height());
            }
        }
        y += tallest + pad;
    }
    double left = pad;
    for (const char* name : {"modern-button", "modern-button-on", "modern-button-down"}) {
        if (const auto image = graphics::Image::named(name, kitResources)) {
            place(image, left, y, 140, 27);
        }
        left += 140 + pad;
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    EXPECT_EQ(cairo_surface_write_to_png(surface, file.c_str()), CAIRO_STATUS_SUCCESS);

    // Every image loaded, and each one left marks on the sheet where it was placed.
    std::size_t missing = 0;
    for (const auto& images : rows) {
        missing += static_cast<std::size_t>(std::count(images.begin(), images.end(), nullptr));
    }
    EXPECT_EQ(missing, 0u);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto* pixels = cairo_image_surface_get_data(surface);
    const int wide = cairo_image_surface_get_width(surface), high = cairo_image_surface_get_height(surface);
    const std::uint32_t background = *reinterpret_cast<const std::uint32_t*>(pixels);
    double drawn = 0;
    for (int y = 0; y < high; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(pixels + y * stride);
        drawn += static_cast<double>(
            std::count_if(line, line + wide, [&](std::uint32_t p) { return p != background; }));
    }
    EXPECT_GT(drawn / (wide * high), 0.25) << "the artwork covers a good part of the sheet";
    cairo_surface_destroy(surface);
}

TEST(KitArtwork, ContactSheetsShowEveryImageAtBothScales) {
    const fs::path directory = KIT_ARTWORK_SHEET_DIR;
    writeContactSheet(1, directory / "kit-artwork-sheet.png");
    writeContactSheet(2, directory / "kit-artwork-sheet@2x.png");
}

} // namespace
