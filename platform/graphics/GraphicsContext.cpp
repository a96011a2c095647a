#include "graphics/GraphicsContext.hpp"

#include "graphics/Image.hpp"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace {

thread_local std::vector<GraphicsContext*> currentStack;

double deviceScale(const AffineTransform& t) {
    return std::sqrt(std::fabs(t.a * t.d - t.b * t.c));
}

} // namespace

GraphicsContext::GraphicsContext(std::shared_ptr<DrawBackend> backend, Size size, double backingScale,
                                 bool flipped)
    : backend_(std::move(backend)), size_(size), backingScale_(backingScale > 0 ? backingScale : 1.0) {
    const double s = backingScale_;
    // Unflipped: origin at the bottom-left, y up; flipped: origin at the top-left, y down.
    base_ = flipped ? AffineTransform{s, 0, 0, s, 0, 0} : AffineTransform{s, 0, 0, -s, 0, size.height * s};
    state_.draw.ctm = base_;
    state_.draw.flipped = flipped;
    state_.draw.backingScale = backingScale_;
    state_.fill = Color::black();
    state_.stroke = Color::black();
    backend_->setTransform(base_);
}

GraphicsContext::GraphicsContext(cairo_t* cr, Size size, double backingScale, bool flipped)
    : GraphicsContext(std::make_shared<CairoBackend>(cr), size, backingScale, flipped) {}

GraphicsContext::~GraphicsContext() {
    // Leave the target as it was handed over, even when a drawing routine forgot to balance its calls.
    while (!saved_.empty()) {
        if (saved_.back().layer != Layer::none)
            endLayer(saved_.back().layer);
        else
            restoreGState();
    }
    // A context must never stay reachable through current() after it is gone.
    currentStack.erase(std::remove(currentStack.begin(), currentStack.end(), this), currentStack.end());
}

GraphicsContext* GraphicsContext::current() {
    return currentStack.empty() ? nullptr : currentStack.back();
}

void GraphicsContext::pushCurrent(GraphicsContext* context) {
    currentStack.push_back(context);
}

void GraphicsContext::popCurrent() {
    if (!currentStack.empty())
        currentStack.pop_back();
}

void GraphicsContext::saveGState() {
    saved_.push_back({state_, Layer::none});
    backend_->saveState();
}

void GraphicsContext::restoreGState() {
    // An unbalanced restore, or one that would cross a transparency layer, is ignored.
    if (saved_.empty() || saved_.back().layer != Layer::none)
        return;
    state_ = saved_.back().state;
    saved_.pop_back();
    backend_->restoreState();
    backend_->setTransform(state_.draw.ctm);
}

void GraphicsContext::concat(const AffineTransform& t) {
    state_.draw.ctm = t.concatenating(state_.draw.ctm);
    backend_->setTransform(state_.draw.ctm);
}

void GraphicsContext::translate(double x, double y) {
    concat(AffineTransform::makeTranslation(x, y));
}

void GraphicsContext::scale(double sx, double sy) {
    concat(AffineTransform::makeScale(sx, sy));
}

void GraphicsContext::rotate(double radians) {
    concat(AffineTransform::makeRotation(radians));
}

void GraphicsContext::clipToRect(const Rect& r) {
    clipToPath(BezierPath::rect(r.isNull() ? Rect{} : r));
}

void GraphicsContext::clipToPath(const BezierPath& path) {
    backend_->clip(path, state_.draw);
}

void GraphicsContext::setAlpha(double alpha) {
    state_.draw.alpha = std::clamp(alpha, 0.0, 1.0);
}

void GraphicsContext::setFillColor(ColorRef c) {
    state_.fill = std::move(c);
}

void GraphicsContext::setStrokeColor(ColorRef c) {
    state_.stroke = std::move(c);
}

void GraphicsContext::fillPath(const BezierPath& path) {
    fillPath(path, state_.fill, state_.draw.operation);
}

void GraphicsContext::fillPath(const BezierPath& path, ColorRef color, CompositingOperation op) {
    if (!color || path.isEmpty())
        return;
    DrawState state = state_.draw;
    state.operation = op;
    backend_->fillPath({path, std::move(color), state});
}

