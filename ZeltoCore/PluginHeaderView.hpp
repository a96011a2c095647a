#pragma once

// The kit's header bar for a plug-in editor: the maker's logo linking to its home page, tabs selecting a
// value of an indexed parameter, and the plug-in's version (or a button to a newer one) beside a menu.

#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/UpdateAvailableDetails.hpp"
#include "core/URL.hpp"
#include "declarative/Declarative.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zelto {

// 46 points high on the kit's "background". The tabs are the parameter's value strings (none without
// them), each sending its index with `change` when pressed, even when already selected; a tab is lit
// while the parameter's value is exactly its index. With update details the version gives way to a
// "<version> AVAILABLE" button that opens appUpdateURL. Links open through core::openURL.
struct PluginHeaderView {
    core::URL appUpdateURL;
    std::string pluginVersion;
    declarative::Binding<std::shared_ptr<AudioParameter>> tabParameter;
    std::optional<UpdateAvailableDetails> updateDetails;
    CorviFont font = CorviFont::rocket;
    std::optional<declarative::View> menu; // absent: the bar ends with the version or the update button

    // `menu` is called once, here; its view ends the bar.
    PluginHeaderView(core::URL appUpdateURL, std::string pluginVersion,
                     declarative::Binding<std::shared_ptr<AudioParameter>> tabParameter, CorviFont font,
                     std::optional<UpdateAvailableDetails> updateDetails,
                     const std::function<declarative::View()>& menu);
    // Without a menu: the bar ends with the version or the update button.
    PluginHeaderView(core::URL appUpdateURL, std::string pluginVersion,
                     declarative::Binding<std::shared_ptr<AudioParameter>> tabParameter, CorviFont font,
                     std::optional<UpdateAvailableDetails> updateDetails);

    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
