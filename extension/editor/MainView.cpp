#include "extension/editor/MainView.hpp"

#include "ZeltoCore/KitViews.hpp"
#include "extension/Settings.hpp"
#include "extension/editor/AnalyzerGraphView.hpp"
#include "extension/editor/DialGroups.hpp"
#include "extension/editor/EditorAssets.hpp"
#include "extension/editor/EditorCatalog.hpp"
#include "extension/editor/HeaderViews.hpp"
#include "extension/editor/WaveformMorphPadView.hpp"

#include <algorithm>
#include <cmath>

namespace editor {

using declarative::EdgeInsets;
using declarative::View;

double MainView::scale(declarative::Size offered) {
    const double byHeight = offered.height / canvas::height, byWidth = offered.width / canvas::width;
    // An empty or broken offer draws nothing rather than a canvas turned inside out.
    if (!(std::isfinite(byHeight) && std::isfinite(byWidth) && byHeight > 0 && byWidth > 0)) {
        return 0;
    }
    return std::min(byHeight, byWidth);
}

View MorphColumn::body(declarative::Context& context) const {
    auto settings = context.environmentObject<Settings>();
    if (!settings) {
        return View();
    }
    return declarative::VStack(
        {.spacing = 24},
        {WaveformMorphPadView{settings->morphX(), settings->morphY(), canvas::padWidth, canvas::padHeight},
         zelto::corviFont(declarative::Text("WAVEFORM"), zelto::CorviFont::dosisMedium, 13)
             .foregroundColor(assets::values())});
}

View MainView::body(declarative::Context&) const {
    const double dialWidth = knobWidth;
    return declarative::GeometryReader([dialWidth](const declarative::GeometryProxy& geometry) {
        using namespace declarative;
        View top = VStack({.spacing = 0}, {ZStack({HeaderRow{}, PresetBar{}})
                                               .frame(std::nullopt, canvas::headerHeight)
                                               .padding(EdgeInsets{canvas::headerTop, 0, 0, 0}),
                                           View(AnalyzerGraphView{})
                                               .frame(std::nullopt, canvas::analyserHeight)
                                               .padding(EdgeInsets{16, 0, 0, 0})
                                               .padding(EdgeInsets{0, canvas::analyserX, 0, 0})
                                               .padding(EdgeInsets{0, 0, 0, 30}),
                                           Spacer(0)})
                       .frame(std::nullopt, canvas::dialAreaTop);
        View dials =
            HStack({.alignment = VerticalAlignment::top, .spacing = 30},
                   {DialGroup{&leftDials, dialWidth}, MorphColumn{}, DialGroup{&rightDials, dialWidth}})
                .frame(std::nullopt, canvas::dialAreaHeight)
                .padding(EdgeInsets{0, 26, 0, 26});
        View canvasView =
            ZStack({Image(assets::backgroundImage()),
                    VStack({.alignment = HorizontalAlignment::leading, .spacing = 0}, {top, dials})});
        return VStack({.spacing = 0}, {canvasView})
            .background(assets::backgroundColor())
            .frame(canvas::width, canvas::height)
            .scaleEffect(MainView::scale(geometry.size), UnitPoint::topLeading());
    });
}

} // namespace editor
