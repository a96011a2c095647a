#pragma once

// The library's resource bundle "Vimbra_Vimbra.bundle": its named colours and images, the resource
// values that refer to them, and the palettes that hand them out ready-made.

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

inline constexpr std::array<const char*, 21> colorNames = {
    "Background/Normal", "Background/Darker", "Background/Darkest", "Grey 20%",         "Grey 30%",
    "Grey 40%",          "Grey 50%",          "Grey 60%",           "Grey 70%",         "Grey 85%",
    "Grey 100%",         "Pelko/Aqua",        "Pelko/Blue",         "Pelko/DarkPurple", "Pelko/LightBlue",
    "Pelko/Orange",      "Pelko/Purple",      "Pelko/Red",          "Pelko/Yellow",     "Error",
    "Highlight/System"};

inline constexpr std::array<const char*, 52> imageNames = {"qel-button",
                                                           "qel-button-down",
                                                           "qel-button-selected",
                                                           "qel-checkbox",
                                                           "qel-checkbox-down",
                                                           "qel-checkbox-mixed",
                                                           "qel-checkbox-mixed-down",
                                                           "qel-checkbox-on",
                                                           "qel-checkbox-on-down",
                                                           "qel-checkerboard",
                                                           "qel-checkerboard-small",
                                                           "qel-combobox",
                                                           "qel-combobox-up",
                                                           "qel-customslider-handle",
                                                           "qel-customslider-handle-down",
                                                           "qel-customslider-on",
                                                           "qel-popdown",
                                                           "qel-popdown-down",
                                                           "qel-popup",
                                                           "qel-popup-down",
                                                           "qel-popup-tool",
                                                           "qel-popup-tool-down",
                                                           "qel-searchfield",
                                                           "qel-searchfield-focus",
                                                           "qel-slider",
                                                           "qel-slider-alley",
                                                           "qel-slider-handle",
                                                           "qel-slider-handle-down",
                                                           "qel-slider-handle-multi",
                                                           "qel-textfield",
                                                           "qel-textfield-error",
                                                           "qel-textfield-focus",
                                                           "qel-textfield-tableheader",
                                                           "qel-window-tab",
                                                           "qel-window-tab-down",
                                                           "qel-window-tab-selected",
                                                           "corner-tool-background",
                                                           "corner-tool-background-down",
                                                           "corner-tool-background-selected",
                                                           "corner-tool-more",
                                                           "cursor-trackingslider",
                                                           "organiser-icon-disclose",
                                                           "organiser-icon-disclose-open",
                                                           "organiser-icon-star",
                                                           "organiser-icon-star-empty",
                                                           "organiser-navbar-back",
                                                           "organiser-navbar-back-down",
                                                           "properties-table-add",
                                                           "properties-table-add-down",
                                                           "properties-tableheader-overflow",
                                                           "properties-tableheader-overflow-down",
                                                           "window-kestrova"};

// The application's cycle cursor image, shipped in the library's bundle as well.
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
