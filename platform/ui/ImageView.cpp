#include "ui/ImageView.hpp"

#include <algorithm>

namespace ui {

std::shared_ptr<ImageView> ImageView::make(graphics::ImageRef image) {
    const graphics::Size size = image ? image->size() : graphics::Size{};
    auto view = std::make_shared<ImageView>(graphics::Rect({0, 0}, size));
    view->setImage(std::move(image));
    return view;
}

void ImageView::setImage(graphics::ImageRef image) {
    image_ = std::move(image);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void ImageView::setImageScaling(ImageScaling scaling) {
    scaling_ = scaling;
    setNeedsDisplay();
}

graphics::Size ImageView::intrinsicContentSize() const {
    return image_ ? image_->size() : graphics::Size{noIntrinsicMetric, noIntrinsicMetric};
}

graphics::Rect ImageView::imageRect() const {
    const auto b = bounds();
    if (!image_) {
        return b;
    }
    graphics::Size size = image_->size();
    switch (scaling_) {
    case ImageScaling::axesIndependently:
        return b;
    case ImageScaling::proportionallyDown:
    case ImageScaling::proportionallyUpOrDown: {
        if (size.width <= 0 || size.height <= 0) {
            return b;
        }
        double factor = std::min(b.width() / size.width, b.height() / size.height);
        if (scaling_ == ImageScaling::proportionallyDown) {
            factor = std::min(factor, 1.0);
        }
        size = {size.width * factor, size.height * factor};
        break;
    }
    case ImageScaling::none:
        break;
    }
    return {b.midX() - size.width / 2, b.midY() - size.height / 2, size.width, size.height};
}

void ImageView::draw(const graphics::Rect&) {
    if (image_) {
        image_->drawInRect(imageRect());
    }
}

} // namespace ui