void GraphicsContext::strokePath(const BezierPath& path) {
    strokePath(path, state_.stroke);
}

void GraphicsContext::strokePath(const BezierPath& path, ColorRef color) {
    if (!color || path.isEmpty())
        return;
    backend_->strokePath({path, std::move(color), state_.draw});
}

void GraphicsContext::fillRect(const Rect& r) {
    fillRect(r, state_.fill, state_.draw.operation);
}

void GraphicsContext::fillRect(const Rect& r, CompositingOperation op) {
    fillRect(r, state_.fill, op);
}

void GraphicsContext::fillRect(const Rect& r, ColorRef color) {
    fillRect(r, std::move(color), state_.draw.operation);
}

void GraphicsContext::fillRect(const Rect& r, ColorRef color, CompositingOperation op) {
    if (r.isNull() || r.isEmpty())
        return;
    fillPath(BezierPath::rect(r), std::move(color), op);
}

void GraphicsContext::drawImage(const std::shared_ptr<const Image>& image, const Rect& dest,
                                const Rect& source, CompositingOperation op, double fraction,
                                bool respectFlipped) {
    if (!image || dest.isEmpty())
        return;
    Rect bounds = image->bounds();
    if (bounds.isEmpty())
        return;
    Rect src = source == Rect{} ? bounds : source.standardized().intersection(bounds);
    if (src.isEmpty())
        return;
    auto rep = image->bestRepresentation(deviceScale(state_.draw.ctm));
    if (!rep)
        return;
    ImageDraw draw;
    draw.image = image;
    draw.rep = std::move(rep);
    draw.dest = dest.standardized();
    draw.source = src;
    draw.operation = op;
    draw.fraction = std::clamp(fraction, 0.0, 1.0);
    draw.respectFlipped = respectFlipped;
    draw.drawsUpright = respectFlipped && state_.draw.flipped;
    draw.state = state_.draw;
    backend_->drawImage(draw);
}

void GraphicsContext::drawText(const AttributedString& text, const Rect& rect) {
    if (text.empty() || rect.isEmpty())
        return;
    backend_->drawText({text, rect.standardized(), false, state_.draw});
}

void GraphicsContext::drawText(const AttributedString& text, Point point) {
    if (text.empty())
        return;
    // The rect's minY edge is the top when flipped and the bottom when not, as the point is.
    backend_->drawText({text, Rect{point, text.size()}, true, state_.draw});
}

void GraphicsContext::beginTransparencyLayer(double alpha) {
    saved_.push_back({state_, Layer::transparency});
    backend_->beginTransparencyLayer(std::clamp(alpha, 0.0, 1.0), state_.draw);
}

void GraphicsContext::endTransparencyLayer() {
    endLayer(Layer::transparency);
}

void GraphicsContext::beginShadowLayer(const ShadowLayer& shadow) {
    saved_.push_back({state_, Layer::shadow});
    ShadowLayer clamped = shadow;
    clamped.radius = std::max(0.0, shadow.radius);
    backend_->beginShadowLayer(clamped, state_.draw);
}

void GraphicsContext::endShadowLayer() {
    endLayer(Layer::shadow);
}

void GraphicsContext::beginFadingLayer(const FadingLayer& fade) {
    saved_.push_back({state_, Layer::fading});
    backend_->beginFadingLayer({fade.rect, std::clamp(fade.from, 0.0, 1.0), std::clamp(fade.to, 0.0, 1.0)},
                               state_.draw);
}

void GraphicsContext::endFadingLayer() {
    endLayer(Layer::fading);
}

void GraphicsContext::endLayer(Layer layer) {
    // Close any saves left open inside the layer first; a layer of another kind stays open.
    while (!saved_.empty() && saved_.back().layer == Layer::none)
        restoreGState();
    if (saved_.empty() || saved_.back().layer != layer)
        return;
    state_ = saved_.back().state;
    saved_.pop_back();
    switch (layer) {
    case Layer::transparency:
        backend_->endTransparencyLayer();
        break;
    case Layer::shadow:
        backend_->endShadowLayer();
        break;
    case Layer::fading:
        backend_->endFadingLayer();
        break;
    case Layer::none:
        break;
    }
    backend_->setTransform(state_.draw.ctm);
}

} // namespace graphics
