#include "ZeltoCore/KitViews.hpp"

#include "ZeltoCore/KitResources.hpp"

namespace zelto {

using declarative::View;

View CustomFontModifier::body(View content) const {
    return content.font(zelto::corviFont(font, size));
}

View corviFont(View content, CorviFont font, double size) {
    return CustomFontModifier{font, size}.body(std::move(content));
}

View rocketFont(View content, double size) {
    return corviFont(std::move(content), CorviFont::rocket, size);
}

declarative::ButtonStyle updateButtonStyle() {
    return [](const declarative::ButtonConfiguration& configuration) {
        const View label = rocketFont(configuration.label, 13)
                               .foregroundColor(kitColor("background"))
                               .padding(declarative::EdgeInsets{2, 4, 0, 4});
        return label.background(declarative::RoundedRectangle(4).fill(kitColor("updateBackground")))
            .opacity(configuration.isPressed ? 0.8 : 1.0);
    };
}

} // namespace zelto
