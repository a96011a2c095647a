#include "Vimbra/Assets.hpp"

#include "core/Log.hpp"

#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

namespace vimbra {
namespace {

struct ImageAttributes {
    graphics::EdgeInsets capInsets;
    graphics::ResizingMode resizingMode = graphics::ResizingMode::stretch;
    bool isTemplate = false;
};

using AttributeTable = std::map<std::string, ImageAttributes, std::less<>>;

AttributeTable readAttributes(const std::filesystem::path& file) {
    AttributeTable table;
    const auto fileName = file.filename().string();
    std::ifstream in(file);
    if (!in) {
        core::logResourceFault(file, "image attributes", fileName, "are missing");
        return table;
    }
    const auto json = nlohmann::json::parse(in, nullptr, false);
    if (!json.is_object()) {
        core::logResourceFault(file, "image attributes", fileName, "are not a JSON object");
        return table;
    }
    for (const auto& [name, entry] : json.items()) {
        if (!entry.is_object()) {
            core::logResourceFault(file, "image attributes of", name, "are not an object");
            continue;
        }
        ImageAttributes attributes;
        if (auto caps = entry.find("capInsets");
            caps != entry.end() && caps->is_array() && caps->size() == 4) {
            bool numeric = true;
            for (const auto& v : *caps) {
                numeric = numeric && v.is_number();
            }
            if (numeric) {
                attributes.capInsets = {(*caps)[0].get<double>(), (*caps)[1].get<double>(),
                                        (*caps)[2].get<double>(), (*caps)[3].get<double>()};
            }
        }
        if (auto mode = entry.find("resizingMode"); mode != entry.end() && mode->is_string()) {
            attributes.resizingMode = mode->get<std::string>() == "tile" ? graphics::ResizingMode::tile
                                                                         : graphics::ResizingMode::stretch;
        }
        if (auto flag = entry.find("template"); flag != entry.end() && flag->is_boolean()) {
            attributes.isTemplate = flag->get<bool>();
        }
        table.emplace(name, attributes);
    }
    return table;
}

// The catalogue attributes of a bundle's images, read once per bundle.
const AttributeTable& imageAttributes(const core::Bundle& bundle) {
    static std::mutex mutex;
    static auto* tables = new std::map<std::filesystem::path, AttributeTable>;
    std::lock_guard lock(mutex);
    auto it = tables->find(bundle.bundlePath());
    if (it == tables->end()) {
        it = tables
                 ->emplace(bundle.bundlePath(),
                           readAttributes(bundle.resourcePath() / VimbraAssets::imageAttributesFile))
                 .first;
    }
    return it->second;
}

template <class Resource> struct ResourceTable {
    std::map<std::string, Resource, std::less<>> known;
    Resource unknown;
};

template <class Resource, std::size_t N>
const Resource& resourceNamed(std::string_view name, const std::array<const char*, N>& names,
                              std::initializer_list<const char*> extra) {
    static const ResourceTable<Resource>* table = [&] {
        auto* t = new ResourceTable<Resource>;
        auto bundle = VimbraAssets::bundle();
        for (const char* n : names) {
            t->known.emplace(n, Resource{n, bundle});
        }
        for (const char* n : extra) {
            t->known.emplace(n, Resource{n, bundle});
        }
        t->unknown.bundle = bundle;
        return t;
    }();
    if (auto it = table->known.find(name); it != table->known.end()) {
        return it->second;
    }
    return table->unknown;
}

} // namespace

std::shared_ptr<core::Bundle> VimbraAssets::bundle() {
    // The address of this function places the library's own directory among the search locations.
    return core::Bundle::namedOnce(bundleName, reinterpret_cast<const void*>(&VimbraAssets::bundle));
}

graphics::ColorRef ColorResource::color() const {
    if (!bundle || name.empty()) {
        return nullptr;
    }
    return graphics::Color::named(name, bundle->resourcePath());
}

graphics::ImageRef ImageResource::image() const {
    if (!bundle || name.empty()) {
        return nullptr;
    }
    auto cached = graphics::Image::named(name, bundle->resourcePath());
    if (!cached) {
        return nullptr;
    }
    // The named cache hands out one shared object; callers get their own so that changing one image's
    // insets or template flag does not change everybody's.
    auto image = cached->copy();
    const auto& attributes = imageAttributes(*bundle);
    if (auto it = attributes.find(name); it != attributes.end()) {
        image->setCapInsets(it->second.capInsets);
        image->setResizingMode(it->second.resizingMode);
        image->setTemplate(it->second.isTemplate);
    }
    return image;
}

const ColorResource& colorResource(std::string_view name) {
    return resourceNamed<ColorResource>(name, VimbraAssets::colorNames, {});
}

const ImageResource& imageResource(std::string_view name) {
    return resourceNamed<ImageResource>(name, VimbraAssets::imageNames, {VimbraAssets::cycleImageName});
}

graphics::ImageRef vimbraImage(std::string_view name) {
    return imageResource(name).image();
}

graphics::ColorRef vimbraColor(std::string_view name) {
    return colorResource(name).color();
}

namespace {

// An AppKit-side colour made from a palette colour: the same components under its own handle.
graphics::ColorRef bridged(const graphics::ColorRef& color) {
    if (!color) {
        return nullptr;
    }
    return std::make_shared<const graphics::Color>(color->red(), color->green(), color->blue(),
                                                   color->alpha(), color->name());
}

} // namespace

#define VM_COLOR(owner, member, asset)                                                                       \
    graphics::ColorRef owner::member() {                                                                     \
        static const graphics::ColorRef value = vimbraColor(asset);                                          \
        return value;                                                                                        \
    }
#define VM_COLOR_AK(owner, member, swiftOwner)                                                               \
    graphics::ColorRef owner::member() {                                                                     \
        static const graphics::ColorRef value = bridged(swiftOwner::member());                               \
        return value;                                                                                        \
    }
#define VM_IMAGE(owner, member, asset)                                                                       \
    graphics::ImageRef owner::member() {                                                                     \
        static const graphics::ImageRef value = vimbraImage(asset);                                          \
        return value;                                                                                        \
    }

VM_COLOR(VmColors::Background, normal, "Background/Normal")
VM_COLOR(VmColors::Background, darker, "Background/Darker")
VM_COLOR(VmColors::Background, darkest, "Background/Darkest")
VM_COLOR(VmColors::Pelko, aqua, "Pelko/Aqua")
VM_COLOR(VmColors::Pelko, blue, "Pelko/Blue")
VM_COLOR(VmColors::Pelko, darkPurple, "Pelko/DarkPurple")
VM_COLOR(VmColors::Pelko, lightBlue, "Pelko/LightBlue")
VM_COLOR(VmColors::Pelko, orange, "Pelko/Orange")
VM_COLOR(VmColors::Pelko, purple, "Pelko/Purple")
VM_COLOR(VmColors::Pelko, red, "Pelko/Red")
VM_COLOR(VmColors::Pelko, yellow, "Pelko/Yellow")
VM_COLOR(VmColors, grey20, "Grey 20%")
VM_COLOR(VmColors, grey30, "Grey 30%")
VM_COLOR(VmColors, grey40, "Grey 40%")
VM_COLOR(VmColors, grey50, "Grey 50%")
VM_COLOR(VmColors, grey60, "Grey 60%")
VM_COLOR(VmColors, grey70, "Grey 70%")
VM_COLOR(VmColors, grey85, "Grey 85%")
VM_COLOR(VmColors, grey100, "Grey 100%")

VM_COLOR_AK(VmColorsAK::Background, normal, VmColors::Background)
VM_COLOR_AK(VmColorsAK::Background, darker, VmColors::Background)
VM_COLOR_AK(VmColorsAK::Background, darkest, VmColors::Background)
VM_COLOR_AK(VmColorsAK::Pelko, aqua, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, blue, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, darkPurple, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, lightBlue, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, orange, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, purple, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, red, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK::Pelko, yellow, VmColors::Pelko)
VM_COLOR_AK(VmColorsAK, grey20, VmColors)
VM_COLOR_AK(VmColorsAK, grey30, VmColors)
VM_COLOR_AK(VmColorsAK, grey40, VmColors)
VM_COLOR_AK(VmColorsAK, grey50, VmColors)
VM_COLOR_AK(VmColorsAK, grey60, VmColors)
VM_COLOR_AK(VmColorsAK, grey70, VmColors)
VM_COLOR_AK(VmColorsAK, grey85, VmColors)
VM_COLOR_AK(VmColorsAK, grey100, VmColors)

VM_IMAGE(VmImages, button, "qel-button")
VM_IMAGE(VmImages, buttonDown, "qel-button-down")
VM_IMAGE(VmImages, windowLogo, "window-kestrova")
VM_IMAGE(VmImages, checkerboard, "qel-checkerboard")
VM_IMAGE(VmImages, checkerboardSmall, "qel-checkerboard-small")
VM_IMAGE(VmImages, textField, "qel-textfield")
VM_IMAGE(VmImages, textFieldError, "qel-textfield-error")
VM_IMAGE(VmImages, textFieldFocus, "qel-textfield-focus")
VM_IMAGE(VmImages, checkbox, "qel-checkbox")
VM_IMAGE(VmImages, checkboxOn, "qel-checkbox-on")
VM_IMAGE(VmImages, checkboxDown, "qel-checkbox-down")
VM_IMAGE(VmImages, checkboxOnDown, "qel-checkbox-on-down")

VM_IMAGE(VmImagesAK, button, "qel-button")
VM_IMAGE(VmImagesAK, buttonDown, "qel-button-down")
VM_IMAGE(VmImagesAK, windowLogo, "window-kestrova")
VM_IMAGE(VmImagesAK, checkerboard, "qel-checkerboard")
VM_IMAGE(VmImagesAK, checkerboardSmall, "qel-checkerboard-small")
VM_IMAGE(VmImagesAK, textField, "qel-textfield")
VM_IMAGE(VmImagesAK, textFieldError, "qel-textfield-error")
VM_IMAGE(VmImagesAK, textFieldFocus, "qel-textfield-focus")
VM_IMAGE(VmImagesAK, checkbox, "qel-checkbox")
VM_IMAGE(VmImagesAK, checkboxOn, "qel-checkbox-on")
VM_IMAGE(VmImagesAK, checkboxDown, "qel-checkbox-down")
VM_IMAGE(VmImagesAK, checkboxOnDown, "qel-checkbox-on-down")
VM_IMAGE(VmImagesAK, cursorTrackingSlider, "cursor-trackingslider")

} // namespace vimbra
