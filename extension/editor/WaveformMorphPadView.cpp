#include "extension/editor/WaveformMorphPadView.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "extension/editor/EditorAssets.hpp"

namespace editor {

using declarative::DragValue;
using declarative::View;
using zelto::AudioParameter;
using zelto::ParameterEditor;
using zelto::ParameterEditorState;

namespace {

// The values of a drag's latest update: the parameters' observed values lag a main-queue turn behind
// what was sent.
struct LastSent {
    float x = 0.5f;
    float y = 0.5f;
};

struct Pad {
    std::shared_ptr<AudioParameter> x;
    std::shared_ptr<AudioParameter> y;
    double width;
    double height;
    std::shared_ptr<LastSent> lastSent;

    // Both coordinates at a point of the pad, clamped to its edges, horizontal first.
    void update(ParameterEditorState state, declarative::Point location) const {
        send(state, static_cast<float>(zelto::clamped(location.x / width, 0.0, 1.0)),
             static_cast<float>(zelto::clamped(location.y / height, 0.0, 1.0)));
    }

    void send(ParameterEditorState state, float nx, float ny) const {
        *lastSent = {nx, ny};
        x->setValue(nx, ParameterEditor::ui, state);
        y->setValue(ny, ParameterEditor::ui, state);
    }

    // Each axis as a complete edit of its own: from where it is to the middle.
    void reset() const {
        for (const auto& p : {x, y}) {
            p->setValue(p->value(), ParameterEditor::ui, ParameterEditorState::beginInteractive);
            p->setValue(0.5f, ParameterEditor::ui, ParameterEditorState::change);
            p->setValue(0.5f, ParameterEditor::ui, ParameterEditorState::endInteractive);
        }
    }
};

} // namespace

View WaveformMorphPadView::body(declarative::Context& context) const {
    if (!morphX || !morphY) {
        return View();
    }
    const auto isDragging = context.state(false);
    const auto isOptionClick = context.state(false);
    auto& slot = context.nextSlot();
    if (!slot) {
        slot = std::make_shared<LastSent>();
    }
    const Pad pad{morphX, morphY, padWidth, padHeight, std::static_pointer_cast<LastSent>(slot)};

    const auto dot = isDragging.get() ? assets::morphDotDown() : assets::morphDot();
    const double dotX = padWidth * morphX->value(), dotY = padHeight * morphY->value();

    declarative::DragGesture drag;
    drag.minimumDistance = 0;
    drag.onChanged = [pad, isDragging, isOptionClick](const DragValue& value) {
        if ((value.modifiers & ui::Modifier::option) != 0) {
            isOptionClick.set(true);
            pad.reset();
            return;
        }
        isOptionClick.set(false);
        if (isDragging.get()) {
            pad.update(ParameterEditorState::change, value.location);
        } else {
            isDragging.set(true);
            pad.update(ParameterEditorState::beginInteractive, value.location);
        }
    };
    drag.onEnded = [pad, isDragging, isOptionClick](const DragValue& value) {
        isDragging.set(false);
        if (isOptionClick.get()) {
            isOptionClick.set(false);
            return;
        }
        pad.update(ParameterEditorState::endInteractive, value.location);
    };
    // A drag taken away (the pointer grab lost, the pad removed) still closes the host's gesture, at the
    // position the drag last sent.
    drag.onCancelled = [pad, isDragging, isOptionClick] {
        const bool open = isDragging.get() && !isOptionClick.get();
        isDragging.set(false);
        isOptionClick.set(false);
        if (open) {
            pad.send(ParameterEditorState::endInteractive, pad.lastSent->x, pad.lastSent->y);
        }
    };

    return View(declarative::Image(dot))
        .position(dotX, dotY)
        .frame(padWidth, padHeight)
        .contentShapeRect()
        .gesture(std::move(drag));
}

} // namespace editor
