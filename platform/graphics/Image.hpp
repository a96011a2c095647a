#pragma once

// Images are shared, mutable handles (like AppKit's images): a size in points, an ordered list of bitmap
// representations (e.g. 1x and 2x), a template flag, cap insets and a resizing mode for drawing stretched.

#include "graphics/Color.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/GraphicsContext.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace graphics {

class Image;
using ImageRef = std::shared_ptr<Image>;

// AppKit raw values. With zero cap insets an image is always scaled to the destination.
enum class ResizingMode { tile = 0, stretch = 1 };

// One bitmap: premultiplied ARGB32 pixels in a cairo image surface, plus the point size it stands for.
class ImageRep {
public:
    // Takes a reference to an ARGB32 image surface (converted when it has another format).
    ImageRep(cairo_surface_t* surface, Size pointSize);
    ~ImageRep();
    ImageRep(const ImageRep&) = delete;
    ImageRep& operator=(const ImageRep&) = delete;

    // A new transparent bitmap.
    static std::shared_ptr<ImageRep> make(int pixelsWide, int pixelsHigh, Size pointSize);
    // Decodes a PNG file; null on failure. scale = pixels per point.
    static std::shared_ptr<ImageRep> fromPNGFile(const std::filesystem::path& file, double scale = 1.0);
    static std::shared_ptr<ImageRep> fromPNGData(const std::vector<std::uint8_t>& data, double scale = 1.0);

    int pixelsWide() const;
    int pixelsHigh() const;
    Size size() const { return size_; }
    // Pixels per point (horizontal).
    double scale() const;
    cairo_surface_t* surface() const { return surface_; }

    // Unpremultiplied RGBA of one pixel (row 0 at the top); zeros outside the bitmap.
    struct RGBA {
        std::uint8_t r = 0, g = 0, b = 0, a = 0;
        friend bool operator==(const RGBA&, const RGBA&) = default;
    };
    RGBA pixel(int x, int y) const;
    std::vector<std::uint8_t> pngData() const;

    // The bitmap's bytes: premultiplied ARGB in native-endian 32-bit words, rows from the top, `stride`
    // bytes apart. Valid while the representation lives and nothing draws into it.
    struct Pixels {
        const std::uint8_t* data = nullptr;
        int width = 0;
        int height = 0;
        int stride = 0;
        std::uint32_t argb(int x, int y) const;
    };
    Pixels pixels() const;
    // Draws into this bitmap through a context of the representation's point size and scale (unflipped
    // unless asked; current while the callback runs), after making every pixel transparent when asked.
    void draw(const std::function<void(GraphicsContext&)>& drawing, bool clearFirst, bool flipped = false);

private:
    cairo_surface_t* surface_;
    Size size_;
};

class Image : public std::enable_shared_from_this<Image> {
public:
    explicit Image(Size size = {});

    static ImageRef make(Size size) { return std::make_shared<Image>(size); }
    // One representation; scale 2 when the file name ends in "@2x.png" (3 for "@3x"). Null on failure.
    static ImageRef fromPNGFile(const std::filesystem::path& file);
    static ImageRef fromPNGData(const std::vector<std::uint8_t>& data, double scale = 1.0);
    // Wraps a copy of the surface's pixels.
    static ImageRef fromSurface(cairo_surface_t* surface, double scale = 1.0);
    // Draws into a new image of `size` points with one bitmap of size*scale pixels (lockFocus style):
    // the callback gets an unflipped context (or flipped when asked) that is also current while it runs.
    static ImageRef draw(Size size, double scale, const std::function<void(GraphicsContext&)>& drawing,
                         bool flipped = false);

    // A named image from a resource directory: "<name>.png" and any "<name>@2x.png"/"<name>@3x.png"
    // become its representations; the point size is taken from the lowest-scale one. Each directory
    // keeps a cache, so a name yields the same object on every call. Null when no file exists, or when
    // the name (which may hold '/') would leave the directory.
    static ImageRef named(const std::string& name, const std::filesystem::path& resourceDirectory);
    // Empties every directory's cache (tests and resource reloading).
    static void clearNamedCache();

    Size size() const { return size_; }
    void setSize(Size size) { size_ = size; }
    double width() const { return size_.width; }
    double height() const { return size_.height; }
    Rect bounds() const { return {{0, 0}, size_}; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    bool isTemplate() const { return template_; }
    void setTemplate(bool t) { template_ = t; }
    EdgeInsets capInsets() const { return capInsets_; }
    void setCapInsets(EdgeInsets insets) { capInsets_ = insets; }
    ResizingMode resizingMode() const { return resizingMode_; }
    void setResizingMode(ResizingMode mode) { resizingMode_ = mode; }
    // Set on images made by tinted(): the colour they were filled with (for the recorder).
    ColorRef tintColor() const { return tint_; }

    const std::vector<std::shared_ptr<const ImageRep>>& representations() const { return reps_; }
    void addRepresentation(std::shared_ptr<const ImageRep> rep);
    void removeRepresentation(const std::shared_ptr<const ImageRep>& rep);
    // The representation for drawing at devicePixelsPerPoint: the smallest scale that is at least as dense,
    // else the densest. Null when there is none.
    std::shared_ptr<const ImageRep> bestRepresentation(double devicePixelsPerPoint) const;

    // A copy with the same representations (shared bitmaps) and attributes, but a new identity.
    ImageRef copy() const;
    // A copy whose every representation is filled with color through the image's alpha (source-in), with
    // the template flag cleared and tintColor set. Works for any image; template checks are the caller's.
    ImageRef tinted(const ColorRef& color) const;

    // Draws into the current context; nothing without one. See GraphicsContext::drawImage. The short form
    // draws the whole image upright in a flipped context too (as a check mark in a flipped control must
    // be); the long form takes flippedness only when respectFlipped says so.
    void drawInRect(const Rect& dest) const;
    void drawInRect(const Rect& dest, const Rect& source,
                    CompositingOperation op = CompositingOperation::sourceOver, double fraction = 1.0,
                    bool respectFlipped = false) const;
    void drawAtPoint(Point point, const Rect& source = {},
                     CompositingOperation op = CompositingOperation::sourceOver, double fraction = 1.0) const;

    // PNG of the densest representation; empty when there is none.
    std::vector<std::uint8_t> pngData() const;
    bool writePNG(const std::filesystem::path& file) const;

private:
    Size size_;
    std::string name_;
    bool template_ = false;
    EdgeInsets capInsets_;
    ResizingMode resizingMode_ = ResizingMode::stretch;
    ColorRef tint_;
    std::vector<std::shared_ptr<const ImageRep>> reps_;
};

} // namespace graphics
