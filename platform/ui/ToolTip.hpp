#pragma once

// Tool tips: a small pop-up window that shows a text on a plain panel, never key and never taking the
// focus, placed by the view that shows it. Text fields show their whole text in one when it is cut
// short (expansion tool tips).

#include "graphics/AttributedString.hpp"
#include "ui/View.hpp"

#include <memory>

namespace ui {

class Window;

// The content of a tool tip window: the text on the panel colour inside a one-point border.
class ToolTipView final : public View {
public:
    explicit ToolTipView(graphics::AttributedString text);

    const graphics::AttributedString& text() const { return text_; }
    // Space between the border and the text.
    static constexpr double horizontalPadding = 4;
    static constexpr double verticalPadding = 2;
    // Longer lines wrap at this width.
    static constexpr double maximumTextWidth = 480;
    // The size that shows the whole text with the padding.
    static graphics::Size sizeFor(const graphics::AttributedString& text);

    bool isFlipped() const override { return true; }
    void draw(const graphics::Rect& dirtyRect) override;

private:
    graphics::AttributedString text_;
};

// Opens a tool tip window showing text with its top-left corner at topLeft (screen points, y up), as a
// pop-up over anchor: its back end comes from the anchor's. The caller closes it.
std::shared_ptr<Window> showToolTip(const graphics::AttributedString& text, const graphics::Point& topLeft,
                                    Window& anchor);

} // namespace ui
