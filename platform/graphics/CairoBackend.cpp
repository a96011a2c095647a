#include "graphics/CairoSupport.hpp"
#include "graphics/GraphicsContext.hpp"
#include "graphics/Image.hpp"
#include "graphics/PangoSupport.hpp"

#include <algorithm>
#include <cmath>

namespace graphics {

using detail::CompositeScope;
using detail::toCairo;

namespace {

void applyTransform(cairo_t* cr, const AffineTransform& originTransform, const AffineTransform& ctm) {
    cairo_matrix_t user = toCairo(ctm);
    cairo_matrix_t origin = toCairo(originTransform);
    cairo_matrix_t combined;
    cairo_matrix_multiply(&combined, &user, &origin);
    cairo_set_matrix(cr, &combined);
}

void setSourceColor(cairo_t* cr, const Color& c, double alpha) {
    cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), std::clamp(c.alpha(), 0.0, 1.0) * alpha);
}

// One part of an image: src in image points (origin bottom-left), dest in user space.
struct Piece {
    Rect src;
    Rect dest;
    bool tile = false;
};

void drawPiece(cairo_t* cr, const ImageDraw& op, const Piece& piece) {
    if (piece.src.isEmpty() || piece.dest.isEmpty())
        return;
    const ImageRep& rep = *op.rep;
    const Size imageSize = op.image->size();
    const double kx = rep.pixelsWide() / imageSize.width;
    const double ky = rep.pixelsHigh() / imageSize.height;

    // Source in pixels (row 0 at the top), enclosed by whole pixels for the sub-surface.
    const double px = piece.src.minX() * kx;
    const double py = (imageSize.height - piece.src.maxY()) * ky;
    const double pw = piece.src.width() * kx;
    const double ph = piece.src.height() * ky;
    const double ix = std::floor(px), iy = std::floor(py);
    const double iw = std::min<double>(std::ceil(px + pw), rep.pixelsWide()) - ix;
    const double ih = std::min<double>(std::ceil(py + ph), rep.pixelsHigh()) - iy;
    if (iw <= 0 || ih <= 0)
        return;
    cairo_surface_t* sub = cairo_surface_create_for_rectangle(rep.surface(), ix, iy, iw, ih);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(sub);

    const Rect& d = piece.dest;
    const double sx = piece.tile ? kx : pw / d.width();
    const double sy = piece.tile ? ky : ph / d.height();
    const double ox = px - ix, oy = py - iy;
    cairo_matrix_t m;
    // User -> pattern pixels. The image's top row lands on the dest's maxY edge, unless the image is
    // drawn upright in a flipped context, where the top is the minY edge.
    if (op.drawsUpright)
        cairo_matrix_init(&m, sx, 0, 0, sy, -d.minX() * sx + ox, -d.minY() * sy + oy);
    else
        cairo_matrix_init(&m, sx, 0, 0, -sy, -d.minX() * sx + ox, d.maxY() * sy + oy);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_extend(pattern, piece.tile ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);

    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, d.minX(), d.minY(), d.width(), d.height());
    cairo_clip(cr);
    cairo_set_source(cr, pattern);
    {
        const CompositeScope composite(cr, op.operation);
        cairo_paint_with_alpha(cr, op.fraction * op.state.alpha);
    }
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(sub);
}

// Where the current transform is axis-aligned, rounds user-space coordinates to the nearest device pixel
// edge, so that neighbouring pieces meet on whole pixels instead of each anti-aliasing its own half of a
// shared, fractional edge (which shows as a darker seam).
class PixelSnap {
public:
    explicit PixelSnap(cairo_t* cr) {
        cairo_get_matrix(cr, &m_);
        aligned_ = m_.xy == 0 && m_.yx == 0 && m_.xx != 0 && m_.yy != 0;
    }
    double x(double user) const {
        return aligned_ ? (std::round(m_.xx * user + m_.x0) - m_.x0) / m_.xx : user;
    }
    double y(double user) const {
        return aligned_ ? (std::round(m_.yy * user + m_.y0) - m_.y0) / m_.yy : user;
    }

private:
    cairo_matrix_t m_;
    bool aligned_ = false;
};

