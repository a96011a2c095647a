#include "gpu/TextureLoader.hpp"

#include "core/Bundle.hpp"
#include "gpu/Device.hpp"
#include "graphics/Image.hpp"

#include <cairo.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace gpu {

std::shared_ptr<Texture> TextureLoader::newTexture(std::string_view name, double scaleFactor,
                                                   const core::Bundle& bundle) const {
    std::optional<std::filesystem::path> file;
    if (scaleFactor >= 2.0) {
        file = bundle.pathForResource(std::string(name) + "@2x", "png");
    }
    if (!file) {
        file = bundle.pathForResource(name, "png");
    }
    if (!file) {
        throw Error("Could not find resource " + std::string(name) + " at specified location.");
    }
    const auto rep = graphics::ImageRep::fromPNGFile(*file);
    if (!rep) {
        throw Error("The image " + file->filename().string() + " cannot be decoded");
    }
    const int width = rep->pixelsWide();
    const int height = rep->pixelsHigh();
    cairo_surface_t* surface = rep->surface();
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    // Cairo keeps premultiplied native-endian ARGB words; textures take straight RGBA bytes.
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t word = 0;
            std::memcpy(&word, data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, 4);
            const std::uint32_t a = word >> 24;
            auto straight = [a](std::uint32_t c) {
                return static_cast<std::uint8_t>(a == 0 ? 0 : (c * 255 + a / 2) / a);
            };
            std::uint8_t* out = &pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                         static_cast<std::size_t>(x)) *
                                        4];
            out[0] = straight((word >> 16) & 0xff);
            out[1] = straight((word >> 8) & 0xff);
            out[2] = straight(word & 0xff);
            out[3] = static_cast<std::uint8_t>(a);
        }
    }
    auto texture = device_
                       ? device_->newTexture({width, height, PixelFormat::rgba8Unorm, true}, pixels.data())
                       : nullptr;
    if (!texture) {
        throw Error("The image " + file->filename().string() + " cannot be made into a texture");
    }
    return texture;
}

} // namespace gpu
