#include "extension/editor/AnalyzerGraphView.hpp"

#include "extension/Settings.hpp"
#include "extension/editor/EditorAssets.hpp"

#include <algorithm>
#include <cmath>

namespace editor {

using declarative::CanvasContext;
using declarative::Rect;

namespace {

// Rounds halves away from zero (as std::round does).
double rounded(double v) {
    return std::round(v);
}

} // namespace

double AnalyzerGraphView::barAreaHeight(double height) {
    return height - rounded(0.2 * height);
}

std::vector<AnalyzerGraphView::Bar> AnalyzerGraphView::bars(const std::vector<float>& levels, float lo,
                                                            float hi, double width) {
    const std::size_t n = levels.size();
    // Written as negations so that NaN ends lie outside the range too.
    if (n == 0 || !(lo > 0) || !(lo < hi)) {
        return {};
    }
    const double low = lo, octaves = std::log2(static_cast<double>(hi) / low);
    const double decades = std::log2(1000.0);
    std::vector<double> edges(n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
        const double f = low * std::exp2(octaves * static_cast<double>(i) / static_cast<double>(n));
        const double p = f <= 20 ? 0.0 : std::log2(std::min(f, 20000.0) / 20) / decades;
        edges[i] = rounded(width * p);
    }
    std::vector<Bar> result(n);
    for (std::size_t b = 0; b < n; ++b) {
        double w = edges[b + 1] - edges[b];
        if (w > 3) {
            w -= 1;
        }
        result[b] = Bar{edges[b], std::max(w, 1.0), levels[b]};
    }
    return result;
}

std::optional<double> AnalyzerGraphView::litHeight(float level, double barArea) {
    if (!(level > 0)) {
        return std::nullopt;
    }
    const float decibels = 20.0f * std::log10(std::max(level, 0.00001f));
    float fraction = (decibels + 80.0f) / 80.0f;
    if (fraction > 1.0f) {
        fraction = 1.0f;
    } else if (fraction <= 0.0f) {
        fraction = 0.0f;
    }
    const double h = barArea * static_cast<double>(fraction);
    if (!(h > 0.5)) {
        return std::nullopt;
    }
    return h;
}

declarative::View AnalyzerGraphView::body(declarative::Context& context) const {
    auto settings = context.environmentObject<Settings>();
    if (!settings) {
        return declarative::View();
    }
    // Read here, so that a change of any of the three redraws the graph.
    std::vector<float> levels = settings->analyzerBandAmps.get();
    const float lo = settings->analyzerRangeLo.get();
    const float hi = settings->analyzerRangeHi.get();
    return declarative::Canvas([levels = std::move(levels), lo, hi](CanvasContext& canvas) {
        const double width = canvas.size().width, height = canvas.size().height;
        const double area = barAreaHeight(height);
        const auto slot = assets::barBackground();
        const auto lit = assets::barActive();
        const auto bars = AnalyzerGraphView::bars(levels, lo, hi, width);
        auto fill = [&canvas](const Rect& r, const graphics::ColorRef& color) {
            if (color) {
                canvas.fill(graphics::BezierPath::rect(r), color);
            }
        };
        for (const auto& bar : bars) {
            fill(Rect(bar.x, 0, bar.width, area), slot);
            if (const auto h = litHeight(bar.level, area)) {
                fill(Rect(bar.x, area - *h, bar.width, *h), lit);
            }
        }
        const Rect mirror(0, area, width, height - area);
        if (!(mirror.height() > 0)) {
            return;
        }
        canvas.drawFadingLayer(mirror, 0.35, 0.0, [&](CanvasContext&) {
            for (const auto& bar : bars) {
                fill(Rect(bar.x, area, bar.width, height - area), slot);
                if (const auto h = litHeight(bar.level, area)) {
                    fill(Rect(bar.x, area, bar.width, std::min(height - area, *h)), lit);
                }
            }
        });
    });
}

} // namespace editor
