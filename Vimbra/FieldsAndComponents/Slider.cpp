#include "Vimbra/FieldsAndComponents/Slider.hpp"

#include "Vimbra/Assets.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using declarative::View;

SornSliderModel::SornSliderModel(std::vector<double> startingValues, double minimumValue, double maximumValue,
                                 double incrementBy, bool snap, double defaultValue,
                                 SliderIconClickBehaviour iconClickBehaviour)
    : incrementBy(incrementBy), minimumValue(minimumValue), maximumValue(maximumValue), snap(snap),
      defaultValue(defaultValue), iconClickBehaviour(iconClickBehaviour) {
    std::optional<double> single;
    bool several = false;
    for (double v : startingValues) {
        if (!single) {
            single = v;
        } else if (!(*single == v)) {
            several = true;
        }
    }
    value.set(several ? std::nullopt : single);
    this->startingValues.set(std::move(startingValues));
}

std::pair<double, double> SornSliderModel::range() const {
    return {minimumValue.get(), maximumValue.get()};
}

double SornSliderModel::limited(double v) const {
    const double lower = minimumValue.get();
    const double upper = maximumValue.get();
    if (std::isnan(lower) || std::isnan(upper) || lower > upper) {
        core::fatal("Slider range " + std::to_string(lower) + "..." + std::to_string(upper) +
                    " is not a range");
    }
    return std::clamp(v, lower, upper);
}

double SornSliderModel::normalisedValue(double v) const {
    const double lower = minimumValue.get();
    const double p = (v - lower) / (maximumValue.get() - lower);
    return std::isnan(p) ? 0.0 : std::clamp(p, 0.0, 1.0);
}

std::optional<double> SornSliderModel::normalisedValue() const {
    const auto current = value.get();
    if (!current) {
        return std::nullopt;
    }
    return normalisedValue(*current);
}

void SornSliderModel::setNormalisedValue(std::optional<double> position) {
    if (!position) {
        value.set(std::nullopt);
        return;
    }
    const double lower = minimumValue.get();
    value.set(limited(lower + (maximumValue.get() - lower) * *position));
}

double SornSliderModel::snapped(double v) const {
    const double step = incrementBy.get();
    if (!(step > 0)) {
        return limited(v);
    }
    const double lower = minimumValue.get();
    return limited(std::round((v - lower) / step) * step + lower);
}

void SornSliderModel::leftIconClicked() {
    if (iconClickBehaviour == SliderIconClickBehaviour::maxMin) {
        value.set(limited(minimumValue.get()));
    } else {
        value.set(limited(value.get().value_or(defaultValue) - incrementBy.get()));
    }
    complete();
}

void SornSliderModel::rightIconClicked() {
    if (iconClickBehaviour == SliderIconClickBehaviour::maxMin) {
        value.set(limited(maximumValue.get()));
    } else {
        value.set(limited(value.get().value_or(defaultValue) + incrementBy.get()));
    }
    complete();
}

void SornSliderModel::resetToDefault() {
    value.set(defaultValue);
    complete();
}

void SornSliderModel::complete() {
    if (onSlideComplete) {
        // A copy: the callback may replace itself.
        auto callback = onSlideComplete;
        callback(*value.peek());
    }
}

