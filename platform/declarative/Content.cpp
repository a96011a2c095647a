#include "declarative/Content.hpp"

#include "core/Bundle.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Modifier.hpp"
#include "graphics/AttributedString.hpp"

#include <algorithm>
#include <cmath>

namespace declarative {

using detail::make;
using detail::ParamsNode;

namespace {

const TextMeasurer& measurerOf(const Node& node) {
    static const PangoTextMeasurer fallback;
    return node.host() ? node.host()->textMeasurer() : fallback;
}

// Leaves take hits inside their frame.
template <class Params, class Self> class LeafNode : public ParamsNode<Params, Self> {
public:
    bool hitsSelf(Point local) const override { return this->frame_.contains(local); }
};

struct TextParams {
    std::string text;
};
class TextNode final : public LeafNode<TextParams, TextNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        if (params().text.empty()) {
            return;
        }
        graphics::TextAttributes attributes;
        attributes.font = environment_.resolvedFont();
        attributes.foregroundColor = environment_.resolvedForegroundColor();
        attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
        attributes.paragraphStyle.alignment = graphics::TextAlignment::left;
        context.drawText(graphics::AttributedString(params().text, attributes), frame_);
    }

protected:
    Size sizeThatFits(const Proposal& p) override {
        const Size natural = naturalSize();
        const double width = p.width ? std::min(*p.width, natural.width) : natural.width;
        return {std::max(0.0, width), natural.height};
    }

private:
    // Measuring lays the text out, so the last answer is kept for as long as text, font and measurer
    // stay the same.
    Size naturalSize() {
        const auto font = environment_.resolvedFont();
        const TextMeasurer* measurer = &measurerOf(*this);
        const std::uint64_t generation = host() ? host()->measurerGeneration() : 0;
        if (measurer != measuredWith_ || generation != measuredGeneration_ ||
            params().text != measuredText_ || !measuredFont_ || !(*measuredFont_ == *font)) {
            measured_ = measurer->measure(params().text, font);
            measuredWith_ = measurer;
            measuredGeneration_ = generation;
            measuredText_ = params().text;
            measuredFont_ = font;
        }
        return measured_;
    }
    const TextMeasurer* measuredWith_ = nullptr;
    std::uint64_t measuredGeneration_ = 0;
    std::string measuredText_;
    graphics::FontRef measuredFont_;
    Size measured_;
};

struct ImageParams {
    graphics::ImageRef image;
    bool resizable = false;
};
class ImageNode final : public LeafNode<ImageParams, ImageNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        if (params().image && !frame_.isEmpty()) {
            context.drawImage(params().image, frame_, {}, graphics::CompositingOperation::sourceOver, 1.0,
                              true);
        }
    }

protected:
    Size sizeThatFits(const Proposal& p) override {
        const Size natural = params().image ? params().image->size() : Size{};
        return params().resizable ? p.replacingUnspecified(natural) : natural;
    }
};

struct ShapeParams {
    ShapeView::PathFunction path;
    graphics::ColorRef color; // null: the foreground colour
    std::optional<double> strokeWidth;
};
class ShapeNode final : public LeafNode<ShapeParams, ShapeNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        if (!params().path) {
            return;
        }
        auto path = params().path(frame_);
        const auto color = params().color ? params().color : environment_.resolvedForegroundColor();
        if (params().strokeWidth) {
            path.setLineWidth(*params().strokeWidth);
            context.strokePath(path, color);
        } else {
            context.fillPath(path, color, context.compositingOperation());
        }
    }
    bool hitsSelf(Point local) const override {
        return params().path ? params().path(frame_).contains(local) : false;
    }

protected:
    Size sizeThatFits(const Proposal& p) override { return p.replacingUnspecified({10, 10}); }
};

struct CanvasParams {
    std::function<void(CanvasContext&)> draw;
};
class CanvasNode final : public LeafNode<CanvasParams, CanvasNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        if (!params().draw) {
            return;
        }
        graphics::GraphicsContext::StateGuard guard(context);
        context.clipToRect(frame_);
        context.translate(frame_.x(), frame_.y());
        CanvasContext canvas(context, frame_.size);
        params().draw(canvas);
    }

protected:
    Size sizeThatFits(const Proposal& p) override { return p.replacingUnspecified({10, 10}); }
};

struct ShadowParams {
    graphics::ColorRef color;
    double radius = 0;
    double x = 0, y = 0;
};
// Draws the content's silhouette in the shadow colour, offset and softened by averaging copies over
// the radius, then the content on top. The content is drawn once, into a group kept to what the subtree
// and its shadow can cover, which serves as both silhouette and content: stacked shadows cost one pass
// each, not twice the pass below. Without pixels (a recording context) only the content draws.
class ShadowNode final : public ParamsNode<ShadowParams, ShadowNode> {
public:
    double subtreeOverhang() const override {
        const auto& s = params();
        return 2 * s.radius + std::max(std::abs(s.x), std::abs(s.y)) + 1;
    }
    void draw(graphics::GraphicsContext& context) override {
        const auto& s = params();
        const Rect bounds = visualBounds();
        if (!s.color || bounds.isNull()) {
            Node::draw(context);
            return;
        }
        context.beginShadowLayer({s.color, {s.x, s.y}, s.radius, bounds});
        Node::draw(context);
        context.endShadowLayer();
    }
};

} // namespace

