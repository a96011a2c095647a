#pragma once

// A DrawBackend that logs every operation with its resolved parameters, so tests can assert what was
// drawn where. Rects are logged both in user space (`rect`) and in device pixels (`deviceRect`, origin
// top-left, y down: the bounding box of rect under ctm).

#include "graphics/GraphicsContext.hpp"
#include "graphics/Image.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace graphics {

enum class DrawOpKind { fillPath, strokePath, clip, image, text, beginLayer, endLayer, save, restore };

struct RecordedOp {
    DrawOpKind kind = DrawOpKind::fillPath;
    Rect rect;       // user space: path bounds, image dest, text rect
    Rect deviceRect; // device pixels
    AffineTransform ctm;
    bool flipped = false;
    double backingScale = 1.0;
    CompositingOperation operation = CompositingOperation::sourceOver;
    double alpha = 1.0;

    // Paths (fill, stroke, clip).
    std::vector<PathElement> elements;
    std::optional<Color> color; // fill or stroke colour
    double lineWidth = 0;
    LineCap lineCap = LineCap::butt;
    LineJoin lineJoin = LineJoin::miter;
    FillRule windingRule = FillRule::nonZero;

    // Images.
    std::shared_ptr<const Image> image;
    std::string imageName;
    Rect sourceRect; // image points
    double fraction = 1.0;
    bool respectFlipped = false;
    bool drawsUpright = false;
    bool isTemplate = false;
    std::optional<Color> tintColor;
    EdgeInsets capInsets;
    ResizingMode resizingMode = ResizingMode::stretch;
    double repScale = 1.0;

    // Text.
    std::string text;
    std::string fontName;
    double fontSize = 0;
    std::optional<Color> textColor;
    ParagraphStyle paragraphStyle;
};

class DrawRecorder final : public DrawBackend {
public:
    const std::vector<RecordedOp>& ops() const { return ops_; }
    std::vector<RecordedOp> ops(DrawOpKind kind) const;
    void clear() { ops_.clear(); }
    // One line per operation, for failure messages.
    std::string dump() const;

    void saveState() override;
    void restoreState() override;
    void setTransform(const AffineTransform&) override {}
    void clip(const BezierPath& path, const DrawState& state) override;
    void fillPath(const PathDraw& op) override;
    void strokePath(const PathDraw& op) override;
    void drawImage(const ImageDraw& op) override;
    void drawText(const TextDraw& op) override;
    void beginTransparencyLayer(double alpha, const DrawState& state) override;
    void endTransparencyLayer() override;

private:
    std::vector<RecordedOp> ops_;
};

// Forwards every call to two back ends (e.g. Cairo and a recorder).
class TeeBackend final : public DrawBackend {
public:
    TeeBackend(std::shared_ptr<DrawBackend> first, std::shared_ptr<DrawBackend> second);
    void saveState() override;
    void restoreState() override;
    void setTransform(const AffineTransform& ctm) override;
    void clip(const BezierPath& path, const DrawState& state) override;
    void fillPath(const PathDraw& op) override;
    void strokePath(const PathDraw& op) override;
    void drawImage(const ImageDraw& op) override;
    void drawText(const TextDraw& op) override;
    void beginTransparencyLayer(double alpha, const DrawState& state) override;
    void endTransparencyLayer() override;
    void beginShadowLayer(const ShadowLayer& shadow, const DrawState& state) override;
    void endShadowLayer() override;
    void beginFadingLayer(const FadingLayer& fade, const DrawState& state) override;
    void endFadingLayer() override;

private:
    std::shared_ptr<DrawBackend> first_;
    std::shared_ptr<DrawBackend> second_;
};

// A pixel target for tests and offscreen drawing: an ARGB32 surface of size*scale pixels with a context
// drawing into it through Cairo, optionally teed into a recorder.
class BitmapCanvas {
public:
    BitmapCanvas(Size size, double scale = 1.0, bool flipped = false, bool record = false);
    ~BitmapCanvas();
    BitmapCanvas(const BitmapCanvas&) = delete;
    BitmapCanvas& operator=(const BitmapCanvas&) = delete;

    GraphicsContext& context() { return *context_; }
    // Null unless made with record = true.
    DrawRecorder* recorder() const { return recorder_.get(); }
    // Unpremultiplied pixel at device coordinates (row 0 at the top).
    ImageRep::RGBA pixel(int x, int y);
    // A snapshot of the pixels as an image (scale kept).
    ImageRef image();
    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    std::shared_ptr<DrawRecorder> recorder_;
    std::unique_ptr<GraphicsContext> context_;
};

// Draws rects of an image surface that holds a whole drawable area (a window's back buffer): one context
// of `size` points at `scale` (user space y up; also drawing into `recorder` when given), clipped to one
// rect at a time while `draw` runs for it. False when the surface cannot be drawn on.
bool drawRectsOnSurface(cairo_surface_t* surface, Size size, double scale,
                        const std::shared_ptr<DrawRecorder>& recorder, const std::vector<Rect>& rects,
                        const std::function<void(GraphicsContext&, const Rect&)>& draw);

} // namespace graphics
