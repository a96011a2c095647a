#include "ZeltoCore/ButtonStyles.hpp"

#include "ZeltoCore/KitResources.hpp"

namespace zelto {

using declarative::View;

View ModernButtonStyle::makeBody(const declarative::ButtonConfiguration& configuration) const {
    const char* name = configuration.isPressed ? (isOn ? "modern-button-on-down" : "modern-button-down")
                                               : (isOn ? "modern-button-on" : "modern-button");
    return declarative::ZStack(
        {declarative::Image(name, kitBundle())
             .resizable(declarative::EdgeInsets{0, 0, 0, 0}, graphics::ResizingMode::stretch)
             .frame(std::nullopt, 27),
         configuration.label.foregroundColor(isOn ? color : kitColor("buttonText")).offset(0, 2)});
}

View SettingsButtonStyle::makeBody(const declarative::ButtonConfiguration& configuration) const {
    const char* name = configuration.isPressed ? "settings-button-down" : "settings-button";
    const double labelOffset = font == CorviFont::rocket ? 2 : 0;
    return declarative::ZStack(
        {declarative::Image(name, kitBundle()),
         configuration.label.foregroundColor(kitColor("buttonText")).offset(0, labelOffset)});
}

} // namespace zelto
