#pragma once

// The drawing state and the current-context stack. Every draw call is resolved here (transform, colour,
// compositing, image representation) and handed to one DrawBackend: Cairo for pixels, the DrawRecorder
// for a log, or a TeeBackend for both.
//
// Coordinates: a context has a size in points and a backing scale. Unflipped (the default) user space
// has its origin at the bottom-left with y up; flipped user space has its origin at the top-left with y
// down. "Device space" is the target surface in pixels, origin top-left, y down.

#include "graphics/AttributedString.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/Color.hpp"
#include "graphics/Geometry.hpp"

#include <memory>
#include <vector>

typedef struct _cairo cairo_t;

namespace graphics {

class Image;
class ImageRep;

// AppKit raw values.
enum class CompositingOperation {
    clear = 0,
    copy = 1,
    sourceOver = 2,
    sourceIn = 3,
    sourceOut = 4,
    sourceAtop = 5,
    destinationOver = 6,
    destinationIn = 7,
    destinationOut = 8,
    destinationAtop = 9,
    xorOperation = 10,
    plusDarker = 11,
    highlight = 12, // drawn as sourceOver, as AppKit does
    plusLighter = 13,
    multiply = 14,
    screen = 15,
    overlay = 16,
    darken = 17,
    lighten = 18,
    colorDodge = 19,
    colorBurn = 20,
    softLight = 21,
    hardLight = 22,
    difference = 23,
    exclusion = 24,
    hue = 25,
    saturation = 26,
    color = 27,
    luminosity = 28
};

// What every draw operation is drawn under.
struct DrawState {
    AffineTransform ctm; // user space -> device pixels
    bool flipped = false;
    double backingScale = 1.0;
    CompositingOperation operation = CompositingOperation::sourceOver;
    double alpha = 1.0; // global alpha multiplied into every operation
};

struct PathDraw {
    BezierPath path; // user space, with its stroke attributes
    ColorRef color;
    DrawState state;
};

struct ImageDraw {
    std::shared_ptr<const Image> image;
    std::shared_ptr<const ImageRep> rep; // the representation chosen for the device scale
    Rect dest;                           // user space
    Rect source;                         // image points, never empty (zero rect resolved to the bounds)
    CompositingOperation operation = CompositingOperation::sourceOver;
    double fraction = 1.0;
    bool respectFlipped = false;
    // Whether the image is drawn mirrored vertically in user space so that it shows upright
    // (respectFlipped in a flipped context).
    bool drawsUpright = false;
    DrawState state;
};

struct TextDraw {
    AttributedString text;
    Rect rect;                            // user space
    bool singleUnconstrainedLine = false; // drawAt: no width limit, no clipping
    DrawState state;
};

// A layer's content drawn a second time below itself as its shadow: in `color`, moved by `offset`
// (user space) and softened over `radius` points. `reach` (user space) bounds what the content and its
// shadow can cover.
struct ShadowLayer {
    ColorRef color;
    Point offset;
    double radius = 0;
    Rect reach;
};

// A layer restricted to `rect` (user space) whose opacity runs linearly from `from` at the rect's
// minimum y to `to` at its maximum y.
struct FadingLayer {
    Rect rect;
    double from = 1;
    double to = 1;
};

class DrawBackend {
public:
    virtual ~DrawBackend() = default;
    virtual void saveState() = 0;
    virtual void restoreState() = 0;
    // Makes `ctm` (user -> device) the current transform.
    virtual void setTransform(const AffineTransform& ctm) = 0;
    // Intersects the clip with a user-space path drawn under state.ctm.
    virtual void clip(const BezierPath& path, const DrawState& state) = 0;
    virtual void fillPath(const PathDraw& op) = 0;
    virtual void strokePath(const PathDraw& op) = 0;
    virtual void drawImage(const ImageDraw& op) = 0;
    virtual void drawText(const TextDraw& op) = 0;
    // Group opacity: everything up to the matching end is composited at alpha.
    virtual void beginTransparencyLayer(double alpha, const DrawState& state) = 0;
    virtual void endTransparencyLayer() = 0;
    // A layer that casts a shadow (see ShadowLayer). Back ends without pixels draw the content only.
    virtual void beginShadowLayer(const ShadowLayer& shadow, const DrawState& state) {
        (void)shadow;
        (void)state;
    }
    virtual void endShadowLayer() {}
    // A layer that fades (see FadingLayer). Back ends without pixels take the first opacity throughout.
    virtual void beginFadingLayer(const FadingLayer& fade, const DrawState& state) {
        beginTransparencyLayer(fade.from, state);
    }
    virtual void endFadingLayer() { endTransparencyLayer(); }
};

// Draws onto a caller-owned cairo_t whose device space is pixels (origin top-left).
class CairoBackend final : public DrawBackend {
public:
    explicit CairoBackend(cairo_t* cr);
    ~CairoBackend() override;
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
    cairo_t* cr_;
    AffineTransform origin_; // cr's matrix when handed over; user transforms apply on top of it
    std::vector<double> layerAlphas_;
    struct OpenShadow {
        ShadowLayer shadow;
        AffineTransform ctm;
        double scale;
        bool grouped;
    };
    std::vector<OpenShadow> shadows_;
    std::vector<std::pair<FadingLayer, AffineTransform>> fades_;
};

class GraphicsContext {
public:
    // size: the drawable area in points; backingScale: device pixels per point.
    GraphicsContext(std::shared_ptr<DrawBackend> backend, Size size, double backingScale = 1.0,
                    bool flipped = false);
    // Convenience for back ends: draws onto cr with a CairoBackend.
    GraphicsContext(cairo_t* cr, Size size, double backingScale = 1.0, bool flipped = false);
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;
    ~GraphicsContext();

