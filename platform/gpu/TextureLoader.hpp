#pragma once

// Loads PNG images of a bundle into textures: "<name>@2x.png" when the scale factor is 2 or more and
// that file exists, else "<name>.png". Images are taken as sRGB, so shaders sample linear values; rows
// are uploaded top first (texture coordinate v grows downwards).

#include "gpu/Resources.hpp"

#include <memory>
#include <string_view>

namespace core {
class Bundle;
}

namespace gpu {

class Device;

class TextureLoader {
public:
    explicit TextureLoader(std::shared_ptr<Device> device) : device_(std::move(device)) {}

    // Throws Error: "Could not find resource <name> at specified location." for a missing image, or
    // a message naming an image that cannot be decoded or uploaded.
    std::shared_ptr<Texture> newTexture(std::string_view name, double scaleFactor,
                                        const core::Bundle& bundle) const;

private:
    std::shared_ptr<Device> device_;
};

} // namespace gpu
