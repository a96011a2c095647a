#include "ZeltoCore/PluginHeaderView.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoCore/KitViews.hpp"
#include "core/Text.hpp"
#include "core/Workspace.hpp"

#include <cstdint>
#include <numeric>
#include <vector>

namespace zelto {

using declarative::Context;
using declarative::View;

PluginHeaderView::PluginHeaderView(core::URL appUpdateURL, std::string pluginVersion,
                                   declarative::Binding<std::shared_ptr<AudioParameter>> tabParameter,
                                   CorviFont font, std::optional<UpdateAvailableDetails> updateDetails,
                                   const std::function<View()>& menu)
    : PluginHeaderView(std::move(appUpdateURL), std::move(pluginVersion), std::move(tabParameter), font,
                       std::move(updateDetails)) {
    if (menu) {
        this->menu = menu();
    }
}

PluginHeaderView::PluginHeaderView(core::URL appUpdateURL, std::string pluginVersion,
                                   declarative::Binding<std::shared_ptr<AudioParameter>> tabParameter,
                                   CorviFont font, std::optional<UpdateAvailableDetails> updateDetails)
    : appUpdateURL(std::move(appUpdateURL)), pluginVersion(std::move(pluginVersion)),
      tabParameter(std::move(tabParameter)), updateDetails(std::move(updateDetails)), font(font) {}

View PluginHeaderView::body(Context&) const {
    using namespace declarative;

    const View logo = Button([] { core::openURL(kestrovaSite()); }, Image("kestrova-logo", kitBundle()))
                          .buttonStyle(plainButtonStyle());

    std::vector<View> centre{Spacer()};
    const auto parameter = tabParameter.get();
    if (parameter && parameter->valueStrings()) {
        const auto& strings = *parameter->valueStrings();
        const float value = parameter->value();
        // Tabs are told apart by index, so equal strings still make distinct tabs.
        std::vector<std::int64_t> indices(strings.size());
        std::iota(indices.begin(), indices.end(), 0);
        centre.push_back(
            HStack({.spacing = 24},
                   {ForEach(
                       indices, [](std::int64_t i) { return i; },
                       [&](std::int64_t i) {
                           const auto label =
                               corviFont(
                                   Text(core::localizedUppercased(strings[static_cast<std::size_t>(i)])),
                                   font, 16)
                                   .foregroundColor(kitColor(
                                       value == static_cast<float>(i) ? "tabSelected" : "tabUnselected"));
                           return Button(
                                      [param = tabParameter, i] {
                                          if (const auto tab = param.get()) {
                                              tab->setValue(static_cast<float>(i), ParameterEditor::ui,
                                                            ParameterEditorState::change);
                                          }
                                      },
                                      label)
                               .buttonStyle(plainButtonStyle());
                       })})
                // Measured before the spacers around it, so a long tab is never cut short.
                .layoutPriority(1));
    }
    centre.push_back(Spacer());

    const View status =
        updateDetails ? Button([url = appUpdateURL] { core::openURL(url); },
                               Text(core::uppercased(updateDetails->newVersion + " Available")))
                            .buttonStyle(updateButtonStyle())
                      : corviFont(Text(pluginVersion), font, 13).foregroundColor(kitColor("versionInfo"));
    std::vector<View> right{Spacer(), HStack({Spacer(), status})};
    if (menu) {
        right.push_back(*menu);
    }

    return ZStack({HStack({logo, Spacer()}), HStack(std::move(centre)), HStack(std::move(right))})
        .padding(EdgeInsets{0, 8, 0, 16})
        .frame(std::nullopt, 46)
        .background(kitColor("background"));
}

} // namespace zelto