// Nine parts: corners at their natural size (shrunk in proportion when the dest is smaller than the caps),
// edges and centre stretched or tiled. The inner boundaries fall on device pixels; the outer edges stay
// where the caller put them.
std::vector<Piece> ninePieces(const ImageDraw& op, const PixelSnap& snap) {
    const Image& image = *op.image;
    const EdgeInsets caps = image.capInsets();
    const double W = image.width(), H = image.height();
    const Rect& d = op.dest;
    const bool tile = image.resizingMode() == ResizingMode::tile;

    const double fx = caps.horizontal() > d.width() ? d.width() / caps.horizontal() : 1.0;
    const double fy = caps.vertical() > d.height() ? d.height() / caps.vertical() : 1.0;
    const double dl = caps.left * fx, dr = caps.right * fx, db = caps.bottom * fy, dt = caps.top * fy;

    const double srcX[4] = {0, caps.left, W - caps.right, W};
    const double srcY[4] = {0, caps.bottom, H - caps.top, H}; // from the image's bottom
    // Boundaries in user space, in the order of the source's columns and rows (the image's bottom row
    // first: at minY normally, at maxY when drawn upright in a flipped context).
    double xs[4] = {d.minX(), snap.x(d.minX() + dl), snap.x(d.maxX() - dr), d.maxX()};
    double ys[4];
    if (op.drawsUpright) {
        ys[0] = d.maxY(), ys[1] = snap.y(d.maxY() - db), ys[2] = snap.y(d.minY() + dt), ys[3] = d.minY();
    } else {
        ys[0] = d.minY(), ys[1] = snap.y(d.minY() + db), ys[2] = snap.y(d.maxY() - dt), ys[3] = d.maxY();
    }
    // Snapping never lets the inner boundaries cross each other or the outer edges.
    xs[1] = std::clamp(xs[1], xs[0], xs[3]);
    xs[2] = std::clamp(xs[2], xs[1], xs[3]);
    const auto between = [](double v, double a, double b) {
        return std::clamp(v, std::min(a, b), std::max(a, b));
    };
    ys[1] = between(ys[1], ys[0], ys[3]);
    ys[2] = between(ys[2], ys[1], ys[3]);

    std::vector<Piece> pieces;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            Rect src{srcX[col], srcY[row], srcX[col + 1] - srcX[col], srcY[row + 1] - srcY[row]};
            const double y0 = std::min(ys[row], ys[row + 1]), y1 = std::max(ys[row], ys[row + 1]);
            Rect dest{xs[col], y0, xs[col + 1] - xs[col], y1 - y0};
            bool corner = row != 1 && col != 1;
            pieces.push_back({src, dest, tile && !corner});
        }
    return pieces;
}

} // namespace