View Text(std::string text) {
    return make<TextNode>({}, TextParams{std::move(text)});
}

ImageView::ImageView(graphics::ImageRef image, bool resizable, EdgeInsets capInsets,
                     graphics::ResizingMode mode)
    : View([&] {
          graphics::ImageRef drawn = image;
          if (drawn && resizable && (drawn->capInsets() != capInsets || drawn->resizingMode() != mode)) {
              // Named images are shared; insets belong to this view only.
              drawn = drawn->copy();
              drawn->setCapInsets(capInsets);
              drawn->setResizingMode(mode);
          }
          return make<ImageNode>({}, ImageParams{drawn, resizable});
      }()),
      image_(std::move(image)) {}

ImageView ImageView::resizable(EdgeInsets capInsets, graphics::ResizingMode mode) const {
    return ImageView(image_, true, capInsets, mode);
}

ImageView Image(const std::string& name, const core::Bundle& bundle) {
    return ImageView(graphics::Image::named(name, bundle.resourcePath()));
}

ImageView Image(graphics::ImageRef image) {
    return ImageView(std::move(image));
}

View ColorView(graphics::ColorRef color) {
    return make<ShapeNode>({}, ShapeParams{[](const Rect& r) { return graphics::BezierPath::rect(r); },
                                           std::move(color), std::nullopt});
}

ShapeView::ShapeView(PathFunction path)
    : View(make<ShapeNode>({}, ShapeParams{path, nullptr, std::nullopt})), path_(std::move(path)) {}

View ShapeView::fill(graphics::ColorRef color) const {
    return make<ShapeNode>({}, ShapeParams{path_, std::move(color), std::nullopt});
}

View ShapeView::stroke(graphics::ColorRef color, double lineWidth) const {
    return make<ShapeNode>({}, ShapeParams{path_, std::move(color), lineWidth});
}

ShapeView RoundedRectangle(double cornerRadius) {
    return ShapeView([cornerRadius](const Rect& r) {
        return graphics::BezierPath::roundedRect(r, cornerRadius, cornerRadius);
    });
}

ShapeView Circle() {
    return ShapeView([](const Rect& r) {
        const double d = std::min(r.width(), r.height());
        return graphics::BezierPath::oval(Rect(r.midX() - d / 2, r.midY() - d / 2, d, d));
    });
}

ShapeView Rectangle() {
    return ShapeView([](const Rect& r) { return graphics::BezierPath::rect(r); });
}

ShapeView Path(graphics::BezierPath path) {
    return ShapeView([path](const Rect& r) {
        return path.transformed(graphics::AffineTransform::makeTranslation(r.x(), r.y()));
    });
}

View Canvas(std::function<void(CanvasContext&)> draw) {
    return make<CanvasNode>({}, CanvasParams{std::move(draw)});
}

View View::shadow(graphics::ColorRef color, double radius, double x, double y) const {
    return make<ShadowNode>({*this}, ShadowParams{std::move(color), std::max(0.0, radius), x, y});
}

View View::background(graphics::ColorRef color) const {
    return background(ColorView(std::move(color)));
}

void CanvasContext::fill(const graphics::BezierPath& path, graphics::ColorRef color) {
    context_.fillPath(path, std::move(color), context_.compositingOperation());
}

void CanvasContext::stroke(const graphics::BezierPath& path, graphics::ColorRef color, double lineWidth) {
    auto stroked = path;
    stroked.setLineWidth(lineWidth);
    context_.strokePath(stroked, std::move(color));
}

void CanvasContext::draw(const graphics::ImageRef& image, const Rect& rect) {
    context_.drawImage(image, rect, {}, graphics::CompositingOperation::sourceOver, 1.0, true);
}

void CanvasContext::drawLayer(const graphics::BezierPath& mask, double opacity,
                              const std::function<void(CanvasContext&)>& body) {
    graphics::GraphicsContext::StateGuard guard(context_);
    context_.clipToPath(mask);
    context_.beginTransparencyLayer(std::clamp(opacity, 0.0, 1.0));
    body(*this);
    context_.endTransparencyLayer();
}

void CanvasContext::drawFadingLayer(const Rect& rect, double topOpacity, double bottomOpacity,
                                    const std::function<void(CanvasContext&)>& body) {
    if (rect.isEmpty()) {
        return;
    }
    graphics::GraphicsContext::StateGuard guard(context_);
    context_.clipToRect(rect);
    context_.beginFadingLayer({rect, topOpacity, bottomOpacity});
    body(*this);
    context_.endFadingLayer();
}

} // namespace declarative
