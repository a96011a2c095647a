#pragma once

// Content views: text, images, colours, shapes and a drawing closure.

#include "declarative/Core.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/Image.hpp"

namespace core {
class Bundle;
}

namespace declarative {

// One line of text in the environment's font and foreground colour. Sized to the text; truncated at
// the tail when proposed less width.
View Text(std::string text);

// An image view: the natural size (points, from pixel size and scale) unless made resizable, then it
// takes the proposal and draws stretched, with cap insets kept unscaled.
class ImageView : public View {
public:
    explicit ImageView(graphics::ImageRef image, bool resizable = false, EdgeInsets capInsets = {},
                       graphics::ResizingMode mode = graphics::ResizingMode::stretch);
    ImageView resizable(EdgeInsets capInsets = {},
                        graphics::ResizingMode mode = graphics::ResizingMode::stretch) const;
    const graphics::ImageRef& image() const { return image_; }

private:
    graphics::ImageRef image_;
};

// A named image from a bundle's resources ("<name>.png" with any @2x/@3x variants); draws nothing
// and has no size when the bundle has no such image.
ImageView Image(const std::string& name, const core::Bundle& bundle);
ImageView Image(graphics::ImageRef image);

// A colour filling whatever it is proposed.
View ColorView(graphics::ColorRef color);

// Shapes fill their proposal (10 by 10 without one) with the foreground colour unless told otherwise.
class ShapeView : public View {
public:
    using PathFunction = std::function<graphics::BezierPath(const Rect&)>;
    explicit ShapeView(PathFunction path);
    View fill(graphics::ColorRef color) const;
    View stroke(graphics::ColorRef color, double lineWidth = 1) const;

private:
    PathFunction path_;
};

// Continuous corners are drawn as circular arcs.
ShapeView RoundedRectangle(double cornerRadius);
ShapeView Circle();
ShapeView Rectangle();
// A path given in the view's own coordinates (origin at its top-left).
ShapeView Path(graphics::BezierPath path);

// A drawing closure's context: the graphics context in the view's coordinates and its size.
class CanvasContext {
public:
    CanvasContext(graphics::GraphicsContext& context, Size size) : context_(context), size_(size) {}
    graphics::GraphicsContext& graphics() { return context_; }
    Size size() const { return size_; }
    void fill(const graphics::BezierPath& path, graphics::ColorRef color);
    void stroke(const graphics::BezierPath& path, graphics::ColorRef color, double lineWidth);
    void draw(const graphics::ImageRef& image, const Rect& rect);
    // Draws into a layer that is masked by `mask` and composited at `opacity`.
    void drawLayer(const graphics::BezierPath& mask, double opacity,
                   const std::function<void(CanvasContext&)>& body);
    // Draws into a layer restricted to `rect` and masked by a vertical gradient over it: `topOpacity`
    // along its top edge fading linearly to `bottomOpacity` along its bottom edge. Without pixels (a
    // recording context) the layer is composited at `topOpacity`.
    void drawFadingLayer(const Rect& rect, double topOpacity, double bottomOpacity,
                         const std::function<void(CanvasContext&)>& body);

private:
    graphics::GraphicsContext& context_;
    Size size_;
};

// Takes its proposal (10 by 10 without one) and draws with the closure.
View Canvas(std::function<void(CanvasContext&)> draw);

} // namespace declarative
