#pragma once

// A self-contained styled push button: its own cell with fixed insets, the plain button style's bezel
// stretched into the frame, a 10-point system-font title coloured by state, optional fixed intrinsic
// width and height, and the library's focus ring. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/Button.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class PelkoPushButtonCell : public ui::ButtonCell,
                            public StyledControl,
                            public StyledView<ButtonCellStyle>,
                            public Selectable {
public:
    explicit PelkoPushButtonCell(std::string title = {});
    explicit PelkoPushButtonCell(graphics::ImageRef image);

    // The one style this cell reads, shared, made on first use.
    static std::shared_ptr<ButtonCellStyle> sharedStyle();
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedStyle(); }

    graphics::EdgeInsets imageEdgeInsets{0, 0, 0, 0};
    graphics::EdgeInsets titleEdgeInsets{4, 0, 6, 0};
    graphics::EdgeInsets edgeInsets{3, 4, 5, 4};

    StyledControlState controlState() const override;
    bool isSelected() const override { return selected_; }
    void setSelected(bool selected) override { selected_ = selected; }

    graphics::Rect imageRectForBounds(const graphics::Rect& bounds) const override;
    // The toolkit's title rect, as high as the drawing rect, inset by titleEdgeInsets (not re-centred).
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame,
                                               ui::View& controlView) const override;
    void drawFocusRingMaskWithFrame(const graphics::Rect&, ui::View&) override {}

    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The state's bezel, into the frame inset by edgeInsets for the rounded bezel style, else the frame.
    void drawBezelWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    void drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                   ui::View& controlView) override;
    graphics::Rect drawTitle(const graphics::AttributedString& title, const graphics::Rect& frame,
                             ui::View& controlView) override;

private:
    bool selected_ = false;
};

class PelkoPushButton : public ui::Button, public Selectable {
public:
    explicit PelkoPushButton(const graphics::Rect& frame = {},
                             std::optional<double> fixedHeight = std::nullopt,
                             std::optional<double> fixedWidth = std::nullopt);

    std::optional<double> fixedHeight() const { return fixedHeight_; }
    void setFixedHeight(std::optional<double> height) { fixedHeight_ = height; }
    std::optional<double> fixedWidth() const { return fixedWidth_; }
    void setFixedWidth(std::optional<double> width) { fixedWidth_ = width; }

    bool isSelected() const override;
    void setSelected(bool selected) override;

    // The toolkit's size with the fixed width and height put in where they are set.
    graphics::Size intrinsicContentSize() const override;
    void drawFocusRingMask() override {}
    void draw(const graphics::Rect& dirtyRect) override;

private:
    std::shared_ptr<PelkoPushButtonCell> pelkoCell() const;

    std::optional<double> fixedHeight_;
    std::optional<double> fixedWidth_;
};

} // namespace vimbra
