#include "Vimbra/StyledControls/tests/SegmentSheet.hpp"

#include "Vimbra/FieldsAndComponents/SornSegmentedControl.hpp"
#include "Vimbra/StyledControls/StyledSegmentedControl.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"

#include <string>

namespace segmentsheet {

using graphics::Rect;

const std::vector<Look>& looks() {
    static const std::vector<Look> all = {Look::normal,          Look::pressed,  Look::selected,
                                          Look::selectionHidden, Look::disabled, Look::focused};
    return all;
}

namespace {

const char* const titles[] = {"Mix", "Spectrum", "Peaks"};

// The styled control: three labelled segments as wide as their labels plus the style's padding.
std::shared_ptr<ui::View> styledControl(vimbratest::Scene& scene, Look look) {
    auto control = std::make_shared<vimbra::StyledSegmentedControl>(Rect(6, 8, 268, 24));
    control->setSegmentCount(3);
    for (int i = 0; i < 3; ++i) {
        control->setLabelForSegment(titles[i], i);
        control->setWidthForSegment(0, i);
    }
    scene.add(control);
    switch (look) {
    case Look::normal:
        break;
    case Look::pressed:
        scene.backend->mouseDown(control->convertPointToView(
            {control->segmentedCell()->frameForSegment(1, control->bounds()).midX(), 12}, nullptr));
        break;
    case Look::selected:
        control->setSelectedSegment(1);
        control->setHideSelection(false);
        break;
    case Look::selectionHidden:
        control->setSelectedSegment(1);
        break;
    case Look::disabled:
        control->setSelectedSegment(1);
        control->setHideSelection(false);
        control->setEnabled(false);
        break;
    case Look::focused:
        scene.window->makeFirstResponder(control);
        break;
    }
    return control;
}

// The declarative control: three items, hosted at the same place.
std::shared_ptr<ui::View> declarativeControl(vimbratest::Scene& scene, Look look) {
    auto model = std::make_shared<vimbra::SornSegmentedControlModel>(
        std::vector<vimbra::SornSegmentItemRef>{std::make_shared<vimbra::SornSegmentItem>(1, titles[0]),
                                                std::make_shared<vimbra::SornSegmentItem>(2, titles[1]),
                                                std::make_shared<vimbra::SornSegmentItem>(3, titles[2])});
    auto host = declarative::HostingView::make(declarative::View(vimbra::SornSegmentedControl{model}),
                                               Rect(6, 6, 268, 28));
    scene.add(host);
    host->layoutIfNeeded();
    switch (look) {
    case Look::pressed:
        if (const auto frame = host->frameOfNode(declarative::Id(std::int64_t{2}))) {
            scene.backend->mouseDown(host->convertPointToView({frame->midX(), frame->midY()}, nullptr));
        }
        break;
    case Look::selected:
        model->selectItem(2);
        break;
    case Look::selectionHidden:
        model->selectItem(2);
        model->hideSelection.set(true);
        break;
    default:
        break;
    }
    core::MainQueue::shared().drain();
    host->layoutIfNeeded();
    return host;
}

} // namespace

Shot shoot(std::size_t row, Look look, double scale) {
    if (row == 1 && (look == Look::disabled || look == Look::focused)) {
        return {nullptr, {}, scale, cellHeight};
    }
    vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
    auto control = row == 0 ? styledControl(scene, look) : declarativeControl(scene, look);
    return contactsheet::shoot(scene, control->frame(), scale);
}

std::vector<std::vector<Shot>> drawSegmentRows(contactsheet::Sheet& sheet, double top) {
    std::vector<std::vector<Shot>> rows;
    for (std::size_t row = 0; row < rowCount; ++row) {
        rows.emplace_back();
        for (std::size_t column = 0; column < looks().size(); ++column) {
            rows.back().push_back(shoot(row, looks()[column], sheet.scale()));
            sheet.place(rows.back().back(), {static_cast<double>(column) * cellWidth,
                                             top + static_cast<double>(row) * cellHeight});
        }
    }
    return rows;
}

} // namespace segmentsheet
