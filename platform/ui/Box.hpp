#pragma once

// A box: a view that draws a separator line (or, as the primary kind, nothing of its own yet) around or
// behind its content. AppKit's raw box types.

#include "ui/View.hpp"

namespace ui {

enum class BoxType { primary = 0, separator = 2, custom = 4 };

class Box : public View {
public:
    explicit Box(const graphics::Rect& frame = {}) : View(frame) {}

    BoxType boxType() const { return boxType_; }
    void setBoxType(BoxType type);

    // A separator draws a line one point thick along its longer side, centred across the shorter one.
    void draw(const graphics::Rect& dirtyRect) override;

private:
    BoxType boxType_ = BoxType::primary;
};

} // namespace ui
