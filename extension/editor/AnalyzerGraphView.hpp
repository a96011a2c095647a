#pragma once

// The analyser graph: one bar per analysed band on a logarithmic axis from 20 Hz to 20 kHz, lit by the
// band's level in decibels, with a fading mirror image under the bars.

#include "declarative/Declarative.hpp"

#include <optional>
#include <vector>

namespace editor {

struct AnalyzerGraphView {
    struct Bar {
        double x = 0;     // left edge, points from the view's left edge
        double width = 0; // at least 1
        float level = 0;  // as published, 0 to 1 nominal
        friend bool operator==(const Bar&, const Bar&) = default;
    };

    // The height the bars stand in; the strip below it, down to `height`, holds the mirror.
    static double barAreaHeight(double height);
    // The bars for the levels of a range lo...hi (Hz) across `width` points; none when there are no
    // levels or the range is not 0 < lo < hi.
    static std::vector<Bar> bars(const std::vector<float>& levels, float lo, float hi, double width);
    // The lit height of a level in a bar area; nullopt when the bar is unlit.
    static std::optional<double> litHeight(float level, double barArea);

    declarative::View body(declarative::Context& context) const;
};

} // namespace editor
