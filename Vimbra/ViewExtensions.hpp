#pragma once

// Conveniences on views and strings: pinning a view to another's edges, the size of a device pixel,
// finding views up and down the tree, separators and flexible spaces, the focus test, and text drawn
// centred vertically in a rect. Main thread only.

#include "core/Unicode.hpp"
#include "graphics/AttributedString.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/Image.hpp"
#include "ui/Box.hpp"
#include "ui/ImageView.hpp"
#include "ui/View.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vimbra {

// Draws the text with the attributes in a rect of the same size moved down by half the room the text
// leaves: (minX, minY + (height - text height) / 2, width, height). Its first line starts at the top of
// that rect, so the text is centred in flipped coordinates, as controls draw.
void drawVerticallyCentered(const std::string& text, const graphics::Rect& rect,
                            const graphics::TextAttributes& attributes);
// The whole text, as a range of its bytes.
inline core::TextRange fullRange(const std::string& text) {
    return {0, text.size()};
}

// Has the view drawn again (what turning its bounds back and forth achieves).
void refreshByRotating(const std::shared_ptr<ui::View>& view);

// Pins the view to the four sides of another with insets (leading = + left, trailing = - right,
// bottom = - bottom, top = + top), turning off its autoresizing-mask translation first. Nothing happens
// without the other view. The toolkit's own; anchorToAllSidesOf is the same operation.
using ui::pinEdges;
inline void anchorToAllSidesOf(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::View>& other,
                               const graphics::EdgeInsets& insets = {}) {
    ui::pinEdges(view, other, insets);
}

// One device pixel in points: 1 / the window's backing scale, 1 outside a window.
double onePixel(const ui::View& view);

// A new view of the class with its frame and identifier.
template <class V = ui::View>
std::shared_ptr<V> makeView(const std::string& identifier, const graphics::Rect& frame = {}) {
    auto view = std::make_shared<V>(frame);
    view->setIdentifier(identifier);
    return view;
}

// The views below the view that satisfy the predicate: first its matching subviews in order, then, for
// each subview in order, the matches below that subview.
std::vector<std::shared_ptr<ui::View>> descendants(const ui::View& view,
                                                   const std::function<bool(const ui::View&)>& predicate);
std::shared_ptr<ui::View> firstDescendant(const ui::View& view,
                                          const std::function<bool(const ui::View&)>& predicate);
// The nearest view above the view that satisfies the predicate, or null.
std::shared_ptr<ui::View> ancestor(const ui::View& view,
                                   const std::function<bool(const ui::View&)>& predicate);
template <class T> std::shared_ptr<T> ancestor(const ui::View& view) {
    return std::dynamic_pointer_cast<T>(ancestor(
        view, [](const ui::View& candidate) { return dynamic_cast<const T*>(&candidate) != nullptr; }));
}

// A horizontal separator box, 50 by 1 points.
std::shared_ptr<ui::Box> makeSeparator();
// An empty view that yields to its neighbours: hugging and compression resistance 50 on both axes.
std::shared_ptr<ui::View> makeFlexibleSpace();

// Whether the view is its window's first responder, or, for a control being edited (a text field),
// whether its field editor is; false without a window or first responder. The styled controls' focus
// test: they draw their focus look, and validating fields show their message, only while it holds.
bool isFirstResponder(const ui::View& view);

// Each view's next key view becomes the next one in the list and the last one's the first, closing a
// loop; a single view leads to itself; an empty list changes nothing.
void chainKeyViews(const std::vector<std::shared_ptr<ui::View>>& views);

// What the view and its subviews draw in its bounds, as a new image of the bounds' size at the window's
// scale; null when no bitmap can be made.
graphics::ImageRef snapshotImage(ui::View& view);
// An image view of the snapshot with the view's frame; null without a snapshot.
std::shared_ptr<ui::ImageView> snapshotImageView(ui::View& view);

// Takes every subview out of the view, in order.
void removeAllSubviews(ui::View& view);

// Replaces the view's own enter-and-exit tracking area (held in `area`) with one over its bounds, active
// whatever the window's state; the view hears mouseEntered and mouseExited.
void replaceBoundsTrackingArea(ui::View& view, std::shared_ptr<ui::TrackingArea>& area);

} // namespace vimbra
