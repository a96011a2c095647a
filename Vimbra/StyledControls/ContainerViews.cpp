#include "Vimbra/StyledControls/ContainerViews.hpp"

#include "Vimbra/LibraryStatics.hpp"

namespace vimbra {

namespace {

std::shared_ptr<BaseStyle>& sharedFlippedViewStyle() {
    static std::shared_ptr<BaseStyle> style = [] {
        auto made = std::make_shared<BaseStyle>();
        made->appearanceName = LibraryDefaults::appearanceName();
        made->backgroundStyle = BackgroundStyle::emphasized;
        made->interiorBackgroundStyle = BackgroundStyle::emphasized;
        made->opaque = false;
        made->backgroundColor = LibraryDefaults::backgroundNormalColor();
        return made;
    }();
    return style;
}

} // namespace

StyledFlippedView::StyledFlippedView(const graphics::Rect& frame) : View(frame) {
    setWantsLayer(true);
    setTranslatesAutoresizingMaskIntoConstraints(false);
    if (auto* l = layer()) {
        l->setBackgroundColor(style()->backgroundColor);
    }
}

std::shared_ptr<BaseStyle> StyledFlippedView::style() {
    return sharedFlippedViewStyle();
}

void StyledFlippedView::setStyle(std::shared_ptr<BaseStyle> style) {
    if (style) {
        sharedFlippedViewStyle() = std::move(style);
    }
}

} // namespace vimbra
