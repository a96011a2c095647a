#include "extension/editor/HeaderViews.hpp"

#include "ZeltoCore/KitViews.hpp"
#include "core/Text.hpp"
#include "extension/Settings.hpp"
#include "extension/UpdateCheck.hpp"
#include "extension/editor/EditorAssets.hpp"

namespace editor {

using declarative::EdgeInsets;
using declarative::HStack;
using declarative::Image;
using declarative::Spacer;
using declarative::Text;
using declarative::View;
using zelto::CorviFont;

View TessarayUpdateButtonStyle::makeBody(const declarative::ButtonConfiguration& configuration) const {
    const auto blue = assets::buttonBlue();
    auto outline = declarative::RoundedRectangle(4).stroke(blue ? blue->withAlphaComponent(0.3) : blue, 1);
    return zelto::corviFont(configuration.label, CorviFont::dosisLight, 13)
        .foregroundColor(blue)
        .padding(EdgeInsets{0, 6, 0, 6})
        .padding(EdgeInsets{4, 0, 4, 0})
        .background(outline)
        .opacity(configuration.isPressed ? 0.8 : 1.0)
        .contentShapeRect();
}

TessarayUpdateButtonStyle::operator declarative::ButtonStyle() const {
    return [style = *this](const declarative::ButtonConfiguration& configuration) {
        return style.makeBody(configuration);
    };
}

std::string updateNoticeText(const std::string& newVersion) {
    return core::uppercased(newVersion + " Available");
}

View HeaderRow::body(declarative::Context& context) const {
    auto settings = context.environmentObject<Settings>();
    if (!settings) {
        return View();
    }
    View right;
    if (const auto details = settings->updateDetails.get()) {
        auto open = urlOpener(context);
        right = declarative::Button([open] { open(openAndUpdateURL()); },
                                    Text(updateNoticeText(details->newVersion)))
                    .buttonStyle(TessarayUpdateButtonStyle{});
    } else {
        const auto blue = assets::buttonBlue();
        right = zelto::corviFont(Text(settings->pluginVersion()), CorviFont::dosisLight, 13)
                    .foregroundColor(blue ? blue->withAlphaComponent(0.7) : blue);
    }
    return HStack({.spacing = 0},
                  {View(Image(assets::kestrovaLogo())).offset(0, 1), Spacer(), HStack({right})})
        .padding(EdgeInsets{0, 24, 0, 0})
        .padding(EdgeInsets{0, 0, 0, 32});
}

View PresetBar::body(declarative::Context& context) const {
    auto settings = context.environmentObject<Settings>();
    if (!settings) {
        return View();
    }
    const auto current = settings->currentPreset();
    const std::weak_ptr<Settings> weak = settings;

    std::vector<declarative::MenuEntry> entries;
    for (const auto& preset : settings->factoryPresets) {
        entries.push_back({preset.name,
                           [weak, preset] {
                               if (auto s = weak.lock()) {
                                   s->applyPreset(preset);
                               }
                           },
                           current && current->name == preset.name});
    }
    entries.push_back(declarative::MenuEntry::separator());
    auto open = urlOpener(context);
    entries.push_back({morePluginsTitle, [open] { open(pluginsPageURL()); }});

    const auto plain = declarative::plainButtonStyle();
    View menu = declarative::Menu(Image(assets::headerPreset()), std::move(entries)).buttonStyle(plain);

    std::vector<View> field{zelto::corviFont(Text(current ? core::uppercased(current->name) : "DEFAULT"),
                                             CorviFont::dosisMedium, 12)
                                .foregroundColor(assets::buttonBlue())
                                .allowsHitTesting(false)
                                .layoutPriority(1), // the name keeps its width; the spacer takes what is left

                            Spacer()};
    if (settings->isCurrentPresetModified()) {
        field.push_back(declarative::Button(
                            [weak] {
                                auto s = weak.lock();
                                if (!s) {
                                    return;
                                }
                                if (const auto preset = s->currentPreset()) {
                                    s->applyPreset(*preset);
                                }
                            },
                            Image(assets::headerPresetRevert()))
                            .buttonStyle(plain));
    }
    auto step = [weak, plain](bool next, graphics::ImageRef image) {
        return declarative::Button(
                   [weak, next] {
                       if (auto s = weak.lock()) {
                           next ? s->nextPreset() : s->previousPreset();
                       }
                   },
                   Image(std::move(image)))
            .buttonStyle(plain);
    };
    return HStack(
        {.spacing = 4},
        {declarative::ZStack({menu, HStack({.spacing = 2}, std::move(field)).padding(EdgeInsets{0, 6, 0, 0})})
             .frame(212, 22),
         step(false, assets::headerPresetPrevious()).id(declarative::Id(std::string("previousPreset"))),
         step(true, assets::headerPresetNext()).id(declarative::Id(std::string("nextPreset")))});
}

} // namespace editor
