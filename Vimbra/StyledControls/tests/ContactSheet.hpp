#pragma once

// The contact sheets' shared parts: a window's pixels kept as a shot, the comparisons the sheets make
// between shots, and the sheet the shots are laid out on, written beside the test binary at its scale.

#include "Vimbra/tests/TestSupport.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/Image.hpp"

#include <cairo.h>
#include <string>

namespace contactsheet {

using RGBA = graphics::ImageRep::RGBA;

// The scales every sheet is drawn at.
inline constexpr double scales[] = {1.0, 2.0};

// One window's pixels, kept. Points are window coordinates, y up.
struct Shot {
    graphics::ImageRef pixels;   // null for a cell left empty
    graphics::Rect controlFrame; // what the shot is of
    double scale = 1;
    double height = 0; // the window's height in points

    RGBA at(double x, double yUp) const;
    // A point of the control (its own coordinates, flipped when the control is).
    RGBA atControl(double x, double y, bool flipped) const;
    cairo_surface_t* surface() const;
};

// Draws the scene's window and keeps its pixels, with the frame of what it shows.
Shot shoot(const vimbratest::Scene& scene, const graphics::Rect& controlFrame, double scale);
// A shot of pixels drawn elsewhere (a surface of the window's size at the scale); the surface is copied.
Shot shotOf(cairo_surface_t* surface, const graphics::Rect& controlFrame, double scale, double height);

// The sum of the channels' differences.
int contrast(const RGBA& a, const RGBA& b);
// How many pixels of an area differ between two shots, sampled every half point.
int differing(const Shot& a, const Shot& b, const graphics::Rect& area);
// Where the normal shot stands out by minContrast or more from the background inside area, the dimmed
// shot shows it at half strength over the same background, each channel within tolerance; answers how
// many pixels were compared.
int expectHalfStrength(const Shot& normal, const Shot& dimmed, const graphics::Rect& area,
                       const RGBA& background, int minContrast, int tolerance);

// A sheet of a size in points at a scale, transparent until shots are placed on it.
class Sheet {
public:
    Sheet(graphics::Size size, double scale);
    ~Sheet();
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    double scale() const { return scale_; }
    // Draws the shot (nothing for an empty one) with its top-left corner at a point of the sheet (y down).
    void place(const Shot& shot, graphics::Point topLeft);
    // Writes the sheet as <name>@1x.png or <name>@2x.png into the tests' output directory; true once written.
    bool write(const std::string& name) const;

private:
    double scale_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

} // namespace contactsheet
