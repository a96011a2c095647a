// The X11 back end's drawing: a back buffer in memory that display passes draw into, and the copy of
// what they drew onto the window.

#include "core/Log.hpp"
#include "display/X11Display.hpp"
#include "graphics/DrawRecorder.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <bit>
#include <cairo-xlib.h>
#include <cairo.h>
#include <cmath>
#include <tuple>

namespace display {

void X11WindowBackend::resizeBuffers(int pixelWidth, int pixelHeight) {
    pixelWidth = std::max(1, pixelWidth);
    pixelHeight = std::max(1, pixelHeight);
    if (pixelWidth == pixelWidth_ && pixelHeight == pixelHeight_ && backBuffer_) {
        return;
    }
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    // Callers fit the size to the screen already; this keeps to what cairo can make in any case.
    std::tie(pixelWidth, pixelHeight) = display->fitPixels(pixelWidth, pixelHeight);
    if (pixelWidth == pixelWidth_ && pixelHeight == pixelHeight_ && backBuffer_) {
        return;
    }
    cairo_surface_t* buffer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
    if (cairo_surface_status(buffer) != CAIRO_STATUS_SUCCESS) {
        core::log("X11: no %dx%d back buffer (%s); the window keeps its %dx%d one", pixelWidth, pixelHeight,
                  cairo_status_to_string(cairo_surface_status(buffer)), pixelWidth_, pixelHeight_);
        cairo_surface_destroy(buffer);
        if (backBuffer_) {
            return;
        }
        // Not even a first one: nothing is drawn or presented until a later size succeeds.
        pixelWidth_ = 0;
        pixelHeight_ = 0;
        return;
    }
    pixelWidth_ = pixelWidth;
    pixelHeight_ = pixelHeight;
    if (backBuffer_) {
        cairo_surface_destroy(backBuffer_);
    }
    backBuffer_ = buffer;
    if (!windowSurface_) {
        ::Display* dpy = display->xdisplay();
        windowSurface_ = cairo_xlib_surface_create(dpy, xid_, DefaultVisual(dpy, DefaultScreen(dpy)),
                                                   pixelWidth, pixelHeight);
    } else {
        cairo_xlib_surface_set_size(windowSurface_, pixelWidth, pixelHeight);
    }
}

bool X11WindowBackend::drawRects(const std::vector<graphics::Rect>& rects, const RectDrawer& draw) {
    if (!xid_ || !graphics::drawRectsOnSurface(backBuffer_, size_, scale_, nullptr, rects, draw)) {
        return false;
    }
    graphics::Rect area = graphics::Rect::null();
    for (const auto& r : rects) {
        area = area.isNull() ? r : area.unionWith(r);
    }
    present(area);
    return true;
}

void X11WindowBackend::present(const graphics::Rect& area) {
    auto display = display_.lock();
    if (!display || !xid_ || !mapped_ || !windowSurface_ || !backBuffer_ ||
        cairo_surface_status(backBuffer_) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    cairo_surface_flush(backBuffer_);
    // Never hand Xlib a buffer without pixels: the request would write from a null pointer.
    if (!cairo_image_surface_get_data(backBuffer_)) {
        return;
    }
    // Window coordinates (y up) to the buffer's pixels (y down), whole pixels outward, within the buffer.
    double x0 = 0, y0 = 0, x1 = pixelWidth_, y1 = pixelHeight_;
    if (!area.isNull()) {
        x0 = std::max(0.0, std::floor(area.minX() * scale_));
        x1 = std::min<double>(pixelWidth_, std::ceil(area.maxX() * scale_));
        y0 = std::max(0.0, std::floor((size_.height - area.maxY()) * scale_));
        y1 = std::min<double>(pixelHeight_, std::ceil((size_.height - area.minY()) * scale_));
    }
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    const int screen = DefaultScreen(dpy);
    const Visual* visual = DefaultVisual(dpy, screen);
    const int depth = DefaultDepth(dpy, screen);
    const int left = static_cast<int>(x0), top = static_cast<int>(y0);
    const auto width = static_cast<unsigned>(x1 - x0), height = static_cast<unsigned>(y1 - y0);
    if ((depth == 24 || depth == 32) && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
        visual->blue_mask == 0xff) {
        // The buffer's pixels go to the server as they are: 32-bit words in the visual's layout.
        XImage image{};
        image.width = pixelWidth_;
        image.height = pixelHeight_;
        image.format = ZPixmap;
        image.data = reinterpret_cast<char*>(cairo_image_surface_get_data(backBuffer_));
        image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = image.byte_order;
        image.bitmap_pad = 32;
        image.depth = depth;
        image.bytes_per_line = cairo_image_surface_get_stride(backBuffer_);
        image.bits_per_pixel = 32;
        image.red_mask = visual->red_mask;
        image.green_mask = visual->green_mask;
        image.blue_mask = visual->blue_mask;
        if (XInitImage(&image)) {
            XPutImage(dpy, xid_, DefaultGC(dpy, screen), &image, left, top, left, top, width, height);
            XFlush(dpy);
            ++presentedFrames_;
            return;
        }
    }
    cairo_t* cr = cairo_create(windowSurface_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, backBuffer_, 0, 0);
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(windowSurface_);
    XFlush(display->xdisplay());
    ++presentedFrames_;
}

} // namespace display
