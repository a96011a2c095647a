#pragma once

// The library's resource bundle "Vimbra_Vimbra.bundle": its named colours and images, the resource
// values that refer to them, and the palettes that hand them out ready-made.

#include "Vimbra/AssetCatalog.hpp"
#include "core/Bundle.hpp"
#include "graphics/Color.hpp"
#include "graphics/Image.hpp"

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace vimbra {
namespace VimbraAssets {

inline constexpr const char* bundleName = "Vimbra_Vimbra";

// The names of the bundle's colours and images are those of the catalogue (Vimbra/AssetCatalog.hpp).

// The application's cycle cursor image, which the library's bundle carries as well.
inline constexpr const char* cycleImageName = "cursor-cycle";

// Per-image drawing attributes, as an asset catalogue keeps them beside the pixels:
// Resources/Images.json maps a name to {"capInsets": [top, left, bottom, right], "resizingMode":
// "stretch" | "tile", "template": bool}; every key is optional.
inline constexpr const char* imageAttributesFile = "Images.json";

// The bundle, found once per process by name; a missing bundle stops the process with
// "unable to find bundle named Vimbra_Vimbra".
std::shared_ptr<core::Bundle> bundle();

} // namespace VimbraAssets

// A named colour of the library's catalogue.
struct ColorResource {
    std::string name;
    std::shared_ptr<core::Bundle> bundle;

    // The catalogue's shared colour; null when the catalogue has no such name.
    graphics::ColorRef color() const;
};

// A named image of the library's catalogue.
struct ImageResource {
    std::string name;
    std::shared_ptr<core::Bundle> bundle;

    // A new image object each call (sharing the bitmaps), carrying the catalogue's cap insets, resizing
    // mode and template flag; null when the catalogue has no such image.
    graphics::ImageRef image() const;
};

// The one resource value of each catalogue name (made once, kept for the process). Names outside the
// catalogue give a resource whose lookups yield nothing.
const ColorResource& colorResource(std::string_view name);
const ImageResource& imageResource(std::string_view name);

// A new image of the library's catalogue by name (see ImageResource::image).
graphics::ImageRef vimbraImage(std::string_view name);
// The library's named colour (one shared object per name).
graphics::ColorRef vimbraColor(std::string_view name);

// Palettes; every member is made once on first access and the same object is returned ever after.
// VmColors and VmImages are the declarative-UI values; VmColorsAK and VmImagesAK the AppKit-side ones,
// a VmColorsAK colour being made from the VmColors colour.
struct VmColors {
    struct Background {
        static graphics::ColorRef normal();
        static graphics::ColorRef darker();
        static graphics::ColorRef darkest();
    };
    struct Pelko {
        static graphics::ColorRef aqua();
        static graphics::ColorRef blue();
        static graphics::ColorRef darkPurple();
        static graphics::ColorRef lightBlue();
        static graphics::ColorRef orange();
        static graphics::ColorRef purple();
        static graphics::ColorRef red();
        static graphics::ColorRef yellow();
    };
    static graphics::ColorRef grey20();
    static graphics::ColorRef grey30();
    static graphics::ColorRef grey40();
    static graphics::ColorRef grey50();
    static graphics::ColorRef grey60();
    static graphics::ColorRef grey70();
    static graphics::ColorRef grey85();
    static graphics::ColorRef grey100();
};

struct VmColorsAK {
    struct Background {
        static graphics::ColorRef normal();
        static graphics::ColorRef darker();
        static graphics::ColorRef darkest();
    };
    struct Pelko {
        static graphics::ColorRef aqua();
        static graphics::ColorRef blue();
        static graphics::ColorRef darkPurple();
        static graphics::ColorRef lightBlue();
        static graphics::ColorRef orange();
        static graphics::ColorRef purple();
        static graphics::ColorRef red();
        static graphics::ColorRef yellow();
    };
    static graphics::ColorRef grey20();
    static graphics::ColorRef grey30();
    static graphics::ColorRef grey40();
    static graphics::ColorRef grey50();
    static graphics::ColorRef grey60();
    static graphics::ColorRef grey70();
    static graphics::ColorRef grey85();
    static graphics::ColorRef grey100();
};

struct VmImages {
    static graphics::ImageRef button();
    static graphics::ImageRef buttonDown();
    static graphics::ImageRef windowLogo();
    static graphics::ImageRef checkerboard();
    static graphics::ImageRef checkerboardSmall();
    static graphics::ImageRef textField();
    static graphics::ImageRef textFieldError();
    static graphics::ImageRef textFieldFocus();
    static graphics::ImageRef checkbox();
    static graphics::ImageRef checkboxOn();
    static graphics::ImageRef checkboxDown();
    static graphics::ImageRef checkboxOnDown();
};

struct VmImagesAK {
    static graphics::ImageRef button();
    static graphics::ImageRef buttonDown();
    static graphics::ImageRef windowLogo();
    static graphics::ImageRef checkerboard();
    static graphics::ImageRef checkerboardSmall();
    static graphics::ImageRef textField();
    static graphics::ImageRef textFieldError();
    static graphics::ImageRef textFieldFocus();
    static graphics::ImageRef checkbox();
    static graphics::ImageRef checkboxOn();
    static graphics::ImageRef checkboxDown();
    static graphics::ImageRef checkboxOnDown();
    static graphics::ImageRef cursorTrackingSlider();
};

} // namespace vimbra
