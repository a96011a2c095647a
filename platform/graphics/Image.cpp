#include "graphics/Image.hpp"

#include "core/Log.hpp"
#include "graphics/CairoSupport.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

namespace graphics {

namespace {

// Makes sure the surface is ARGB32 (PNG files without alpha load as RGB24). Takes ownership of surface.
cairo_surface_t* asARGB32(cairo_surface_t* surface) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32)
        return surface;
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    cairo_surface_t* converted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(converted);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return converted;
}

struct ByteReader {
    const std::vector<std::uint8_t>* data;
    std::size_t offset = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<ByteReader*>(closure);
    if (reader->offset + length > reader->data->size())
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data->data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t writeBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// "name@2x.png" -> 2; anything else -> 1.
double scaleFromFileName(const std::filesystem::path& file) {
    std::string stem = file.stem().string();
    auto at = stem.rfind('@');
    if (at == std::string::npos || stem.size() < at + 3 || stem.back() != 'x')
        return 1.0;
    std::string digits = stem.substr(at + 1, stem.size() - at - 2);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        digits.size() > 1)
        return 1.0;
    int scale = digits[0] - '0';
    return scale >= 1 ? scale : 1.0;
}

std::shared_ptr<ImageRep> wrap(cairo_surface_t* surface, double scale) {
    surface = asARGB32(surface);
    if (!surface)
        return nullptr;
    if (!(scale > 0))
        scale = 1.0;
    Size points{cairo_image_surface_get_width(surface) / scale,
                cairo_image_surface_get_height(surface) / scale};
    auto rep = std::make_shared<ImageRep>(surface, points);
    cairo_surface_destroy(surface); // the rep holds its own reference
    return rep;
}

} // namespace

ImageRep::ImageRep(cairo_surface_t* surface, Size pointSize) : size_(pointSize) {
    cairo_surface_t* ref = cairo_surface_reference(surface);
    surface_ = asARGB32(ref);
    if (!surface_) // keep an invariant: always a valid (possibly empty) surface
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);
}

ImageRep::~ImageRep() {
    cairo_surface_destroy(surface_);
}

std::shared_ptr<ImageRep> ImageRep::make(int pixelsWide, int pixelsHigh, Size pointSize) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(0, pixelsWide), std::max(0, pixelsHigh));
    auto rep = std::make_shared<ImageRep>(surface, pointSize);
    cairo_surface_destroy(surface);
    return rep;
}

std::shared_ptr<ImageRep> ImageRep::fromPNGFile(const std::filesystem::path& file, double scale) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return nullptr;
    return wrap(cairo_image_surface_create_from_png(file.c_str()), scale);
}

std::shared_ptr<ImageRep> ImageRep::fromPNGData(const std::vector<std::uint8_t>& data, double scale) {
    ByteReader reader{&data};
    return wrap(cairo_image_surface_create_from_png_stream(readBytes, &reader), scale);
}

int ImageRep::pixelsWide() const {
    return cairo_image_surface_get_width(surface_);
}

int ImageRep::pixelsHigh() const {
    return cairo_image_surface_get_height(surface_);
}

double ImageRep::scale() const {
    return size_.width > 0 ? pixelsWide() / size_.width : 1.0;
}

ImageRep::RGBA ImageRep::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= pixelsWide() || y >= pixelsHigh())
        return {};
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    std::uint32_t argb;
    std::memcpy(&argb, data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, 4);
    RGBA px;
    px.a = static_cast<std::uint8_t>(argb >> 24);
    auto unpremultiply = [&](std::uint32_t c) {
        c &= 0xff;
        return px.a == 0 ? std::uint8_t{0}
                         : static_cast<std::uint8_t>(std::min(255u, (c * 255 + px.a / 2) / px.a));
    };
    px.r = unpremultiply(argb >> 16);
    px.g = unpremultiply(argb >> 8);
    px.b = unpremultiply(argb);
    return px;
}

