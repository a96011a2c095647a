#pragma once

// A control that shows an image, scaled into its bounds as its image scaling says and centred. It has a
// control's enabled flag, target and action, and value, but no click tracking of its own: mouse events
// travel on to the next responder, and subclasses decide what a press means (and send the action).

#include "graphics/Image.hpp"
#include "ui/Button.hpp"
#include "ui/Control.hpp"

namespace ui {

class ImageView : public Control {
public:
    explicit ImageView(const graphics::Rect& frame = {}) : Control(frame) {}
    // An image view the size of the image.
    static std::shared_ptr<ImageView> make(graphics::ImageRef image);

    graphics::ImageRef image() const { return image_; }
    void setImage(graphics::ImageRef image);
    ImageScaling imageScaling() const { return scaling_; }
    void setImageScaling(ImageScaling scaling);

    // Unlike other controls, image views are not flipped and do not take keyboard focus.
    bool isFlipped() const override { return false; }
    bool acceptsFirstResponder() const override { return false; }
    void mouseDown(const Event& event) override { View::mouseDown(event); }
    void mouseDragged(const Event& event) override { View::mouseDragged(event); }
    void mouseUp(const Event& event) override { View::mouseUp(event); }

    graphics::Size intrinsicContentSize() const override;
    // The rect the image is drawn into, in the view's coordinates.
    graphics::Rect imageRect() const;
    void draw(const graphics::Rect& dirtyRect) override;

private:
    graphics::ImageRef image_;
    ImageScaling scaling_ = ImageScaling::proportionallyDown;
};

} // namespace ui