namespace {

constexpr double knobSize = 16;
constexpr double knobHalf = knobSize / 2;
constexpr double trackHeight = 24;

// The slider's artwork, made once and shared (never changed after).
struct Artwork {
    graphics::ImageRef field = vimbraImage("qel-textfield");
    graphics::ImageRef fill = vimbraImage("qel-customslider-on");
    graphics::ImageRef knob = vimbraImage("qel-customslider-handle");
    graphics::ImageRef knobDown = vimbraImage("qel-customslider-handle-down");
};
const Artwork& artwork() {
    static const Artwork shared;
    return shared;
}

View resizable(const graphics::ImageRef& image) {
    return image ? View(declarative::Image(image).resizable(image->capInsets(), image->resizingMode()))
                 : View();
}

double limitedTo(double x, double a, double b) {
    return std::min(std::max(x, a), b);
}

// Where the track's pieces go for a track w points wide.
struct TrackLayout {
    double fill = 0;
    double knob = 0;
    double knobOpacity = 1;
    std::vector<double> faintKnobs; // the further starting values' knobs, mixed look only
};

TrackLayout trackLayout(const SornSliderModel& model, double w) {
    TrackLayout layout;
    const auto value = model.value.get();
    const auto& starting = model.startingValues.get();
    const bool many = starting.size() > SornSlider::maxKnobs;
    layout.knobOpacity = value ? 1.0 : many ? 0.0 : 0.3;
    if (w <= 10) {
        return layout;
    }
    const auto at = [&](double v) { return model.normalisedValue(v) * w; };
    if (value) {
        layout.fill = limitedTo(at(*value), knobSize, w);
        layout.knob = limitedTo(at(*value), knobHalf, w - knobHalf);
        return layout;
    }
    layout.fill = many ? w : 0;
    layout.knob = starting.empty() ? knobHalf : limitedTo(at(starting.front()), knobHalf, w - knobHalf);
    if (!many) {
        for (std::size_t i = 1; i < std::min(starting.size(), SornSlider::maxKnobs); ++i) {
            layout.faintKnobs.push_back(limitedTo(at(starting[i]), knobHalf, w - knobHalf));
        }
    }
    return layout;
}

// The drag's view state, kept per slider identity.
struct DragState {
    declarative::State<double> width;
    declarative::State<bool> isDragging;
    declarative::State<double> xDragOffset;
    declarative::State<double> xDistanceDragged;
};

// A pointer x on the track to a track position: limited to the track, moved by the grab offset, and
// snapped to the ends within their 8-point zones.
double trackPosition(double x, double w, double offset) {
    const double position = limitedTo(x, 0, w) + offset;
    if (position < knobHalf) {
        return 0;
    }
    if (position > w - knobHalf) {
        return w;
    }
    return position;
}

void dragChanged(SornSliderModel& model, const DragState& s, const declarative::DragValue& drag) {
    const double w = s.width.get();
    // A track without width has no positions (it is not laid out yet, or squeezed to nothing).
    if (!(w > 0)) {
        return;
    }
    const auto rangeValue = [&](double position) {
        const double lower = model.minimumValue.get();
        return lower + (position / w) * (model.maximumValue.get() - lower);
    };
    if (!s.isDragging.get()) {
        s.isDragging.set(true);
        const double knob = trackLayout(model, w).knob;
        const graphics::Rect knobRect(knob - knobHalf, 0, knobSize, trackHeight);
        if (knobRect.contains(drag.location)) {
            // The knob is grabbed where it is.
            s.xDragOffset.set(knob - drag.location.x);
        } else {
            const double position = trackPosition(drag.location.x, w, s.xDragOffset.get());
            if (model.snap.get()) {
                model.value.set(model.snapped(rangeValue(position)));
            } else {
                model.setNormalisedValue(position / w);
            }
        }
        if (const auto value = model.value.get(); value && model.onSlideStarted) {
            auto callback = model.onSlideStarted;
            callback(*value);
        }
        return;
    }
    s.xDistanceDragged.set(s.xDistanceDragged.get() + std::abs(drag.translation.width));
    const double position = trackPosition(drag.location.x, w, s.xDragOffset.get());
    if ((drag.modifiers & ui::Modifier::shift) != 0 || model.snap.get()) {
        const double stepped = model.snapped(rangeValue(position));
        if (const auto value = model.value.get(); value && *value == stepped) {
            return;
        }
        model.value.set(stepped);
    } else {
        // A grabbed knob stays put until the pointer has travelled a little.
        if (s.xDragOffset.get() != 0 && s.xDistanceDragged.get() < 20) {
            return;
        }
        model.setNormalisedValue(position / w);
        if (!model.value.get()) {
            return;
        }
    }
    if (model.onSlideOngoing) {
        auto callback = model.onSlideOngoing;
        callback(*model.value.get());
    }
}

void dragEnded(SornSliderModel& model, const DragState& s) {
    if (!s.isDragging.get()) {
        return;
    }
    s.isDragging.set(false);
    s.xDragOffset.set(0);
    s.xDistanceDragged.set(0);
    if (const auto value = model.value.get(); value && model.onSlideComplete) {
        auto callback = model.onSlideComplete;
        callback(*value);
    }
}

View knobView(const graphics::ImageRef& image, double x, double opacity) {
    const View knob = image ? View(declarative::Image(image)) : View();
    return knob.frame(knobSize, knobSize).position(x, SornSlider::knobYPosition).opacity(opacity);
}

View endButton(const graphics::ImageRef& icon, std::function<void()> action) {
    const View label = icon ? View(declarative::Image(icon)) : View();
    return declarative::Button(std::move(action),
                               label.frame(14, trackHeight).foregroundColor(graphics::Color::whiteColor()))
        .buttonStyle(declarative::plainButtonStyle());
}

} // namespace

View SornSlider::body(declarative::Context& context) const {
    const DragState s{context.state(1.0), context.state(false), context.state(0.0), context.state(0.0)};
    const double w = s.width.get();
    const auto layout = trackLayout(*model, w);

    // The width probe: the track's width, measured at every layout, kept when it changes.
    View probe = declarative::GeometryReader([width = s.width](const declarative::GeometryProxy& proxy) {
        const double measured = proxy.size.width;
        if (width.get() != measured) {
            // Never inside layout: the change re-evaluates the slider on the next turn.
            core::mainAsync([width, measured] { width.set(measured); });
        }
        return declarative::HStack({declarative::Spacer()});
    });
    const auto& art = artwork();
    const auto& fillImage = art.fill;
    const double fillHeight = fillImage ? fillImage->size().height : 0;
    std::vector<View> layers{
        probe,
        // The fill keeps its artwork's height, stretched along the track and centred in its 16-point band.
        resizable(fillImage)
            .frame(layout.fill, fillHeight)
            .frame(layout.fill, 16)
            .opacity(layout.fill > 0 ? 1 : 0),
        knobView(s.isDragging.get() ? art.knobDown : art.knob, layout.knob, layout.knobOpacity)};
    for (double x : layout.faintKnobs) {
        layers.push_back(knobView(art.knob, x, 0.3));
    }

    auto m = model;
    declarative::TapGesture reset{1, ui::Modifier::option, [m] { m->resetToDefault(); }};
    declarative::DragGesture drag{0, [m, s](const declarative::DragValue& v) { dragChanged(*m, s, v); },
                                  [m, s](const declarative::DragValue&) { dragEnded(*m, s); },
                                  // A drag cut short (the pointer grab lost) ends as a drag does.
                                  [m, s] { dragEnded(*m, s); }};
    View track = declarative::ZStack(declarative::Alignment::leading(), std::move(layers))
                     .contentShapeRect()
                     .gesture(declarative::Gesture::exclusively(std::move(reset), std::move(drag)));

    return declarative::HStack({.alignment = declarative::VerticalAlignment::center, .spacing = 0},
                               {endButton(leftImage, [m] { m->leftIconClicked(); }), std::move(track),
                                endButton(rightImage, [m] { m->rightIconClicked(); })})
        .padding(graphics::EdgeInsets{0, 2, 0, 2})
        .frame(std::nullopt, trackHeight)
        .background(resizable(art.field).padding(graphics::EdgeInsets{0, -2, 0, -2}));
}

} // namespace vimbra
