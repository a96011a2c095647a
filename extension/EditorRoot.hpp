#pragma once

// The editor's root view: what the view controller hosts, with the settings model in its environment.

#include "declarative/Declarative.hpp"

#include <memory>

class Settings;

// The editor at its design size of 760 x 512 points, scaled about its top-left corner to the space it is
// given (the smaller of the two ratios).
declarative::View makeEditorRoot(const std::shared_ptr<Settings>& settings);

// The editor's design size.
inline constexpr double kEditorWidth = 760;
inline constexpr double kEditorHeight = 512;
