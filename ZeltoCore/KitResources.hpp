#pragma once

// Where the kit finds its resources at run time: the bundles of the kit and of each dial module, the
// kit's named colours and images, and the dial palette.

#include "core/Bundle.hpp"
#include "graphics/Color.hpp"
#include "graphics/Image.hpp"

#include <string_view>

namespace zelto {

// The resource bundle "Zelto_<module>.bundle" of one of the kit's modules ("ZeltoCore",
// "ZeltoChaosDial", ...), found once per module, in the main bundle's resources, beside the kit's own
// code and in the main bundle's folder (then in the places every bundle search covers). The kit cannot
// draw without its resources: a miss stops the process with "unable to find bundle named Zelto_<module>".
const core::Bundle& moduleBundle(std::string_view module);

// The kit's own bundle, "Zelto_ZeltoCore.bundle".
const core::Bundle& kitBundle();

// A named colour of the kit (one shared object per name); null when the bundle has no such colour.
graphics::ColorRef kitColor(std::string_view name);
// A named image of the kit; null when the bundle has no such image.
graphics::ImageRef kitImage(std::string_view name);

// The dial palette.
graphics::ColorRef zeltoPluginGrey();
graphics::ColorRef zeltoPluginBlue();
graphics::ColorRef zeltoPluginYellow();
graphics::ColorRef zeltoPluginRed();
graphics::ColorRef zeltoPluginPurple();
graphics::ColorRef zeltoTinyDialLabel();

} // namespace zelto
