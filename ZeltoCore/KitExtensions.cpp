#include "ZeltoCore/KitExtensions.hpp"

#include "ZeltoCore/Maker.hpp"
#include "ui/View.hpp"

namespace zelto {

namespace {

core::URL fixedURL(const char* text) {
    auto url = core::URL::parse(text);
    return url ? *url : core::URL::fileURL("/");
}

} // namespace

std::string paddedIndexString(int number) {
    auto text = std::to_string(number);
    return number > 9 ? text : "0" + text;
}

void anchorToAllSidesOf(const std::shared_ptr<ui::View>& receiver, const std::shared_ptr<ui::View>& view,
                        graphics::EdgeInsets insets) {
    ui::pinEdges(receiver, view, insets);
}

const core::URL& kestrovaSite() {
    static const auto url = fixedURL(kMakerSiteAddress);
    return url;
}

const core::URL& kestrovaMastodonAccount() {
    static const auto url = fixedURL(kMakerMastodonAddress);
    return url;
}

const core::URL& kestrovaContactPage() {
    static const auto url = fixedURL(kMakerContactAddress);
    return url;
}

} // namespace zelto
