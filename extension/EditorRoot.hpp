#pragma once

// The editor's root view: what the view controller hosts, with the settings model in its environment.

#include "declarative/Declarative.hpp"

#include <memory>
#include <string_view>

class Settings;

// The editor at its design size of 760 x 512 points, scaled about its top-left corner to the space it is
// given (the smaller of the two ratios).
declarative::View makeEditorRoot(const std::shared_ptr<Settings>& settings);

// The editor's design size.
inline constexpr double kEditorWidth = 760;
inline constexpr double kEditorHeight = 512;

// Where the knob of a parameter's dial sits, in design points (top-left origin), for tools and tests
// that operate the editor from outside; an empty rect when it has none.
graphics::Rect editorControlFrame(std::string_view identifier);
// Where its buttons that step to the previous and the next preset sit.
graphics::Rect editorPreviousPresetFrame();
graphics::Rect editorNextPresetFrame();
