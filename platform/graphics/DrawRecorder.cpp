#include "graphics/DrawRecorder.hpp"

#include "graphics/CairoSupport.hpp"

#include <sstream>

namespace graphics {

namespace {

RecordedOp base(DrawOpKind kind, const DrawState& state) {
    RecordedOp op;
    op.kind = kind;
    op.ctm = state.ctm;
    op.flipped = state.flipped;
    op.backingScale = state.backingScale;
    op.operation = state.operation;
    op.alpha = state.alpha;
    return op;
}

RecordedOp pathOp(DrawOpKind kind, const BezierPath& path, const ColorRef& color, const DrawState& state) {
    RecordedOp op = base(kind, state);
    op.rect = path.bounds();
    op.deviceRect = state.ctm.apply(op.rect);
    op.elements = path.elements();
    if (color)
        op.color = *color;
    op.lineWidth = path.lineWidth();
    op.lineCap = path.lineCapStyle();
    op.lineJoin = path.lineJoinStyle();
    op.windingRule = path.windingRule();
    return op;
}

const char* kindName(DrawOpKind kind) {
    switch (kind) {
    case DrawOpKind::fillPath:
        return "fill";
    case DrawOpKind::strokePath:
        return "stroke";
    case DrawOpKind::clip:
        return "clip";
    case DrawOpKind::image:
        return "image";
    case DrawOpKind::text:
        return "text";
    case DrawOpKind::beginLayer:
        return "beginLayer";
    case DrawOpKind::endLayer:
        return "endLayer";
    case DrawOpKind::save:
        return "save";
    case DrawOpKind::restore:
        return "restore";
    }
    return "?";
}

} // namespace

std::vector<RecordedOp> DrawRecorder::ops(DrawOpKind kind) const {
    std::vector<RecordedOp> result;
    for (const auto& op : ops_)
        if (op.kind == kind)
            result.push_back(op);
    return result;
}

std::string DrawRecorder::dump() const {
    std::ostringstream out;
    for (const auto& op : ops_) {
        out << kindName(op.kind) << " rect=(" << op.rect.x() << "," << op.rect.y() << "," << op.rect.width()
            << "," << op.rect.height() << ") device=(" << op.deviceRect.x() << "," << op.deviceRect.y() << ","
            << op.deviceRect.width() << "," << op.deviceRect.height()
            << ") op=" << static_cast<int>(op.operation);
        if (op.kind == DrawOpKind::image)
            out << " image=\"" << op.imageName << "\" fraction=" << op.fraction
                << " upright=" << op.drawsUpright;
        if (op.kind == DrawOpKind::text)
            out << " text=\"" << op.text << "\" font=\"" << op.fontName << "\"";
        if (op.color)
            out << " color=" << op.color->hexString();
        out << '\n';
    }
    return out.str();
}

void DrawRecorder::saveState() {
    ops_.push_back(base(DrawOpKind::save, {}));
}

void DrawRecorder::restoreState() {
    ops_.push_back(base(DrawOpKind::restore, {}));
}

void DrawRecorder::clip(const BezierPath& path, const DrawState& state) {
    ops_.push_back(pathOp(DrawOpKind::clip, path, nullptr, state));
}

void DrawRecorder::fillPath(const PathDraw& op) {
    ops_.push_back(pathOp(DrawOpKind::fillPath, op.path, op.color, op.state));
}

void DrawRecorder::strokePath(const PathDraw& op) {
    ops_.push_back(pathOp(DrawOpKind::strokePath, op.path, op.color, op.state));
}

void DrawRecorder::drawImage(const ImageDraw& draw) {
    RecordedOp op = base(DrawOpKind::image, draw.state);
    op.operation = draw.operation;
    op.rect = draw.dest;
    op.deviceRect = draw.state.ctm.apply(draw.dest);
    op.image = draw.image;
    op.imageName = draw.image->name();
    op.sourceRect = draw.source;
    op.fraction = draw.fraction;
    op.respectFlipped = draw.respectFlipped;
    op.drawsUpright = draw.drawsUpright;
    op.isTemplate = draw.image->isTemplate();
    if (auto tint = draw.image->tintColor())
        op.tintColor = *tint;
    op.capInsets = draw.image->capInsets();
    op.resizingMode = draw.image->resizingMode();
    op.repScale = draw.rep ? draw.rep->pixelsWide() / draw.image->width() : 1.0;
    ops_.push_back(std::move(op));
}

void DrawRecorder::drawText(const TextDraw& draw) {
    RecordedOp op = base(DrawOpKind::text, draw.state);
    op.rect = draw.rect;
    op.deviceRect = draw.state.ctm.apply(draw.rect);
    op.text = draw.text.string();
    TextAttributes attrs = draw.text.attributesAt(0);
    FontRef font = attrs.font ? attrs.font : Font::systemFont(12);
    op.fontName = font->familyName();
    op.fontSize = font->pointSize();
    op.textColor = attrs.foregroundColor ? *attrs.foregroundColor : *Color::black();
    op.color = op.textColor;
    op.paragraphStyle = draw.text.paragraphStyle();
    ops_.push_back(std::move(op));
}

void DrawRecorder::beginTransparencyLayer(double alpha, const DrawState& state) {
    RecordedOp op = base(DrawOpKind::beginLayer, state);
    op.alpha = alpha;
    ops_.push_back(std::move(op));
}

void DrawRecorder::endTransparencyLayer() {
    ops_.push_back(base(DrawOpKind::endLayer, {}));
}

TeeBackend::TeeBackend(std::shared_ptr<DrawBackend> first, std::shared_ptr<DrawBackend> second)
    : first_(std::move(first)), second_(std::move(second)) {}

void TeeBackend::saveState() {
    first_->saveState();
    second_->saveState();
}
void TeeBackend::restoreState() {
    first_->restoreState();
    second_->restoreState();
}
void TeeBackend::setTransform(const AffineTransform& ctm) {
    first_->setTransform(ctm);
    second_->setTransform(ctm);
}
void TeeBackend::clip(const BezierPath& path, const DrawState& state) {
    first_->clip(path, state);
    second_->clip(path, state);
}
void TeeBackend::fillPath(const PathDraw& op) {
    first_->fillPath(op);
    second_->fillPath(op);
}
void TeeBackend::strokePath(const PathDraw& op) {
    first_->strokePath(op);
    second_->strokePath(op);
}
void TeeBackend::drawImage(const ImageDraw& op) {
    first_->drawImage(op);
    second_->drawImage(op);
}
void TeeBackend::drawText(const TextDraw& op) {
    first_->drawText(op);
    second_->drawText(op);
}
void TeeBackend::beginTransparencyLayer(double alpha, const DrawState& state) {
    first_->beginTransparencyLayer(alpha, state);
    second_->beginTransparencyLayer(alpha, state);
}
void TeeBackend::endTransparencyLayer() {
    first_->endTransparencyLayer();
    second_->endTransparencyLayer();
}
void TeeBackend::beginShadowLayer(const ShadowLayer& shadow, const DrawState& state) {
    first_->beginShadowLayer(shadow, state);
    second_->beginShadowLayer(shadow, state);
}
void TeeBackend::endShadowLayer() {
    first_->endShadowLayer();
    second_->endShadowLayer();
}
void TeeBackend::beginFadingLayer(const FadingLayer& fade, const DrawState& state) {
    first_->beginFadingLayer(fade, state);
    second_->beginFadingLayer(fade, state);
}
void TeeBackend::endFadingLayer() {
    first_->endFadingLayer();
    second_->endFadingLayer();
}

BitmapCanvas::BitmapCanvas(Size size, double scale, bool flipped, bool record) {
    if (!(scale > 0))
        scale = 1.0;
    int w = static_cast<int>(std::ceil(std::max(0.0, size.width) * scale - 1e-9));
    int h = static_cast<int>(std::ceil(std::max(0.0, size.height) * scale - 1e-9));
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cr_ = cairo_create(surface_);
    std::shared_ptr<DrawBackend> backend = std::make_shared<CairoBackend>(cr_);
    if (record) {
        recorder_ = std::make_shared<DrawRecorder>();
        backend = std::make_shared<TeeBackend>(backend, recorder_);
    }
    context_ = std::make_unique<GraphicsContext>(backend, size, scale, flipped);
}

BitmapCanvas::~BitmapCanvas() {
    context_.reset();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

ImageRep::RGBA BitmapCanvas::pixel(int x, int y) {
    ImageRep rep(surface_, {1, 1});
    return rep.pixel(x, y);
}

ImageRef BitmapCanvas::image() {
    return Image::fromSurface(surface_, context_->backingScaleFactor());
}

bool drawRectsOnSurface(cairo_surface_t* surface, Size size, double scale,
                        const std::shared_ptr<DrawRecorder>& recorder, const std::vector<Rect>& rects,
                        const std::function<void(GraphicsContext&, const Rect&)>& draw) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_t* cr = cairo_create(surface);
    {
        std::shared_ptr<DrawBackend> drawing = std::make_shared<CairoBackend>(cr);
        if (recorder) {
            drawing = std::make_shared<TeeBackend>(drawing, recorder);
        }
        GraphicsContext context(drawing, size, scale, false);
        for (const Rect& rect : rects) {
            if (rect.isNull() || rect.isEmpty()) {
                continue;
            }
            GraphicsContext::StateGuard guard(context);
            context.clipToRect(rect);
            draw(context, rect);
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return true;
}

} // namespace graphics