    // The innermost context pushed on this thread, or null (then drawing helpers draw nothing).
    static GraphicsContext* current();
    static void pushCurrent(GraphicsContext* context);
    static void popCurrent();
    // Makes a context current for a scope.
    class CurrentScope {
    public:
        explicit CurrentScope(GraphicsContext& context) { pushCurrent(&context); }
        ~CurrentScope() { popCurrent(); }
        CurrentScope(const CurrentScope&) = delete;
        CurrentScope& operator=(const CurrentScope&) = delete;
    };

    // Save/restore of the whole drawing state (transform, clip, flipped flag, colours, compositing, alpha).
    void saveGState();
    void restoreGState();
    class StateGuard {
    public:
        explicit StateGuard(GraphicsContext& context) : context_(context) { context_.saveGState(); }
        ~StateGuard() { context_.restoreGState(); }
        StateGuard(const StateGuard&) = delete;
        StateGuard& operator=(const StateGuard&) = delete;

    private:
        GraphicsContext& context_;
    };

    Size size() const { return size_; }
    double backingScaleFactor() const { return backingScale_; }
    bool isFlipped() const { return state_.draw.flipped; }
    // Only the flag: views that flip their coordinates concatenate the transform themselves.
    void setFlipped(bool flipped) { state_.draw.flipped = flipped; }

    // User space -> device pixels.
    const AffineTransform& ctm() const { return state_.draw.ctm; }
    // The transform that the context started with (user space of the whole context -> device pixels).
    const AffineTransform& baseTransform() const { return base_; }
    // Prepends t: points are transformed by t before the current transform.
    void concat(const AffineTransform& t);
    void translate(double x, double y);
    void scale(double sx, double sy);
    void rotate(double radians);
    // Maps user space to device pixels and back.
    Rect convertToDevice(const Rect& r) const { return ctm().apply(r); }

    void clipToRect(const Rect& r);
    void clipToPath(const BezierPath& path);

    CompositingOperation compositingOperation() const { return state_.draw.operation; }
    void setCompositingOperation(CompositingOperation op) { state_.draw.operation = op; }
    double alpha() const { return state_.draw.alpha; }
    void setAlpha(double alpha);

    ColorRef fillColor() const { return state_.fill; }
    ColorRef strokeColor() const { return state_.stroke; }
    void setFillColor(ColorRef c);
    void setStrokeColor(ColorRef c);

    void fillPath(const BezierPath& path);
    // Fills with the given colour and operation without touching the state's colour.
    void fillPath(const BezierPath& path, ColorRef color, CompositingOperation op);
    void strokePath(const BezierPath& path);
    void strokePath(const BezierPath& path, ColorRef color);
    // Fills a rect with the current fill colour, or the given one, under the context's compositing
    // operation or the given one.
    void fillRect(const Rect& r);
    void fillRect(const Rect& r, CompositingOperation op);
    void fillRect(const Rect& r, ColorRef color);
    void fillRect(const Rect& r, ColorRef color, CompositingOperation op);

    // Draws an image into dest from source (image points; the zero rect means the whole image).
    // Nothing is drawn when the image has no representation or dest is empty. Cap insets and resizing
    // mode apply when the whole image is drawn.
    void drawImage(const std::shared_ptr<const Image>& image, const Rect& dest, const Rect& source = {},
                   CompositingOperation op = CompositingOperation::sourceOver, double fraction = 1.0,
                   bool respectFlipped = false);

    void drawText(const AttributedString& text, const Rect& rect);
    void drawText(const AttributedString& text, Point point);

    void beginTransparencyLayer(double alpha);
    void endTransparencyLayer();
    // Shadow and fading layers (see ShadowLayer, FadingLayer); each end closes the innermost layer of
    // its kind, as endTransparencyLayer does.
    void beginShadowLayer(const ShadowLayer& shadow);
    void endShadowLayer();
    void beginFadingLayer(const FadingLayer& fade);
    void endFadingLayer();

    DrawBackend& backend() const { return *backend_; }
    const DrawState& drawState() const { return state_.draw; }

private:
    struct State {
        DrawState draw;
        ColorRef fill;
        ColorRef stroke;
    };
    std::shared_ptr<DrawBackend> backend_;
    Size size_;
    double backingScale_;
    AffineTransform base_;
    enum class Layer { none, transparency, shadow, fading };
    struct Saved {
        State state;
        Layer layer;
    };
    void beginLayer(Layer layer);
    void endLayer(Layer layer);
    State state_;
    std::vector<Saved> saved_;
};

} // namespace graphics
