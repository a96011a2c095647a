#pragma once

// A view that shows an image, scaled into its bounds as its image scaling says and centred.

#include "graphics/Image.hpp"
#include "ui/Button.hpp"
#include "ui/View.hpp"

namespace ui {

class ImageView : public View {
public:
    explicit ImageView(const graphics::Rect& frame = {}) : View(frame) {}
    // An image view the size of the image.
    static std::shared_ptr<ImageView> make(graphics::ImageRef image);

    graphics::ImageRef image() const { return image_; }
    void setImage(graphics::ImageRef image);
    ImageScaling imageScaling() const { return scaling_; }
    void setImageScaling(ImageScaling scaling);

    graphics::Size intrinsicContentSize() const override;
    // The rect the image is drawn into, in the view's coordinates.
    graphics::Rect imageRect() const;
    void draw(const graphics::Rect& dirtyRect) override;

private:
    graphics::ImageRef image_;
    ImageScaling scaling_ = ImageScaling::proportionallyDown;
};

} // namespace ui
