#pragma once

// Buttons and button cells, with AppKit's raw values: button types, bezel styles, image positions and
// scaling, and the highlight/state masks that say what a press and the on state change in the look.
// Styled cells override the drawing steps (bezel, image, title) and the geometry one at a time.

#include "graphics/Image.hpp"
#include "ui/Cell.hpp"
#include "ui/Control.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace ui {

enum class ButtonType {
    momentaryLight = 0,
    pushOnPushOff = 1,
    toggle = 2,
    switchButton = 3,
    radio = 4,
    momentaryChange = 5,
    onOff = 6,
    momentaryPushIn = 7,
    accelerator = 8,
    multiLevelAccelerator = 9,
};

enum class BezelStyle {
    rounded = 1,
    regularSquare = 2,
    disclosure = 5,
    shadowlessSquare = 6,
    circular = 7,
    texturedSquare = 8,
    helpButton = 9,
    smallSquare = 10,
    texturedRounded = 11,
    roundRect = 12,
    recessed = 13,
    roundedDisclosure = 14,
};

enum class ImagePosition {
    noImage = 0,
    imageOnly = 1,
    imageLeft = 2,
    imageRight = 3,
    imageBelow = 4,
    imageAbove = 5,
    imageOverlaps = 6,
    imageLeading = 7,
    imageTrailing = 8,
};

enum class ImageScaling {
    proportionallyDown = 0,
    axesIndependently = 1,
    none = 2,
    proportionallyUpOrDown = 3
};

// What highlightsBy and showsStateBy select.
namespace CellStyleMask {
inline constexpr int contents = 1;         // the alternate image and title
inline constexpr int pushIn = 2;           // the bezel looks pressed
inline constexpr int changeGray = 4;       // the bezel darkens
inline constexpr int changeBackground = 8; // the bezel takes the highlight colour
} // namespace CellStyleMask

class ButtonCell : public Cell {
public:
    explicit ButtonCell(std::string title = {});
    explicit ButtonCell(graphics::ImageRef image);

    std::string title() const override { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& alternateTitle() const { return alternateTitle_; }
    void setAlternateTitle(std::string title) { alternateTitle_ = std::move(title); }
    // The image and the alternate image; a pop-up cell answers its selected item's image, and cells
    // that take their images from elsewhere (a style) override all four.
    virtual graphics::ImageRef image() const { return image_; }
    virtual void setImage(graphics::ImageRef image) { image_ = std::move(image); }
    virtual graphics::ImageRef alternateImage() const { return alternateImage_; }
    virtual void setAlternateImage(graphics::ImageRef image) { alternateImage_ = std::move(image); }

    ButtonType buttonType() const { return buttonType_; }
    // Sets the type and with it both masks (and allowsMixedState off).
    virtual void setButtonType(ButtonType type);
    BezelStyle bezelStyle() const { return bezelStyle_; }
    void setBezelStyle(BezelStyle style) { bezelStyle_ = style; }
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position) { imagePosition_ = position; }
    ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(ImageScaling scaling) { imageScaling_ = scaling; }
    int highlightsBy() const { return highlightsBy_; }
    void setHighlightsBy(int mask) { highlightsBy_ = mask; }
    int showsStateBy() const { return showsStateBy_; }
    void setShowsStateBy(int mask) { showsStateBy_ = mask; }

    // The image shown now: the alternate image while the state or the highlight says so (and one
    // exists), else the image.
    graphics::ImageRef displayedImage() const;
    // The title shown now: the alternate title when the state says so and one is set, else the title.
    std::string displayedTitle() const;

    // Geometry (in the control's flipped coordinates). The drawing rect is the bounds, inset by the
    // bezel's margins when bordered; the image sits by imagePosition and is scaled by imageScaling; the
    // title, one line high and centred vertically, takes what the image leaves.
    graphics::Rect drawingRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect imageRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Size cellSize() const override;
    graphics::AttributedString attributedTitle() const override;

    // Drawing: the bezel when bordered or bezeled, then the interior (image, then title).
    void drawWithFrame(const graphics::Rect& frame, View& controlView) override;
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;
    virtual void drawBezelWithFrame(const graphics::Rect& frame, View& controlView);
    virtual void drawImage(const graphics::ImageRef& image, const graphics::Rect& frame, View& controlView);
    // Draws the title centred vertically in frame; returns the rect it covered.
    virtual graphics::Rect drawTitle(const graphics::AttributedString& title, const graphics::Rect& frame,
                                     View& controlView);

    // Space around the content of a bordered cell of this bezel style.
    graphics::EdgeInsets bezelMargins() const;

private:
    std::string title_;
    std::string alternateTitle_;
    graphics::ImageRef image_;
    graphics::ImageRef alternateImage_;
    ButtonType buttonType_ = ButtonType::momentaryPushIn;
    BezelStyle bezelStyle_ = BezelStyle::rounded;
    ImagePosition imagePosition_ = ImagePosition::noImage;
    ImageScaling imageScaling_ = ImageScaling::proportionallyDown;
    int highlightsBy_ = CellStyleMask::pushIn | CellStyleMask::changeGray | CellStyleMask::changeBackground;
    int showsStateBy_ = 0;
};

class Button : public Control {
public:
    explicit Button(const graphics::Rect& frame = {}, std::shared_ptr<ButtonCell> cell = nullptr);

    // A bordered push button with a title; an image-only button with no border.
    static std::shared_ptr<Button> make(const std::string& title, const std::shared_ptr<Object>& target,
                                        Selector action);
    static std::shared_ptr<Button> makeWithImage(graphics::ImageRef image,
                                                 const std::shared_ptr<Object>& target, Selector action);

    std::shared_ptr<ButtonCell> buttonCell() const;

    std::string title() const { return buttonCell()->title(); }
    void setTitle(std::string title);
    std::string alternateTitle() const { return buttonCell()->alternateTitle(); }
    void setAlternateTitle(std::string title);
    graphics::ImageRef image() const { return buttonCell()->image(); }
    void setImage(graphics::ImageRef image);
    graphics::ImageRef alternateImage() const { return buttonCell()->alternateImage(); }
    void setAlternateImage(graphics::ImageRef image);
    ButtonType buttonType() const { return buttonCell()->buttonType(); }
    void setButtonType(ButtonType type);
    BezelStyle bezelStyle() const { return buttonCell()->bezelStyle(); }
    void setBezelStyle(BezelStyle style);
    bool isBordered() const { return buttonCell()->isBordered(); }
    void setBordered(bool bordered);
    ImagePosition imagePosition() const { return buttonCell()->imagePosition(); }
    void setImagePosition(ImagePosition position);
    ImageScaling imageScaling() const { return buttonCell()->imageScaling(); }
    void setImageScaling(ImageScaling scaling);
    bool allowsMixedState() const { return buttonCell()->allowsMixedState(); }
    void setAllowsMixedState(bool allows) { buttonCell()->setAllowsMixedState(allows); }

protected:
    // A completed click moves the state on (as every click does; state-less types never show it) and
    // sends the action.
    void didClick() override;
};

} // namespace ui
