#include "Vimbra/ImageOps.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <png.h>

namespace vimbra {
using graphics::Image;
using graphics::ImageRef;
using graphics::ImageRep;
using graphics::Rect;

namespace {

// Pixels per point of the densest representation, so derived images stay as crisp as their source.
double densestScale(const Image& image) {
    double scale = 1.0;
    for (const auto& rep : image.representations()) {
        scale = std::max(scale, rep->scale());
    }
    return scale;
}

} // namespace

double aspectRatio(const Image& image) {
    return image.width() / image.height();
}

graphics::Size pixelSize(const ImageRep& rep) {
    return {double(rep.pixelsWide()), double(rep.pixelsHigh())};
}

ImageRef withAlpha(const Image& image, double fraction) {
    auto source = image.shared_from_this();
    return Image::draw(image.size(), densestScale(image), [&](graphics::GraphicsContext& context) {
        context.drawImage(source, Rect(0, 0, image.width(), image.height()), {},
                          graphics::CompositingOperation::sourceOver, fraction, true);
    });
}

ImageRef padded(const Image& image, double left) {
    auto source = image.shared_from_this();
    return Image::draw({left + image.width(), image.height()}, densestScale(image),
                       [&](graphics::GraphicsContext& context) {
                           context.drawImage(source, Rect(left, 0, image.width(), image.height()));
                       });
}

ImageRef tinted(const ImageRef& image, const graphics::ColorRef& color) {
    if (!image || !image->isTemplate()) {
        return image;
    }
    return image->tinted(color);
}

std::shared_ptr<const ImageRep> bitmapRepresentation(const Image& image, const graphics::Rect&,
                                                     const graphics::GraphicsContext* context) {
    if (auto best = image.bestRepresentation(context ? context->backingScaleFactor() : 1.0)) {
        return best;
    }
    return image.representations().empty() ? nullptr : image.representations().front();
}

ImageRef filtered(const Image& image, const std::function<bool(const ImageRep&)>& predicate) {
    auto result = Image::make({});
    for (const auto& rep : image.representations()) {
        if (predicate(*rep)) {
            if (result->representations().empty()) {
                result->setSize(rep->size());
            }
            result->addRepresentation(rep);
        }
    }
    return result;
}

namespace {

double srgbToLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double linearToEncoded(double v) {
    v = std::clamp(v, 0.0, 1.0);
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// Linear sRGB to linear Display P3 (both D65).
constexpr double toP3[3][3] = {
    {0.8224621, 0.1775380, 0.0000000}, {0.0331941, 0.9668058, 0.0000000}, {0.0170827, 0.0723974, 0.9105199}};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

} // namespace

std::optional<std::vector<std::uint8_t>> pngData(const ImageRep& rep) {
    const graphics::ImageRep::Pixels pixels = rep.pixels();
    if (pixels.data == nullptr || pixels.width <= 0 || pixels.height <= 0) {
        return std::nullopt;
    }
    const int width = pixels.width;
    const int height = pixels.height;
    const int stride = pixels.stride;
    const unsigned char* data = pixels.data;

    // 16-bit big-endian RGBA rows, unpremultiplied.
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * height * 8);
    for (int y = 0; y < height; ++y) {
        const auto* in =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = in[x];
            const double a = ((p >> 24) & 0xff) / 255.0;
            double rgb[3] = {((p >> 16) & 0xff) / 255.0, ((p >> 8) & 0xff) / 255.0, (p & 0xff) / 255.0};
            std::uint16_t out[4] = {0, 0, 0, static_cast<std::uint16_t>(std::lround(a * 65535))};
            if (a > 0) {
                double lin[3];
                for (int c = 0; c < 3; ++c) {
                    lin[c] = srgbToLinear(std::min(1.0, rgb[c] / a));
                }
                for (int c = 0; c < 3; ++c) {
                    const double v = toP3[c][0] * lin[0] + toP3[c][1] * lin[1] + toP3[c][2] * lin[2];
                    out[c] = static_cast<std::uint16_t>(std::lround(linearToEncoded(v) * 65535));
                }
            }
            auto* o = rows.data() + (static_cast<std::size_t>(y) * width + x) * 8;
            for (int c = 0; c < 4; ++c) {
                o[c * 2] = static_cast<std::uint8_t>(out[c] >> 8);
                o[c * 2 + 1] = static_cast<std::uint8_t>(out[c] & 0xff);
            }
        }
    }

    std::vector<std::uint8_t> encoded;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return std::nullopt;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return std::nullopt;
    }
    png_set_write_fn(png, &encoded, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // Display P3: P3 primaries, D65 white, the sRGB transfer curve (gamma 1/2.2 for readers that only
    // know gAMA).
    png_set_cHRM(png, info, 0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060);
    png_set_gAMA(png, info, 1 / 2.2);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rows.data() + static_cast<std::size_t>(y) * width * 8);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return encoded;
}

std::optional<std::vector<std::uint8_t>> pngData(const Image& image) {
    std::shared_ptr<const ImageRep> densest;
    for (const auto& rep : image.representations()) {
        if (!densest || rep->pixelsWide() > densest->pixelsWide()) {
            densest = rep;
        }
    }
    if (!densest) {
        return std::nullopt;
    }
    return pngData(*densest);
}

namespace {

// A double as Swift writes it: shortest round-trip digits, always with a fractional part.
std::string doubleDescription(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, error == std::errc{} ? end : buffer);
    if (text.find_first_of(".eEn") == std::string::npos) {
        text += ".0";
    }
    return text;
}

} // namespace

std::string debugDescription(const graphics::Color& color) {
    // Every colour of the graphics layer is in sRGB.
    std::string text = "kCGColorSpaceSRGB: [ ";
    const double components[4] = {color.red(), color.green(), color.blue(), color.alpha()};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += doubleDescription(components[i]);
    }
    return text + " ]";
}

} // namespace vimbra
