#include "extension/EditorRoot.hpp"

#include "ZeltoCore/KitFonts.hpp"
#include "extension/Settings.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

using namespace declarative;

namespace {

// The controls of this editor: a vertical drag over one changes its parameter (200 points cover the range).
constexpr std::array<std::string_view, 4> kControls{"mix", "morphX", "morphY", "bands"};
constexpr double kControlSize = 120;
constexpr double kControlGap = 40;
constexpr double kControlsTop = 300;
constexpr double kDragSpan = 200;

double controlLeft(std::size_t index) {
    const double row = kControls.size() * kControlSize + (kControls.size() - 1) * kControlGap;
    return (kEditorWidth - row) / 2 + double(index) * (kControlSize + kControlGap);
}

graphics::ColorRef panelColor() {
    return graphics::Color::rgba(0.11, 0.12, 0.14);
}
graphics::ColorRef plateColor() {
    return graphics::Color::rgba(0.19, 0.21, 0.25);
}
graphics::ColorRef accentColor() {
    return graphics::Color::rgba(0.33, 0.62, 0.95);
}
graphics::ColorRef labelColor() {
    return graphics::Color::rgba(0.85, 0.87, 0.9);
}

std::string formatted(float value) {
    char text[32];
    std::snprintf(text, sizeof text, std::fabs(value) >= 10 ? "%.0f" : "%.2f", double(value));
    return text;
}

// A vertical drag over a control: a gesture that starts (touch), changes the value (200 points up cover
// the range) and ends (release).
DragGesture dragGesture(const std::shared_ptr<AudioParameter>& parameter, State<float> start,
                        State<float> latest, double span) {
    const auto end = [parameter, latest] {
        parameter->setValue(latest.get(), ParameterEditor::ui, ParameterEditorState::endInteractive);
        parameter->setIsBeingInteractivelyEdited(false);
    };
    return DragGesture{0,
                       [parameter, start, latest, span](const DragValue& drag) {
                           if (!parameter->isBeingInteractivelyEdited()) {
                               parameter->setIsBeingInteractivelyEdited(true);
                               start.set(parameter->value());
                               latest.set(parameter->value());
                               parameter->setValue(parameter->value(), ParameterEditor::ui,
                                                   ParameterEditorState::beginInteractive);
                               return;
                           }
                           const float next = parameter->clamped(
                               start.get() - float(drag.translation.height / kDragSpan * span));
                           latest.set(next);
                           parameter->setValue(next, ParameterEditor::ui, ParameterEditorState::change);
                       },
                       [end](const DragValue&) { end(); }, end};
}

// One parameter as a plate with its name, value and a bar showing where the value lies in its range.
struct ParameterPlate {
    std::shared_ptr<AudioParameter> parameter;

