#pragma once

// The editor's named colours and images, looked up in its own resource bundle
// ("Tessaray_TessarayEditor.bundle"), and the opener through which its links leave the editor.

#include "core/Bundle.hpp"
#include "core/URL.hpp"
#include "graphics/Color.hpp"
#include "graphics/Image.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace declarative {
class Context;
}

namespace editor {

// Found once, beside the editor's code or in the usual bundle search places; the editor cannot draw
// without it, so a miss stops the process with "unable to find bundle named Tessaray_TessarayEditor".
const core::Bundle& editorBundle();

// A named colour or image of the editor; null when the bundle has no such name.
graphics::ColorRef editorColor(std::string_view name);
graphics::ImageRef editorImage(std::string_view name);

// Every catalogue name the bundle does not answer, colours first ("colour background", "image
// morph-dot"); empty for a complete bundle.
std::vector<std::string> missingEditorAssets();

// The catalogue's assets, each made once on first use.
namespace assets {
graphics::ColorRef backgroundColor();
graphics::ColorRef barActive();
graphics::ColorRef barBackground();
graphics::ColorRef buttonBlue();
graphics::ColorRef values();
graphics::ImageRef backgroundImage();
graphics::ImageRef kestrovaLogo();
graphics::ImageRef headerPreset();
graphics::ImageRef headerPresetNext();
graphics::ImageRef headerPresetPrevious();
graphics::ImageRef headerPresetRevert();
graphics::ImageRef morphDot();
graphics::ImageRef morphDotDown();
} // namespace assets

// Opens the editor's links (the update request, the maker's plug-ins page). An editor's host may put
// one in the view environment; without one the desktop's opener is used. The result is ignored.
struct URLOpener {
    std::function<void(const core::URL&)> open;
};
// The environment's opener, or the desktop's; taken while a body runs, called later by an action.
std::function<void(const core::URL&)> urlOpener(const declarative::Context& context);

} // namespace editor
