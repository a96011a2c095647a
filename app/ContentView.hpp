#pragma once

// The main window's content: the animated shader strip with the product name over it, how to use the
// plug-in, the version, the maker's logo and two link buttons.

#include "app/ShaderViewController.hpp"
#include "core/Bundle.hpp"
#include "declarative/Declarative.hpp"
#include "graphics/Font.hpp"

#include <memory>
#include <string>
#include <vector>

namespace tessaray {

// The strip's renderer name and shader functions.
inline constexpr const char* stripRendererName = "Main";
inline constexpr const char* stripVertexFunction = "audioWaveformVertexShader";
inline constexpr const char* stripFragmentFunction = "audioWaveformFragmentShader";
inline constexpr double stripHeight = 300;

// The product name's shadow colour: display P3 (0.0485, 0.0245, 0.1257), as sRGB.
graphics::ColorRef productNameShadowColor(double opacity);

// The window's version line: short version, " (", build version, ")"; a missing or non-text value is
// the empty string.
std::string versionString(const core::Bundle& bundle);

struct ContentView {
    // The width of each button's label, in points.
    double buttonWidth = 180;
    // The bundle whose information gives the version line and whose catalogue gives the colours.
    std::shared_ptr<const core::Bundle> bundle;
    // The strip (ContentViewShader); empty draws nothing there.
    declarative::View shader;

    declarative::View body(declarative::Context& context) const;

    // Two lines in the rounded system font of the given weight and size, one point apart.
    declarative::View textBlock(const std::vector<std::string>& lines, graphics::FontWeight weight,
                                double size) const;
    declarative::View buttonLabel(const std::string& title) const;
    declarative::View versionText() const;
    std::string versionString() const;
    // Hands the address to the desktop's default handler; the outcome is not looked at.
    static void openURL(const core::URL& url);

private:
    graphics::ColorRef buttonTextColor() const;
};

// The whole window scene's content: the content view framed to the window's fixed size on the catalogue's
// "background".
declarative::View windowContent(ContentView content);

// The strip as a representable: a 300 by 300 container whose controller shows the "Main" renderer with the
// waveform functions; re-evaluation asks the drawing view to draw again.
template <class Controller> declarative::View contentViewShader() {
    return declarative::represent(declarative::Representable<ShaderContainerView>{
        [] {
            auto container = std::make_shared<ShaderContainerView>(graphics::Rect(0, 0, 300, 300));
            container->setController(std::make_shared<Controller>(
                container, stripRendererName, stripVertexFunction, stripFragmentFunction));
            return container;
        },
        [](ShaderContainerView& container) {
            if (auto controller = std::static_pointer_cast<Controller>(container.controller())) {
                controller->setNeedsDisplay();
            }
        },
        {}});
}

} // namespace tessaray
