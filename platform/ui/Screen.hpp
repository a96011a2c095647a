#pragma once

// A screen: its whole frame and the part windows should use (without panels and docks), in screen
// coordinates (points, y up, origin at the bottom-left of the first screen).

#include "graphics/Geometry.hpp"

namespace ui {

class Screen {
public:
    Screen(const graphics::Rect& frame, const graphics::Rect& visibleFrame, double backingScaleFactor = 1.0)
        : frame_(frame), visibleFrame_(visibleFrame), scale_(backingScaleFactor) {}

    const graphics::Rect& frame() const { return frame_; }
    const graphics::Rect& visibleFrame() const { return visibleFrame_; }
    double backingScaleFactor() const { return scale_; }

private:
    graphics::Rect frame_;
    graphics::Rect visibleFrame_;
    double scale_;
};

} // namespace ui
