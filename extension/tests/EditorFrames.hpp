#pragma once

// Where the editor's controls sit at its design size, for tests that operate the editor from outside.

#include "graphics/Geometry.hpp"

#include <string_view>

// Where the knob of a parameter's dial sits, in design points (top-left origin); an empty rect when it has
// none, or while the editor's resources cannot be found.
graphics::Rect editorControlFrame(std::string_view identifier);
// Where a dial's label (its name over its value) sits: a click there starts typing a value.
graphics::Rect editorValueFrame(std::string_view identifier);
// Where its buttons that step to the previous and the next preset sit.
graphics::Rect editorPreviousPresetFrame();
graphics::Rect editorNextPresetFrame();
