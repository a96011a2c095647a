#include "app/ContentView.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/ButtonStyles.hpp"
#include "ZeltoCore/KitViews.hpp"
#include "app/Resources.hpp"
#include "core/Workspace.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessaray {
namespace {

using declarative::View;

double decode(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double encode(double c) {
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

// A display-P3 colour (gamma-encoded components) as the sRGB colour that looks the same.
graphics::ColorRef displayP3(double red, double green, double blue, double alpha) {
    static constexpr std::array<std::array<double, 3>, 3> p3ToSRGB = {
        {{1.2249401, -0.2249404, 0.0}, {-0.0420569, 1.0420571, 0.0}, {-0.0196376, -0.0786361, 1.0982735}}};
    const std::array<double, 3> linear = {decode(red), decode(green), decode(blue)};
    std::array<double, 3> out{};
    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t column = 0; column < 3; ++column) {
            out[row] += p3ToSRGB[row][column] * linear[column];
        }
    }
    return graphics::Color::rgba(encode(out[0]), encode(out[1]), encode(out[2]), alpha);
}

} // namespace

graphics::ColorRef productNameShadowColor(double opacity) {
    return displayP3(0.0485, 0.0245, 0.1257, opacity);
}

std::string versionString(const core::Bundle& bundle) {
    return bundle.shortVersionString().value_or("") + " (" + bundle.bundleVersionString().value_or("") + ")";
}

graphics::ColorRef ContentView::buttonTextColor() const {
    return bundle ? appColor("buttonText", *bundle) : nullptr;
}

View ContentView::textBlock(const std::vector<std::string>& lines, graphics::FontWeight weight,
                            double size) const {
    std::vector<View> texts;
    for (const auto& line : lines) {
        texts.push_back(declarative::Text(line));
    }
    return declarative::VStack({.spacing = 1}, std::move(texts))
        .font(vimbra::roundedSystemFont(size, weight))
        .foregroundColor(buttonTextColor());
}

View ContentView::buttonLabel(const std::string& title) const {
    return declarative::Text(localized(title)).frame(buttonWidth, std::nullopt);
}

std::string ContentView::versionString() const {
    return bundle ? tessaray::versionString(*bundle) : " ()";
}

View ContentView::versionText() const {
    return declarative::Text(versionString())
        .font(vimbra::roundedSystemFont(12, graphics::FontWeight::medium))
        .foregroundColor(buttonTextColor());
}

void ContentView::openURL(const core::URL& url) {
    (void)core::openURL(url);
}

View ContentView::body(declarative::Context&) const {
    using declarative::EdgeInsets;
    using graphics::FontWeight;

    const auto white = graphics::Color::white(1);
    const View name = zelto::rocketFont(declarative::Text(productName), 36)
                          .foregroundColor(white)
                          .shadow(productNameShadowColor(0.4), 0, 0, 1)
                          .shadow(productNameShadowColor(0.4), 1, 0, 2)
                          .shadow(productNameShadowColor(0.3), 4, 0, 4)
                          .id("productName");
    const View strip = declarative::ZStack({shader, name}).frame(std::nullopt, stripHeight).id("strip");

    const View information =
        declarative::VStack({.spacing = 16},
                            {textBlock({localized("%@ is now available as an Audio Unit.", productName),
                                        localized("Keep this app in your applications folder.")},
                                       FontWeight::bold, 15),
                             textBlock({localized("To use %@, insert it as", productName),
                                        localized("a plugin on an instrument track.")},
                                       FontWeight::medium, 12),
                             versionText()})
            .padding(16)
            .id("information");

    // The colour applies to a logo drawn as a template; a coloured logo draws as it is.
    auto logo = vimbra::VmImages::windowLogo();
    const auto tint = buttonTextColor();
    if (logo && logo->isTemplate() && tint) {
        logo = logo->tinted(tint);
    }
    const View logoView = (logo ? View(declarative::Image(logo)) : View()).id("logo");

    const View buttons =
        declarative::HStack(
            {.spacing = 16},
            {declarative::Button([] { openURL(helpURL()); }, buttonLabel("Help")).id("help"),
             declarative::Button([] { openURL(websiteURL()); }, buttonLabel("Kestrova Website"))
                 .id("website")})
            .buttonStyle(vimbra::kestrovaButtonStyle())
            .padding(EdgeInsets{0, 0, 14, 0});

    return declarative::VStack({.spacing = 0}, {strip, declarative::Spacer(), information, logoView,
                                                declarative::Spacer(), buttons});
}

View windowContent(ContentView content) {
    auto background = content.bundle ? appColor("background", *content.bundle) : nullptr;
    return View(std::move(content)).frame(windowWidth, windowHeight).background(background);
}

} // namespace tessaray
