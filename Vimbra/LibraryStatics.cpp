#include "Vimbra/LibraryStatics.hpp"

#include "Vimbra/Assets.hpp"
#include "core/Log.hpp"

namespace vimbra {
graphics::ImageRef cycleImage() {
    graphics::ImageRef image;
    if (auto main = core::Bundle::main()) {
        if (auto own = graphics::Image::named(VimbraAssets::cycleImageName, main->resourcePath())) {
            image = own->copy();
        }
    }
    if (!image) {
        image = vimbraImage(VimbraAssets::cycleImageName);
    }
    if (!image) {
        core::fatal(std::string("missing image named ") + VimbraAssets::cycleImageName);
    }
    return image;
}

} // namespace vimbra