CairoBackend::CairoBackend(cairo_t* cr) : cr_(cairo_reference(cr)) {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    origin_ = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

CairoBackend::~CairoBackend() {
    // Hand the context back with the matrix it came with.
    cairo_matrix_t m = toCairo(origin_);
    cairo_set_matrix(cr_, &m);
    cairo_destroy(cr_);
}

void CairoBackend::saveState() {
    cairo_save(cr_);
}

void CairoBackend::restoreState() {
    cairo_restore(cr_);
}

void CairoBackend::setTransform(const AffineTransform& ctm) {
    applyTransform(cr_, origin_, ctm);
}

void CairoBackend::clip(const BezierPath& path, const DrawState& state) {
    applyTransform(cr_, origin_, state.ctm);
    detail::appendPath(cr_, path);
    cairo_set_fill_rule(cr_, toCairo(path.windingRule()));
    cairo_clip(cr_);
}

void CairoBackend::fillPath(const PathDraw& op) {
    cairo_save(cr_);
    applyTransform(cr_, origin_, op.state.ctm);
    detail::appendPath(cr_, op.path);
    cairo_set_fill_rule(cr_, toCairo(op.path.windingRule()));
    setSourceColor(cr_, *op.color, op.state.alpha);
    {
        const CompositeScope composite(cr_, op.state.operation);
        cairo_fill(cr_);
    }
    cairo_restore(cr_);
}

void CairoBackend::strokePath(const PathDraw& op) {
    cairo_save(cr_);
    applyTransform(cr_, origin_, op.state.ctm);
    detail::appendPath(cr_, op.path);
    cairo_set_line_width(cr_, op.path.lineWidth());
    cairo_set_line_cap(cr_, toCairo(op.path.lineCapStyle()));
    cairo_set_line_join(cr_, toCairo(op.path.lineJoinStyle()));
    cairo_set_miter_limit(cr_, op.path.miterLimit());
    const auto& dash = op.path.dashPattern();
    cairo_set_dash(cr_, dash.empty() ? nullptr : dash.data(), static_cast<int>(dash.size()),
                   op.path.dashPhase());
    setSourceColor(cr_, *op.color, op.state.alpha);
    {
        const CompositeScope composite(cr_, op.state.operation);
        cairo_stroke(cr_);
    }
    cairo_restore(cr_);
}

void CairoBackend::drawImage(const ImageDraw& op) {
    cairo_save(cr_);
    applyTransform(cr_, origin_, op.state.ctm);
    const Image& image = *op.image;
    const bool whole = op.source == image.bounds();
    if (whole && !image.capInsets().isZero()) {
        for (const Piece& piece : ninePieces(op, PixelSnap(cr_)))
            drawPiece(cr_, op, piece);
    } else {
        // Without caps, tiling repeats the whole image at its natural size.
        const bool tile = whole && image.resizingMode() == ResizingMode::tile;
        drawPiece(cr_, op, {op.source, op.dest, tile});
    }
    cairo_restore(cr_);
}

void CairoBackend::drawText(const TextDraw& op) {
    cairo_save(cr_);
    applyTransform(cr_, origin_, op.state.ctm);
    const Rect& r = op.rect;
    if (!op.singleUnconstrainedLine) {
        cairo_new_path(cr_);
        cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
        cairo_clip(cr_);
    }
    // Pango lays out downwards from the top-left; in y-up space the top is maxY and y is mirrored.
    if (op.state.flipped) {
        cairo_translate(cr_, r.minX(), r.minY());
    } else {
        cairo_translate(cr_, r.minX(), r.maxY());
        cairo_scale(cr_, 1, -1);
    }
    PangoContext* context = detail::createPangoContext(cr_);
    const double width = op.singleUnconstrainedLine ? -1 : r.width();
    PangoLayout* layout = detail::createLayout(context, op.text, {width, true});
    if (!op.singleUnconstrainedLine && op.text.paragraphStyle().lineBreakMode == LineBreakMode::clipping) {
        // Unwrapped text is aligned here, since Pango aligns only within a set width.
        double excess = r.width() - detail::layoutSize(layout).width;
        switch (op.text.paragraphStyle().alignment) {
        case TextAlignment::right:
            cairo_translate(cr_, excess, 0);
            break;
        case TextAlignment::center:
            cairo_translate(cr_, excess / 2, 0);
            break;
        default:
            break;
        }
    }
    {
        const CompositeScope composite(cr_, op.state.operation);
        const bool group = op.state.alpha < 1.0;
        if (group)
            cairo_push_group(cr_);
        detail::showLayout(cr_, layout);
        if (group) {
            cairo_pop_group_to_source(cr_);
            cairo_paint_with_alpha(cr_, op.state.alpha);
        }
    }
    g_object_unref(layout);
    g_object_unref(context);
    cairo_restore(cr_);
}

void CairoBackend::beginTransparencyLayer(double alpha, const DrawState&) {
    layerAlphas_.push_back(alpha);
    cairo_push_group(cr_);
}

void CairoBackend::endTransparencyLayer() {
    if (layerAlphas_.empty())
        return;
    double alpha = layerAlphas_.back();
    layerAlphas_.pop_back();
    cairo_pop_group_to_source(cr_);
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    cairo_paint_with_alpha(cr_, alpha);
    cairo_restore(cr_);
}

// The content goes to a group kept to the layer's reach (a group is as large as the clip), which serves
// as both silhouette and content. The silhouette is softened by averaging shifted copies over the radius:
// their coverage is summed first (adding from zero keeps eight-bit steps from rounding faint copies away)
// and the shadow colour painted through the sum. Copies land on whole device pixels, which keeps the
// compositor on its plain copying path.
void CairoBackend::beginShadowLayer(const ShadowLayer& shadow, const DrawState& state) {
    const bool grouped = shadow.color && !shadow.reach.isNull();
    shadows_.push_back({shadow, state.ctm, state.backingScale, grouped});
    if (!grouped)
        return;
    cairo_save(cr_);
    applyTransform(cr_, origin_, state.ctm);
    cairo_rectangle(cr_, shadow.reach.x(), shadow.reach.y(), shadow.reach.width(), shadow.reach.height());
    cairo_clip(cr_);
    cairo_push_group(cr_);
}

void CairoBackend::endShadowLayer() {
    if (shadows_.empty())
        return;
    const OpenShadow open = shadows_.back();
    shadows_.pop_back();
    if (!open.grouped)
        return;
    const ShadowLayer& s = open.shadow;
    cairo_pattern_t* content = cairo_pop_group(cr_);
    cairo_identity_matrix(cr_);
    const int steps = s.radius > 0 ? std::clamp(static_cast<int>(std::ceil(s.radius)), 1, 3) : 0;
    const int samples = (2 * steps + 1) * (2 * steps + 1);
    // The offset is in user space; the silhouette pattern in device pixels.
    const Point origin = open.ctm.apply(Point{0, 0});
    const Point shifted = open.ctm.apply(s.offset);
    const double scale = open.scale;
    cairo_push_group(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_ADD);
    cairo_pattern_set_filter(content, CAIRO_FILTER_NEAREST);
    for (int i = -steps; i <= steps; ++i) {
        for (int j = -steps; j <= steps; ++j) {
            const double dx = std::round(shifted.x - origin.x + (steps ? i * s.radius * scale / steps : 0));
            const double dy = std::round(shifted.y - origin.y + (steps ? j * s.radius * scale / steps : 0));
            cairo_matrix_t m;
            cairo_matrix_init_translate(&m, -dx, -dy);
            cairo_pattern_set_matrix(content, &m);
            cairo_set_source(cr_, content);
            cairo_paint_with_alpha(cr_, 1.0 / samples);
        }
    }
    cairo_pattern_t* blurred = cairo_pop_group(cr_);
    const Color& c = *s.color;
    cairo_set_source_rgba(cr_, c.red(), c.green(), c.blue(), c.alpha());
    cairo_mask(cr_, blurred);
    cairo_pattern_destroy(blurred);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    cairo_pattern_set_matrix(content, &identity);
    cairo_pattern_set_filter(content, CAIRO_FILTER_GOOD);
    cairo_set_source(cr_, content);
    cairo_paint(cr_);
    cairo_pattern_destroy(content);
    cairo_restore(cr_);
}

void CairoBackend::beginFadingLayer(const FadingLayer& fade, const DrawState& state) {
    fades_.emplace_back(fade, state.ctm);
    cairo_push_group(cr_);
}

// The layer's content keeps as much of itself as a vertical gradient of the two opacities says, then
// goes onto the target.
void CairoBackend::endFadingLayer() {
    if (fades_.empty())
        return;
    const auto [fade, ctm] = fades_.back();
    fades_.pop_back();
    cairo_save(cr_);
    applyTransform(cr_, origin_, ctm);
    const Rect& r = fade.rect;
    cairo_pattern_t* mask = cairo_pattern_create_linear(0, r.y(), 0, r.maxY());
    cairo_pattern_add_color_stop_rgba(mask, 0, 0, 0, 0, fade.from);
    cairo_pattern_add_color_stop_rgba(mask, 1, 0, 0, 0, fade.to);
    cairo_set_source(cr_, mask);
    cairo_set_operator(cr_, CAIRO_OPERATOR_DEST_IN);
    cairo_rectangle(cr_, r.x(), r.y(), r.width(), r.height());
    cairo_fill(cr_);
    cairo_pattern_destroy(mask);
    cairo_restore(cr_);
    cairo_pop_group_to_source(cr_);
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

} // namespace graphics
