#pragma once

// Makes the kit's bundles findable for the skin tests: the bundles the build generated when they are
// there, else a small stand-in set drawn here once (frames whose accent indicator turns from -135 to
// +135 degrees, and the kit's colour table). Also registers the kit's typefaces.

#include "ZeltoCore/KitCatalog.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoDialsCore/DialSkin.hpp"
#include "core/Bundle.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/Image.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace dialtest {

namespace fs = std::filesystem;

inline fs::path builtBundlesDirectory() {
    return fs::path(ZELTO_BUNDLES_DIR);
}

inline bool builtBundlesComplete() {
    const auto dir = builtBundlesDirectory();
    const auto& last = zelto::dialSequences.back();
    return fs::exists(dir / "Zelto_ZeltoCore.bundle" / "Resources" / "Colors.json") &&
           fs::exists(dir / ("Zelto_" + std::string(last.module) + ".bundle") / "Resources" /
                      (zelto::dialFrameName(last, zelto::dialFrameCount) + ".png"));
}

inline void drawStandInFrame(const zelto::DialSequence& sequence, int index, double scale,
                             const fs::path& file) {
    const graphics::Size size{sequence.width, sequence.height};
    const auto accent =
        graphics::Color::parseHex(std::string(sequence.accent)).value_or(graphics::Color(1, 1, 1));
    auto image = graphics::Image::draw(
        size, scale,
        [&](graphics::GraphicsContext& c) {
            const double radius = size.width * 0.4;
            const graphics::Point centre{size.width / 2, size.width / 2 + 2};
            c.fillPath(
                graphics::BezierPath::oval({centre.x - radius, centre.y - radius, 2 * radius, 2 * radius}),
                graphics::Color::white(0.2), graphics::CompositingOperation::sourceOver);
            const double angle =
                graphics::radians(-135.0 + 270.0 * (index - 1) / (zelto::dialFrameCount - 1));
            graphics::BezierPath indicator;
            indicator.moveTo(centre);
            indicator.lineTo({centre.x + radius * std::sin(angle), centre.y - radius * std::cos(angle)});
            indicator.setLineWidth(std::max(2.0, radius / 5));
            c.strokePath(indicator, graphics::Color::rgba(accent.red(), accent.green(), accent.blue()));
        },
        true);
    fs::create_directories(file.parent_path());
    image->writePNG(file);
}

// The directory to search for "Zelto_<module>.bundle"; added to the bundle search paths.
inline fs::path useDialBundles() {
    static const fs::path directory = [] {
        fs::path dir = builtBundlesDirectory();
        if (!builtBundlesComplete()) {
            dir = fs::path(DIALS_FIXTURE_DIR);
            if (!fs::exists(dir / ".complete")) {
                for (const auto& sequence : zelto::dialSequences) {
                    const auto resources =
                        dir / ("Zelto_" + std::string(sequence.module) + ".bundle") / "Resources";
                    for (int i = 1; i <= zelto::dialFrameCount; ++i) {
                        const auto name = zelto::dialFrameName(sequence, i);
                        drawStandInFrame(sequence, i, 1, resources / (name + ".png"));
                        drawStandInFrame(sequence, i, 2, resources / (name + "@2x.png"));
                    }
                }
                const auto kit = dir / "Zelto_ZeltoCore.bundle" / "Resources";
                fs::create_directories(kit);
                std::ofstream colors(kit / "Colors.json");
                colors << "{";
                for (std::size_t i = 0; i < zelto::kitColors.size(); ++i) {
                    colors << (i ? ",\n" : "\n") << "  \"" << zelto::kitColors[i].name << "\": \""
                           << zelto::kitColors[i].hex << "\"";
                }
                colors << "\n}\n";
                colors.close();
                std::ofstream(dir / ".complete") << "stand-in bundles\n";
            }
        }
        core::Bundle::addSearchPath(dir);
        registerKitFonts(builtBundlesDirectory() / "Zelto_ZeltoCore.bundle" / "Resources" / "Fonts");
        return dir;
    }();
    return directory;
}

} // namespace dialtest
