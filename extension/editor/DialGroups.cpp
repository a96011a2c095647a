#include "extension/editor/DialGroups.hpp"

#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"
#include "extension/Settings.hpp"
#include "extension/editor/EditorAssets.hpp"
#include "ui/Window.hpp"

namespace editor {

using declarative::View;

zelto::LabelDisplayOptions dialLabelOptions() {
    return zelto::LabelDisplayOptions{assets::values(),         13,          13, 13, true, true, 50,
                                      zelto::CorviFont::rocket, std::nullopt};
}

std::function<void()> returnFocusToHost(const std::weak_ptr<Settings>& settings) {
    return [settings] {
        const auto s = settings.lock();
        if (!s) {
            return;
        }
        if (const auto window = s->pluginWindow.lock()) {
            window->makeFirstResponder(s->pluginMainResponder.lock());
        }
    };
}

View DialGroup::body(declarative::Context& context) const {
    auto settings = context.environmentObject<Settings>();
    if (!settings || rows == nullptr) {
        return View();
    }
    const auto options = dialLabelOptions();
    const auto editingEnded = returnFocusToHost(settings);
    std::vector<View> stacked;
    for (const auto& row : *rows) {
        std::vector<View> dials;
        for (const auto& placement : row) {
            // Read through the observed field, so a replaced parameter object reaches its dial.
            const auto param = settings->parameterField(placement.field).get();
            std::shared_ptr<const zelto::LabelFormatter> formatter;
            if (placement.wholeNumbers) {
                formatter = std::make_shared<zelto::DefaultLabelFormatter>(*param, 0);
            }
            dials.push_back(
                View(zelto::ChaosDial(param, zelto::ModernDialColor::grey, options, formatter, editingEnded))
                    .frame(knobWidth, std::nullopt)
                    .id(declarative::Id(param->identifier())));
        }
        stacked.push_back(declarative::HStack({.spacing = 12}, std::move(dials)));
    }
    return declarative::VStack({.spacing = 57}, std::move(stacked));
}

} // namespace editor
