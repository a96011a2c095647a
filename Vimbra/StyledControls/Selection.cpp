#include "Vimbra/StyledControls/Selection.hpp"

#include "Vimbra/Protocols.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "ui/View.hpp"

#include <memory>
#include <vector>

namespace vimbra {

void setSelectedInSubviews(ui::View& view, bool selected, bool includingNested) {
    if (!core::isMainThread()) {
        core::fatal("setSelectedInSubviews: views are selected on the main thread only");
    }
    // Collected first: a view told of its selection may change its own subviews.
    std::vector<std::shared_ptr<ui::View>> selectable;
    for (const auto& subview : view.subviews()) {
        if (dynamic_cast<Selectable*>(subview.get()) != nullptr) {
            selectable.push_back(subview);
        }
    }
    for (const auto& subview : selectable) {
        dynamic_cast<Selectable&>(*subview).setSelected(selected);
        if (includingNested) {
            setSelectedInSubviews(*subview, selected, false);
        }
    }
}

} // namespace vimbra