std::uint32_t ImageRep::Pixels::argb(int x, int y) const {
    if (data == nullptr || x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    std::uint32_t word;
    std::memcpy(&word, data + static_cast<std::ptrdiff_t>(y) * stride + static_cast<std::ptrdiff_t>(x) * 4,
                4);
    return word;
}

ImageRep::Pixels ImageRep::pixels() const {
    if (surface_ == nullptr || cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface_);
    return {cairo_image_surface_get_data(surface_), pixelsWide(), pixelsHigh(),
            cairo_image_surface_get_stride(surface_)};
}

void ImageRep::draw(const std::function<void(GraphicsContext&)>& drawing, bool clearFirst, bool flipped) {
    if (surface_ == nullptr || pixelsWide() <= 0 || pixelsHigh() <= 0)
        return;
    cairo_t* cr = cairo_create(surface_);
    if (clearFirst) {
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    {
        GraphicsContext context(cr, size_, scale(), flipped);
        GraphicsContext::CurrentScope scope(context);
        if (drawing)
            drawing(context);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
}

std::vector<std::uint8_t> ImageRep::pngData() const {
    std::vector<std::uint8_t> out;
    if (pixelsWide() == 0 || pixelsHigh() == 0)
        return out;
    if (cairo_surface_write_to_png_stream(surface_, writeBytes, &out) != CAIRO_STATUS_SUCCESS)
        out.clear();
    return out;
}

Image::Image(Size size) : size_(size) {}

ImageRef Image::fromPNGFile(const std::filesystem::path& file) {
    auto rep = ImageRep::fromPNGFile(file, scaleFromFileName(file));
    if (!rep)
        return nullptr;
    auto image = make(rep->size());
    image->addRepresentation(rep);
    return image;
}

ImageRef Image::fromPNGData(const std::vector<std::uint8_t>& data, double scale) {
    auto rep = ImageRep::fromPNGData(data, scale);
    if (!rep)
        return nullptr;
    auto image = make(rep->size());
    image->addRepresentation(rep);
    return image;
}

ImageRef Image::fromSurface(cairo_surface_t* surface, double scale) {
    if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return nullptr;
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    auto rep = wrap(copy, scale);
    if (!rep)
        return nullptr;
    auto image = make(rep->size());
    image->addRepresentation(rep);
    return image;
}

ImageRef Image::draw(Size size, double scale, const std::function<void(GraphicsContext&)>& drawing,
                     bool flipped) {
    if (!(scale > 0))
        scale = 1.0;
    int w = static_cast<int>(std::ceil(std::max(0.0, size.width) * scale - 1e-9));
    int h = static_cast<int>(std::ceil(std::max(0.0, size.height) * scale - 1e-9));
    auto rep = ImageRep::make(w, h, size);
    auto image = make(size);
    if (w > 0 && h > 0) {
        cairo_t* cr = cairo_create(rep->surface());
        {
            GraphicsContext context(cr, size, scale, flipped);
            GraphicsContext::CurrentScope scope(context);
            if (drawing)
                drawing(context);
        }
        cairo_destroy(cr);
        cairo_surface_flush(rep->surface());
    }
    image->addRepresentation(rep);
    return image;
}

namespace {

std::mutex namedMutex;
std::map<std::filesystem::path, std::map<std::string, ImageRef>> namedCache;

} // namespace

ImageRef Image::named(const std::string& name, const std::filesystem::path& resourceDirectory) {
    if (name.empty())
        return nullptr;
    // Names may reach into subfolders ("knobs/dial-01") but never out of the resource directory.
    const std::filesystem::path relative(name);
    if (relative.has_root_path() ||
        std::any_of(relative.begin(), relative.end(), [](const auto& part) { return part == ".."; }))
        return nullptr;
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::weakly_canonical(resourceDirectory, ec);
    if (ec)
        dir = resourceDirectory;
    std::lock_guard lock(namedMutex);
    auto& cache = namedCache[dir];
    if (auto it = cache.find(name); it != cache.end())
        return it->second;

    std::vector<std::shared_ptr<ImageRep>> reps;
    bool found = false;
    for (int scale = 1; scale <= 3; ++scale) {
        const std::filesystem::path file =
            dir / (scale == 1 ? name + ".png" : name + "@" + std::to_string(scale) + "x.png");
        std::error_code error;
        if (!std::filesystem::exists(file, error))
            continue;
        found = true;
        if (auto rep = ImageRep::fromPNGFile(file, scale))
            reps.push_back(rep);
        else
            core::logResourceFault(file, "image", name, "cannot be decoded");
    }
    if (!found)
        core::logResourceFault(dir, "image", name, "is missing");
    if (reps.empty())
        return nullptr; // not cached: the file may appear later
    auto image = make(reps.front()->size());
    image->setName(name);
    for (auto& rep : reps)
        image->addRepresentation(rep);
    cache[name] = image;
    return image;
}

void Image::clearNamedCache() {
    std::lock_guard lock(namedMutex);
    namedCache.clear();
}

void Image::addRepresentation(std::shared_ptr<const ImageRep> rep) {
    if (rep)
        reps_.push_back(std::move(rep));
}

void Image::removeRepresentation(const std::shared_ptr<const ImageRep>& rep) {
    reps_.erase(std::remove(reps_.begin(), reps_.end(), rep), reps_.end());
}

std::shared_ptr<const ImageRep> Image::bestRepresentation(double devicePixelsPerPoint) const {
    std::shared_ptr<const ImageRep> best;
    std::shared_ptr<const ImageRep> densest;
    // Representation density relative to the image's own size (a rep may be drawn at a different size).
    auto density = [&](const ImageRep& rep) {
        return size_.width > 0 ? rep.pixelsWide() / size_.width : rep.scale();
    };
    for (const auto& rep : reps_) {
        if (rep->pixelsWide() == 0 || rep->pixelsHigh() == 0)
            continue;
        double d = density(*rep);
        if (!densest || d > density(*densest))
            densest = rep;
        if (d + 1e-9 >= devicePixelsPerPoint && (!best || d < density(*best)))
            best = rep;
    }
    return best ? best : densest;
}

ImageRef Image::copy() const {
    auto image = std::make_shared<Image>(*this);
    return image;
}

ImageRef Image::tinted(const ColorRef& color) const {
    auto image = copy();
    image->reps_.clear();
    for (const auto& rep : reps_) {
        auto tintedRep = ImageRep::make(rep->pixelsWide(), rep->pixelsHigh(), rep->size());
        cairo_t* cr = cairo_create(tintedRep->surface());
        cairo_set_source_surface(cr, rep->surface(), 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        if (color) {
            cairo_set_source_rgba(cr, color->red(), color->green(), color->blue(),
                                  std::clamp(color->alpha(), 0.0, 1.0));
            cairo_set_operator(cr, CAIRO_OPERATOR_IN);
            cairo_paint(cr);
        }
        cairo_destroy(cr);
        cairo_surface_flush(tintedRep->surface());
        image->reps_.push_back(tintedRep);
    }
    image->template_ = false;
    image->tint_ = color;
    return image;
}

void Image::drawInRect(const Rect& dest, const Rect& source, CompositingOperation op, double fraction,
                       bool respectFlipped) const {
    auto* ctx = GraphicsContext::current();
    if (!ctx)
        return;
    std::shared_ptr<const Image> self = weak_from_this().lock();
    // An image not owned by a shared_ptr is lent for the duration of the call only.
    if (!self)
        self = std::shared_ptr<const Image>(this, [](const Image*) {});
    ctx->drawImage(self, dest, source, op, fraction, respectFlipped);
}

void Image::drawInRect(const Rect& dest) const {
    drawInRect(dest, {}, CompositingOperation::sourceOver, 1.0, true);
}

void Image::drawAtPoint(Point point, const Rect& source, CompositingOperation op, double fraction) const {
    Rect src = source == Rect{} ? bounds() : source;
    drawInRect({point, src.size}, source, op, fraction, false);
}

std::vector<std::uint8_t> Image::pngData() const {
    auto rep = bestRepresentation(1e9);
    return rep ? rep->pngData() : std::vector<std::uint8_t>{};
}

bool Image::writePNG(const std::filesystem::path& file) const {
    auto rep = bestRepresentation(1e9);
    if (!rep || rep->pixelsWide() == 0)
        return false;
    return cairo_surface_write_to_png(rep->surface(), file.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace graphics
