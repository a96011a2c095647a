#pragma once

// The application's constants and resources: the product name, its web addresses, the colours of its
// asset catalogue (Resources/Colors.json of the application bundle) and its localised strings.

#include "core/Bundle.hpp"
#include "core/URL.hpp"
#include "graphics/Color.hpp"

#include <string>
#include <string_view>

namespace tessaray {

inline constexpr const char* productName = "Tessaray";

// The window: its title, scene identifier and fixed content size in points.
inline constexpr const char* windowTitle = "Tessaray";
inline constexpr const char* sceneIdentifier = "main";
inline constexpr double windowWidth = 400;
inline constexpr double windowHeight = 572;

inline constexpr const char* helpAddress = "https://kestrova.com/help/tessaray/welcome/";
inline constexpr const char* websiteAddress = "https://kestrova.com/";

// Makes the resource bundles the application uses findable: in the build tree they are generated into
// "bundles" beside the program's folder; installed, they sit beside the program or in that folder.
void addBundleSearchPaths(const core::Bundle& applicationBundle);

// The link constants, each made once.
const core::URL& helpURL();
const core::URL& websiteURL();

// A colour of the application's catalogue ("background", "buttonText"), from the bundle's resources;
// made once per name and bundle. Null when the catalogue has no such colour.
graphics::ColorRef appColor(std::string_view name, const core::Bundle& bundle);

// The application ships no string tables: a key is its own English text. "%@" in a key stands for the
// argument.
std::string localized(std::string_view key);
std::string localized(std::string_view key, std::string_view argument);

} // namespace tessaray
