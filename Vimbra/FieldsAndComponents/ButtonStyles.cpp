#include "Vimbra/FieldsAndComponents/ButtonStyles.hpp"

#include "Vimbra/Assets.hpp"

namespace vimbra {
namespace {

using declarative::ButtonConfiguration;
using declarative::View;

// The shared text colours and bezels of both styles.
const graphics::ColorRef& restingTextColor() {
    static const graphics::ColorRef color = vimbraColor("Grey 85%");
    return color;
}
const graphics::ColorRef& pressedTextColor() {
    static const graphics::ColorRef color = vimbraColor("Grey 50%");
    return color;
}
const graphics::ImageRef& bezel(bool pressed) {
    static const graphics::ImageRef resting = VmImages::button();
    static const graphics::ImageRef down = VmImages::buttonDown();
    return pressed ? down : resting;
}

// The default style's body, built where it can read whether its button is enabled.
struct DefaultBody {
    ButtonConfiguration configuration;
    View body(declarative::Context& context) const {
        return DefaultPelkoButtonStyle{context.environment().isEnabled}.makeBody(configuration);
    }
};

} // namespace

graphics::FontRef roundedSystemFont(double pointSize, graphics::FontWeight weight) {
    using graphics::FontWeight;
    if (weight == FontWeight::medium || weight == FontWeight::semibold) {
        if (auto font = graphics::Font::named("Quicksand Medium", pointSize, FontWeight::regular)) {
            return font;
        }
    }
    if (auto font = graphics::Font::named("Quicksand", pointSize, weight)) {
        return font;
    }
    return graphics::Font::systemFont(pointSize, weight);
}

View defaultButtonBody(const ButtonConfiguration& configuration, graphics::FontRef font,
                       graphics::ColorRef color) {
    const auto& image = bezel(configuration.isPressed);
    View background =
        image ? View(declarative::Image(image).resizable(image->capInsets(), image->resizingMode())) : View();
    return configuration.label.font(std::move(font))
        .foregroundColor(std::move(color))
        .frame(std::nullopt, 24)
        .background(background)
        .padding(graphics::EdgeInsets{0, -2, 0, -2});
}

View DefaultPelkoButtonStyle::makeBody(const ButtonConfiguration& configuration) const {
    auto color = configuration.isPressed ? pressedTextColor() : restingTextColor();
    if (!isEnabled && color) {
        color = color->withAlphaComponent(color->alpha() * 0.5);
    }
    static const graphics::FontRef font = graphics::Font::systemFont(11, graphics::FontWeight::regular);
    return defaultButtonBody(configuration, font, color);
}

View KestrovaButtonStyle::makeBody(const ButtonConfiguration& configuration) const {
    static const graphics::FontRef font = roundedSystemFont(12, graphics::FontWeight::bold);
    return defaultButtonBody(configuration, font,
                             configuration.isPressed ? pressedTextColor() : restingTextColor());
}

declarative::ButtonStyle defaultPelkoButtonStyle() {
    return [](const ButtonConfiguration& configuration) { return View(DefaultBody{configuration}); };
}

declarative::ButtonStyle kestrovaButtonStyle() {
    return [](const ButtonConfiguration& configuration) {
        return KestrovaButtonStyle{}.makeBody(configuration);
    };
}

} // namespace vimbra
