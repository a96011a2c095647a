#pragma once

// The editor's root view: a fixed 760 x 512 canvas (the header strip and the analyser on top, the two
// dial groups with the morph pad between them below), scaled uniformly to the space the host gives it
// and pinned to its top-left corner. It reads the settings model from the view environment:
//
//   HostingView::make(View(MainView{}).environmentObject(settings), {0, 0, 760, 512});

#include "declarative/Declarative.hpp"

namespace editor {

struct MainView {
    double knobWidth = 60;

    // The canvas's scale in an offered size: the smaller of the two ratios, so the canvas keeps its shape.
    static double scale(declarative::Size offered);

    declarative::View body(declarative::Context& context) const;
    bool operator==(const MainView&) const = default;
};

// The centre column: the morph pad over its caption.
struct MorphColumn {
    declarative::View body(declarative::Context& context) const;
    bool operator==(const MorphColumn&) const = default;
};

} // namespace editor