    View body(Context& context) const {
        const auto start = context.state(0.0f);
        // The value of the latest change: the observed value trails it until the main queue has run.
        const auto latest = context.state(0.0f);
        const auto parameter = this->parameter;
        const float value = parameter->value();
        const auto& range = parameter->valueRange();
        const double fraction =
            range.upperBound > range.lowerBound
                ? std::clamp(double((value - range.lowerBound) / (range.upperBound - range.lowerBound)), 0.0,
                             1.0)
                : 0.0;

        auto bar = Canvas([fraction](CanvasContext& c) {
            const double w = c.size().width;
            c.fill(graphics::BezierPath::rect({0, 0, w, 6}), plateColor());
            c.fill(graphics::BezierPath::rect({0, 0, w * fraction, 6}), accentColor());
        });
        auto plate = VStack({.spacing = 8}, {
                                                Text(parameter->name())
                                                    .font(zelto::corviFont(zelto::CorviFont::dosisMedium, 13))
                                                    .foregroundColor(labelColor()),
                                                Text(formatted(value))
                                                    .font(zelto::corviFont(zelto::CorviFont::dosisLight, 13))
                                                    .foregroundColor(labelColor()),
                                                bar.frame(kControlSize - 24, 6),
                                            });
        const auto span = double(range.upperBound - range.lowerBound);
        return plate.frame(kControlSize, kControlSize)
            .background(ColorView(graphics::Color::rgba(0.15, 0.16, 0.19)))
            .contentShapeRect()
            .gesture(dragGesture(parameter, start, latest, span));
    }
};

// The analyser's latest band levels as bars on a dark strip.
View analyser(const std::shared_ptr<Settings>& settings) {
    const std::vector<float> levels = settings->analyzerBandAmps.get();
    return Canvas([levels](CanvasContext& c) {
        const Size size = c.size();
        c.fill(graphics::BezierPath::rect({0, 0, size.width, size.height}),
               graphics::Color::rgba(0.07, 0.08, 0.1));
        if (levels.empty()) {
            return;
        }
        const double width = size.width / double(levels.size());
        for (std::size_t i = 0; i < levels.size(); ++i) {
            const double db = 20 * std::log10(std::max(double(levels[i]), 1e-5));
            const double height = size.height * std::clamp((db + 80) / 80, 0.0, 1.0);
            if (height > 0.5) {
                c.fill(graphics::BezierPath::rect(
                           {i * width, size.height - height, std::max(1.0, width - 1), height}),
                       accentColor());
            }
        }
    });
}

struct EditorPlaceholder {
    std::shared_ptr<Settings> settings;

    View body(Context&) const {
        const auto preset = settings->currentPreset();
        std::string name = preset ? preset->name : "DEFAULT";
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });

        const auto settings = this->settings;
        const auto stepButton = [](std::string title, std::function<void()> action) {
            return Button(std::move(action), Text(std::move(title)).foregroundColor(labelColor()))
                .frame(editorNextPresetFrame().size.width, editorNextPresetFrame().size.height)
                .background(ColorView(plateColor()));
        };
        std::vector<View> layers{
            ColorView(panelColor()),
            Text("TESSARAY")
                .font(zelto::corviFont(zelto::CorviFont::rocket, 22))
                .foregroundColor(labelColor())
                .position(110, 30),
            stepButton("<", [settings] { settings->previousPreset(); })
                .position(editorPreviousPresetFrame().midX(), editorPreviousPresetFrame().midY()),
            Text(name)
                .font(zelto::corviFont(zelto::CorviFont::dosisMedium, 12))
                .foregroundColor(accentColor())
                .frame(212, 22)
                .position(380, 30),
            stepButton(">", [settings] { settings->nextPreset(); })
                .position(editorNextPresetFrame().midX(), editorNextPresetFrame().midY()),
            analyser(settings).frame(698, 182).position(32 + 349, 54 + 91),
        };
        for (std::string_view identifier : kControls) {
            const auto frame = editorControlFrame(identifier);
            const auto* info = parameterByIdentifier(identifier);
            layers.push_back(View(ParameterPlate{settings->parameterField(parameterIndex(*info)).get()})
                                 .position(frame.midX(), frame.midY()));
        }
        return ZStack(Alignment::topLeading(), std::move(layers)).frame(kEditorWidth, kEditorHeight);
    }
};

} // namespace

graphics::Rect editorControlFrame(std::string_view identifier) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (kControls[i] == identifier) {
            return {controlLeft(i), kControlsTop, kControlSize, kControlSize};
        }
    }
    return {};
}

graphics::Rect editorPreviousPresetFrame() {
    return {250, 19, 22, 22};
}

graphics::Rect editorNextPresetFrame() {
    return {488, 19, 22, 22};
}

View makeEditorRoot(const std::shared_ptr<Settings>& settings) {
    return GeometryReader([settings](const GeometryProxy& geometry) {
               const double scale =
                   std::min(geometry.size.height / kEditorHeight, geometry.size.width / kEditorWidth);
               return View(EditorPlaceholder{settings}).scaleEffect(scale, scale, UnitPoint::topLeading());
           })
        .environmentObject(settings);
}
