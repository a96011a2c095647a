#include "Vimbra/LibraryStatics.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/Style.hpp"
#include "core/Log.hpp"
#include "ui/Event.hpp"

namespace vimbra {

graphics::ImageRef cycleImage() {
    graphics::ImageRef image;
    // The program's own bundle may replace the library's image; most do not.
    if (auto main = core::Bundle::main();
        main && main->pathForResource(VimbraAssets::cycleImageName, "png")) {
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

std::shared_ptr<ui::Cursor> LibraryDefaults::trackingSliderCursor() {
    auto image = VmImagesAK::cursorTrackingSlider();
    if (!image) {
        // A cursor without its image would show nothing over the slider: the image is part of the product.
        core::fatal("missing image named cursor-trackingslider");
    }
    return ui::Cursor::make(std::move(image), cursorHotSpot());
}

namespace {

std::shared_ptr<ui::Button> headerButton(const char* image, const char* alternateImage) {
    auto button = ui::Button::makeWithImage(vimbraImage(image), nullptr, {});
    button->setTitle("");
    button->setAlternateImage(vimbraImage(alternateImage));
    button->setButtonType(ui::ButtonType::momentaryChange);
    button->setBezelStyle(ui::BezelStyle::regularSquare);
    button->setBordered(false);
    button->setImagePosition(ui::ImagePosition::imageOnly);
    button->setImageScaling(ui::ImageScaling::none);
    return button;
}

} // namespace

std::shared_ptr<ui::Button> LibraryDefaults::addHeaderButton() {
    return headerButton("properties-table-add", "properties-table-add-down");
}

std::shared_ptr<ui::Button> LibraryDefaults::overflowHeaderButton() {
    return headerButton("properties-tableheader-overflow", "properties-tableheader-overflow-down");
}

std::vector<char32_t> LibraryDefaults::keyboardActionTriggers() {
    return {ui::SpecialKey::carriageReturn, ui::SpecialKey::enter};
}

std::string LibraryDefaults::appearanceName() {
    return appearanceNameDarkAqua;
}

graphics::ColorRef LibraryDefaults::backgroundNormalColor() {
    return vimbraColor("Background/Normal");
}

graphics::ColorRef LibraryDefaults::highlightSystemColor() {
    return vimbraColor("Highlight/System");
}

graphics::ColorRef LibraryDefaults::grey85Color() {
    return vimbraColor("Grey 85%");
}

} // namespace vimbra
